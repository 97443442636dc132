#include "document/DiskFileRules.h"

#include <array>
#include <string>

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWith(std::string_view lowered, std::string_view tail)
{
    return lowered.size() >= tail.size() && lowered.substr(lowered.size() - tail.size()) == tail;
}

}  // namespace

bool DiskFileRules::opensInProgram(std::string_view path)
{
    if (path.size() <= 3)
        return false;
    // Only the last four characters matter; lower-case those.
    std::string tail(path.substr(path.size() - 4));
    for (char& c : tail)
        c = lower(c);
    static constexpr std::array<std::string_view, 9> three = {"qrb", "mod", "tex", "tga", "bmp",
                                                              "wmf", "tif", "jpg", "png"};
    for (const std::string_view e : three)
        if (endsWith(tail, e))
            return true;
    return tail == "tiff" || tail == "jpeg";
}

bool DiskFileRules::isListed(std::string_view fileName, bool isFolder)
{
    if (isFolder)
        return true;
    return fileName.empty() || fileName.front() != '.';
}
