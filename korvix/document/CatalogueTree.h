// The shape of a volume's catalogue as the library's walk reports it, in a few
// bytes per entry: the order of the walk, each entry's parent and each
// directory's children. Names, sizes and flags stay in the library's own copy
// of the catalogue (GGroup::getCatalogueEntry), so a listing of a million
// entries holds little beyond what the library holds anyway.
//
// Fill it with report() for every entry the walk reports, then finish(); or let
// walk() do both. Reads are const and may run on several threads afterwards.
#pragma once

#include "common/Text.h"

#include <qorbm.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CatalogueTree {
public:
    // The parent the walk reports for the top level.
    static constexpr int TOP_LEVEL = -99;

    // Walks the open `volume`, whose header announces `entryCount` entries,
    // replacing what was held. The volume's callback is replaced. False when
    // memory is short; nothing is held then.
    bool walk(tarvos::GGroup& volume, std::uint32_t entryCount);

    // Makes room for `entryCount` entries, none reported. Throws std::bad_alloc.
    void reset(std::uint32_t entryCount);
    // Entry `index` was reported below `parent` (TOP_LEVEL at the top). An index
    // outside the count, and a second report of an index, are ignored.
    void report(int index, int parent);
    // Groups the children by parent once every report is in. Throws std::bad_alloc.
    void finish();
    void clear();

    std::uint32_t size() const { return static_cast<std::uint32_t>(m_parents.size()); }
    bool reported(int index) const { return valid(index) && m_parents[static_cast<std::size_t>(index)] != UNREPORTED; }
    // The parent as reported: TOP_LEVEL for every top-level entry; TOP_LEVEL too
    // for an entry never reported.
    int parent(int index) const;
    // Catalogue indices in the order the walk reported them.
    const std::vector<int>& walkOrder() const { return m_walkOrder; }
    // Entries directly below directory `parent` (TOP_LEVEL: the root), in walk
    // order. Empty for anything that has no reported children.
    std::span<const int> childrenOf(int parent) const;

private:
    static constexpr int UNREPORTED = -2;
    bool valid(int index) const { return index >= 0 && static_cast<std::size_t>(index) < m_parents.size(); }

    std::vector<int> m_parents;
    std::vector<int> m_walkOrder;
    // Children grouped by parent: m_children[m_childStart[s] .. m_childStart[s + 1])
    // for slot s, where slot 0 is the root and slot i + 1 catalogue index i.
    std::vector<std::uint32_t> m_childStart;
    std::vector<int> m_children;
};

// The lookups of a walked catalogue, for any source of names: `nameOf(index)`
// answers an entry's name (ISO-8859-1) as a std::string. The document takes
// the names from its records, the command line from the library's catalogue.

// The path from the root, names joined by '/'. Empty for an index outside the tree.
template <class NameOf>
std::string cataloguePath(const CatalogueTree& tree, int index, NameOf&& nameOf)
{
    if (index < 0 || static_cast<std::uint32_t>(index) >= tree.size())
        return {};
    // A walk reports each directory once, before its children, so the chain of
    // parents ends; the bound only guards a damaged tree.
    std::vector<int> chain{index};
    for (int p = tree.parent(index); p >= 0 && static_cast<std::uint32_t>(p) < tree.size() && chain.size() <= tree.size();
         p = tree.parent(p))
        chain.push_back(p);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            path += '/';
        path += nameOf(*it);
    }
    return path;
}

// The entry at a '/'-separated path from the root, names matched without regard
// to case; empty parts ("a//b", a leading '/') are skipped.
template <class NameOf>
std::optional<int> findCataloguePath(const CatalogueTree& tree, std::string_view path, NameOf&& nameOf)
{
    int parent = CatalogueTree::TOP_LEVEL;
    std::optional<int> found;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string part = korvix::foldLatin1(path.substr(start, end - start));
        start = end + 1;
        if (part.empty())
            continue;
        found.reset();
        for (const int child : tree.childrenOf(parent)) {
            if (korvix::foldLatin1(nameOf(child)) == part) {
                found = child;
                break;
            }
        }
        if (!found)
            return std::nullopt;
        parent = *found;
    }
    return found;
}
