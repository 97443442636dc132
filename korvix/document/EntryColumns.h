// What the volume browser's list shows in its columns, and the count line of
// the shown page, as texts in the chosen language. The list draws these; the
// same rules order it when a column's header is clicked (VolumePages).
#pragma once

#include "common/MessageTable.h"
#include "common/Text.h"
#include "document/EntryFacts.h"
#include "document/EntryRecord.h"

#include <cstdint>
#include <string>

namespace entrycolumns {

enum Column : int { NAME = 0, SIZE, TYPE, FORMAT, DIMENSIONS, MAPS, COUNT };

// The header's text of a column.
korvix::MessageId title(Column column);

// The number style of the chosen language.
korvix::NumberStyle numberStyle();

// Größe: the size in bytes with the thousands marked ("16.428").
std::string sizeText(std::uint32_t size);
// Typ: the kind's label ("Textur"); for other files the extension's ("INI-Datei"),
// or "Datei" without one.
std::string typeText(const EntryRecord& record);
// Format ("DXT3", "TGA 32 Bit", "fehlerhaft"), Breite × Höhe ("256 × 128") and
// Maps ("9") of a texture or TGA image; empty for everything else and for
// facts not read yet.
std::string formatText(const EntryFacts& facts);
std::string dimensionsText(const EntryFacts& facts);
std::string mapsText(const EntryFacts& facts);

// The count line: "812 Dateien", "37 von 812 Dateien" while a filter narrows
// the list, then the selection's count and size ("812 Dateien, 3 ausgewählt,
// 1,2 MB"), or without a selection the size of what is listed.
struct Counts {
    std::uint64_t listed = 0;
    std::uint64_t onPage = 0;  // what the list would hold without the filter
    bool filtered = false;
    std::uint64_t listedBytes = 0;
    std::uint64_t selected = 0;
    std::uint64_t selectedBytes = 0;
};
std::string countText(const Counts& counts);

}  // namespace entrycolumns
