#include "document/EntryReadout.h"

#include "common/Text.h"

#include <algorithm>
#include <cstring>

EntryReadout EntryReadout::fromRecord(const EntryRecord& record)
{
    EntryReadout out;
    const std::string_view name = record.name.view();
    std::memcpy(out.name.data(), name.data(), std::min(name.size(), out.name.size()));
    out.kind = record.kind;
    out.size = record.size;
    out.offset = record.offset;
    return out;
}

const char* EntryReadout::kindLabel(int kind)
{
    switch (kind) {
    case KIND_MODEL_SOUND: return "3D-Daten";
    case KIND_WAVE: return "Sound/Sprachsample";
    case KIND_IMAGE: return "Textur";
    case KIND_QLX: return "Vorakis Archive";
    case KIND_MODEL: return "Animationsdaten";
    case KIND_FONT: return "Schriftart";
    case KIND_SOURCE_SAFE: return "Visual SourceSafe File";
    default: return "Unbekannt";
    }
}

std::string EntryReadout::nameUtf8() const
{
    return korvix::latin1ToUtf8({name.data(), strnlen(name.data(), name.size())});
}

std::array<std::string, 4> EntryReadout::lines() const
{
    // Unsigned, so that an entry beyond 2 GiB never reads as a negative size.
    return {nameUtf8(), std::string("G-Type: ") + kindLabel(kind), "Größe: " + std::to_string(size) + " Bytes",
            "File-Offset: " + std::to_string(offset)};
}
