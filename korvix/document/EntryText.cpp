#include "document/EntryText.h"

#include "common/Text.h"

#include <array>

namespace entrytext {

bool hasTextName(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string extension = korvix::foldLatin1(name.substr(dot));
    for (const char* e : {".txt", ".ini", ".cfg", ".log"})
        if (extension == e)
            return true;
    return false;
}

Decision decide(const EntryRecord& record)
{
    if (record.isDirectory || record.damaged)
        return Decision::Never;
    switch (record.kind) {
    case KIND_MODEL_SOUND:
    case KIND_WAVE:
    case KIND_IMAGE:
        return Decision::Never;
    default:
        break;
    }
    if (hasTextName(record.name.view()))
        return Decision::Always;
    return record.size == 0 ? Decision::Never : Decision::LookAtBytes;
}

bool isPrintable(const std::uint8_t* bytes, std::size_t length, bool endsTheEntry)
{
    if (length == 0)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = bytes[i];
        if (c >= 0x20 && c != 0x7F && (c < 0x80 || c >= 0xA0))
            continue;
        if (c == '\t' || c == '\n' || c == '\r' || c == '\f')
            continue;
        if (c == 0x1A && endsTheEntry && i + 1 == length)
            continue;
        return false;
    }
    return true;
}

std::string decode(const std::uint8_t* bytes, std::size_t length)
{
    std::string latin1;
    latin1.reserve(length);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(bytes[i]);
        if (c == '\r') {
            // "\r\n" and a lone "\r" both end a line.
            latin1 += '\n';
            if (i + 1 < length && bytes[i + 1] == '\n')
                ++i;
        } else {
            latin1 += c;
        }
    }
    return korvix::latin1ToUtf8(latin1);
}

}  // namespace entrytext
