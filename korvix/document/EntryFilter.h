// The volume browser's filter as the user types it: which names it keeps.
//
// Case does not matter (ISO-8859-1 letters fold as in every name lookup). A
// pattern without wildcards keeps the names that contain it anywhere. With a
// wildcard it describes the whole name: `*` stands for any run of characters
// (none included) and `?` for exactly one, so "*.tex" keeps the textures and
// not "wall.tex.bak". An empty pattern keeps everything.
#pragma once

#include <string>
#include <string_view>

class EntryFilter {
public:
    EntryFilter() = default;
    explicit EntryFilter(std::string_view patternLatin1);

    bool empty() const { return m_strPattern.empty(); }
    bool hasWildcards() const { return m_bWildcards; }
    bool matches(std::string_view nameLatin1) const;

private:
    std::string m_strPattern;  // folded
    bool m_bWildcards = false;
};
