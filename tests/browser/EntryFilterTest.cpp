// The browser's filter on a table of names and patterns.
#include "document/EntryFilter.h"

#include <gtest/gtest.h>

TEST(EntryFilter, KeepsTheNamesThePatternDescribes)
{
    const struct {
        const char* pattern;
        const char* name;
        bool kept;
    } cases[] = {
        // Without wildcards: anywhere in the name, case ignored.
        {"", "anything.tex", true},
        {"wall", "Wall_01.tex", true},
        {"WALL", "stonewall.tga", true},
        {"l_0", "Wall_01.tex", true},
        {"walls", "wall.tex", false},
        {".tex", "wall.tex.bak", true},
        {"\xc4rger", "\xe4rger.txt", true},  // Ä and ä fold together
        {"\xd7", "\xf7", false},             // the multiplication sign is no capital of the division sign
        // With wildcards: the whole name.
        {"*.tex", "wall.tex", true},
        {"*.TEX", "wall.tex", true},
        {"*.tex", "wall.tex.bak", false},
        {"*.tex", ".tex", true},
        {"wall*", "Wall_01.tex", true},
        {"wall*", "stonewall.tex", false},
        {"*wall*", "stonewall.tex", true},
        {"w?ll.tex", "wall.tex", true},
        {"w?ll.tex", "wll.tex", false},
        {"????", "abcd", true},
        {"????", "abc", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"a*b*c", "abcbc", true},
        {"*", "", true},
        {"**", "x", true},
        {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryFilter(c.pattern).matches(c.name), c.kept) << c.pattern << " / " << c.name;
}

TEST(EntryFilter, TellsWhetherItNarrows)
{
    EXPECT_TRUE(EntryFilter().empty());
    EXPECT_TRUE(EntryFilter("").empty());
    EXPECT_FALSE(EntryFilter("a").empty());
    EXPECT_FALSE(EntryFilter("a").hasWildcards());
    EXPECT_TRUE(EntryFilter("a?").hasWildcards());
}
