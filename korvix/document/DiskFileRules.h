// The disk file tree's rules that do not depend on a window: which files it
// lists and which it opens in the program rather than handing them to the
// desktop's default application.
#pragma once

#include <string_view>

class DiskFileRules {
public:
    // A path opens in the program when, lower-cased, it is longer than three
    // characters and ends in one of the program's extensions. No dot is
    // needed before them ("latex" counts as a texture); the document then
    // decides by the extension it finds.
    static bool opensInProgram(std::string_view path);

    // Hidden files (a leading dot on this platform) are not listed; folders
    // are listed whether hidden or not.
    static bool isListed(std::string_view fileName, bool isFolder);
};
