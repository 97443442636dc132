// What the info pane shows for the volume entry under the mouse in the volume
// browser: a fixed 80-byte record filled from the entry's catalogue record, so
// that the pane can copy it whole when the hover report arrives.
#pragma once

#include "document/EntryRecord.h"

#include <array>
#include <cstdint>
#include <string>

struct EntryReadout {
    // The name's ISO-8859-1 bytes, zero-terminated when shorter than the field;
    // a name of all 64 characters fills it without a terminator.
    std::array<char, 64> name{};
    std::int32_t reserved = 0;  // not set by the sender
    std::int32_t kind = 0;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;

    static EntryReadout fromRecord(const EntryRecord& record);

    // The text after "G-Type: " for an entry kind; "Unbekannt" for kind 4 and
    // every code without a label of its own.
    static const char* kindLabel(int kind);

    std::string nameUtf8() const;
    // The pane's four lines, top to bottom, in UTF-8.
    std::array<std::string, 4> lines() const;

    friend bool operator==(const EntryReadout&, const EntryReadout&) = default;
};

static_assert(sizeof(EntryReadout) == 80, "the hover record is 80 bytes");
