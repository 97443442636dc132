#include "document/EntryFilter.h"

#include "common/Text.h"

#include <algorithm>
#include <array>

namespace {

// One table lookup per character: the filter runs over every name of a page
// at each keystroke.
const std::array<char, 256>& foldTable()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int c = 0; c < 256; ++c)
            t[static_cast<std::size_t>(c)] = korvix::foldLatin1(static_cast<char>(c));
        return t;
    }();
    return table;
}

char fold(char c)
{
    return foldTable()[static_cast<unsigned char>(c)];
}

// The whole name against a folded pattern with `*` and `?`. Greedy, going
// back only to the last star: linear in the name for each star, never
// exponential.
bool globMatches(std::string_view pattern, std::string_view name)
{
    std::size_t p = 0, n = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && pattern[p] == fold(name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

}  // namespace

EntryFilter::EntryFilter(std::string_view patternLatin1)
    : m_strPattern(korvix::foldLatin1(patternLatin1)),
      m_bWildcards(patternLatin1.find_first_of("*?") != std::string_view::npos)
{
}

bool EntryFilter::matches(std::string_view name) const
{
    if (m_strPattern.empty())
        return true;
    if (m_bWildcards)
        return globMatches(m_strPattern, name);
    if (name.size() < m_strPattern.size())
        return false;
    const auto equal = [](char a, char b) { return fold(a) == b; };
    return std::search(name.begin(), name.end(), m_strPattern.begin(), m_strPattern.end(), equal) != name.end();
}
