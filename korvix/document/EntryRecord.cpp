#include "document/EntryRecord.h"

#include <array>

int entryKind(std::string_view name)
{
    if (name.size() < 4)
        return KIND_OTHER;
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const std::string_view last3 = std::string_view(upper).substr(upper.size() - 3);
    const auto any = [&](std::initializer_list<std::string_view> endings) {
        for (const auto e : endings)
            if (last3 == e)
                return true;
        return false;
    };
    if (any({"TEX", "TGA"}))
        return KIND_IMAGE;
    if (any({"WAV"}))
        return KIND_WAVE;
    if (any({"MRM", "MSH"}))
        return KIND_MODEL_SOUND;
    if (any({"QLX"}))
        return KIND_QLX;
    if (any({"MDS", "MAN", "MDM", "MDL", "MDH", "MMB"}))
        return KIND_MODEL;
    if (any({"FNT"}))
        return KIND_FONT;
    if (upper == "VSSVER.SCC")
        return KIND_SOURCE_SAFE;
    return KIND_OTHER;
}
