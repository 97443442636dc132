// The words for what went wrong with a volume, for either front end to put
// after its own text: why a volume did not open, and why an entry's data
// cannot be read.
#pragma once

#include "common/MessageTable.h"
#include "document/EntryRecord.h"

#include <qorbm.h>

#include <cstdint>
#include <string>

// Why the last open() of `volume` failed with `code`: the system's own reason
// (in the system's language), or that the file is too short, has no
// signature, ends inside its catalogue or holds a catalogue too large for memory.
std::string volumeOpenFailure(const tarvos::GGroup& volume, int code, korvix::Language language);

// Why a damaged entry cannot be read: its data range and the volume's length,
// as in "data 61418+5492 exceeds volume length 3000".
std::string entryRangeFailure(const EntryRecord& record, std::uint64_t volumeLength, korvix::Language language);
