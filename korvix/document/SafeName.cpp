#include "document/SafeName.h"

#include "common/Text.h"

#include <string>

bool isSafeName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '\0')
            return false;
    // Device names stay devices on some systems whatever the extension.
    std::string stem = korvix::foldLatin1(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static constexpr std::string_view devices[] = {"con", "prn", "aux", "nul"};
    for (const auto d : devices)
        if (stem == d)
            return false;
    if (stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) && stem[3] >= '0'
        && stem[3] <= '9')
        return false;
    return true;
}
