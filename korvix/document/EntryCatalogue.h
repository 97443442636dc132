// The entry records of one volume as the library's catalogue walk reports them:
// one EntryRecord per catalogue index, the order of the walk, and each
// directory's children. The document keeps one for its open volume; the
// command line reads every volume through the same walk, so both see the same
// names, parents and kinds.
//
// The library calls a plain function during travEntries; walk() points that
// function at this catalogue for the length of the walk (one walk at a time per
// thread). Reads are const and may run on several threads once the walk is done.
#pragma once

#include "document/CatalogueTree.h"
#include "document/EntryRecord.h"

#include <qorbm.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class EntryCatalogue {
public:
    // Walks the open `volume`, whose header announces `entryCount` entries,
    // replacing what was held. `callback` is what the library is given; it must
    // pass its arguments on to record() (the default does). False when memory
    // for the records is short; nothing is held then.
    bool walk(tarvos::GGroup& volume, std::uint32_t entryCount,
              tarvos::QORBCallback callback = &EntryCatalogue::record);
    void clear();

    // The callback of the walk in progress: records entry `index` under
    // `parentIndex` (-99 at the top level); the end mark (parent -1), an index
    // outside the header's count and calls outside a walk are ignored.
    static void record(int index, int parentIndex, const tarvos::QORBEntry* entry);

    // An entry's name: the 64 bytes up to the trailing blanks, or up to a zero
    // byte before them (the field is text, and a zero ends text).
    static EntryName nameOf(const tarvos::QORBEntry& entry);

    // Indexed by catalogue index. Names and marks may change while the volume
    // is open (rename, replace); the rest does not after the walk.
    std::vector<EntryRecord>& records() { return m_records; }
    const std::vector<EntryRecord>& records() const { return m_records; }
    // At least one file lies directly in the volume's root.
    bool rootHasFiles() const { return m_bRootHasFiles; }
    // The length of the volume walked, and how many of its files reach past
    // it (EntryRecord::damaged).
    std::uint64_t volumeLength() const { return m_nVolumeLength; }
    std::size_t damagedCount() const { return m_nDamaged; }

    // Catalogue indices in the order the walk reported them.
    const std::vector<int>& walkOrder() const { return m_tree.walkOrder(); }
    // The walk's shape: parents and children as reported.
    const CatalogueTree& tree() const { return m_tree; }
    // The entry's "last in its directory" flag as stored in the catalogue.
    bool isLast(int index) const;
    // The parent as the walk reported it: -99 for every top-level entry, files too.
    int reportedParent(int index) const;
    // Files and directories directly below directory `parent` (-99: the root),
    // in walk order. Empty for anything that is no walked directory.
    std::span<const int> childrenOf(int parent) const { return m_tree.childrenOf(parent); }

    // The path from the root, names joined by '/' (ISO-8859-1 as stored).
    std::string pathOf(int index) const;
    // The entry at a '/'-separated path from the root (ISO-8859-1), names matched
    // without regard to case; empty parts ("a//b", a leading '/') are skipped.
    std::optional<int> find(std::string_view path) const;

private:
    bool valid(int index) const { return index >= 0 && static_cast<std::size_t>(index) < m_records.size(); }
    void add(int index, int parentIndex, const tarvos::QORBEntry& entry);

    std::vector<EntryRecord> m_records;
    bool m_bRootHasFiles = false;
    std::uint64_t m_nVolumeLength = 0;
    std::size_t m_nDamaged = 0;
    std::vector<std::uint8_t> m_last;
    CatalogueTree m_tree;
};

// Reads a file entry's bytes into `out` (resized to the entry's size). An entry
// that claims more bytes than the volume holds is refused before anything is
// allocated; false then, when memory is short, or when the read fails.
bool readEntryData(tarvos::GGroup& volume, const EntryRecord& record, std::vector<std::uint8_t>& out);
