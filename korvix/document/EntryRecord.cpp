#include "document/EntryRecord.h"

#include <cstdint>

namespace {

// The last three letters of a name, upper-cased and packed into one number.
constexpr std::uint32_t packed(char a, char b, char c)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 16
           | static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 | static_cast<unsigned char>(c);
}

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

int entryKind(std::string_view name)
{
    if (name.size() < 4)
        return KIND_OTHER;
    const std::size_t n = name.size();
    switch (packed(upper(name[n - 3]), upper(name[n - 2]), upper(name[n - 1]))) {
    case packed('T', 'E', 'X'):
    case packed('T', 'G', 'A'):
        return KIND_IMAGE;
    case packed('W', 'A', 'V'):
        return KIND_WAVE;
    case packed('M', 'R', 'M'):
    case packed('M', 'S', 'H'):
        return KIND_MODEL_SOUND;
    case packed('Q', 'L', 'X'):
        return KIND_QLX;
    case packed('M', 'D', 'S'):
    case packed('M', 'A', 'N'):
    case packed('M', 'D', 'M'):
    case packed('M', 'D', 'L'):
    case packed('M', 'D', 'H'):
    case packed('M', 'M', 'B'):
        return KIND_MODEL;
    case packed('F', 'N', 'T'):
        return KIND_FONT;
    default:
        break;
    }
    if (n == 10) {
        static constexpr char sourceSafe[] = "VSSVER.SCC";
        for (std::size_t i = 0; i < n; ++i)
            if (upper(name[i]) != sourceSafe[i])
                return KIND_OTHER;
        return KIND_SOURCE_SAFE;
    }
    return KIND_OTHER;
}
