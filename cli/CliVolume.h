// A volume opened for the command line: its header and comment, and its
// catalogue walked exactly as the document walks it (the same names, parents
// and records), with lookup by path and chunked reading of entries.
//
// What it holds beside the library's own copy of the catalogue is the walk's
// shape, a few bytes per entry: records are made from the library's catalogue
// when asked for. Only a command that needs the document's whole record set
// (extract-all, for the extraction engine) asks for it with Records::All.
#pragma once

#include "document/CatalogueTree.h"
#include "document/EntryCatalogue.h"

#include <qorbm.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace cli {

// Resolves "#<catalogue index>" or a slash-separated path from the root,
// case-insensitively, to a catalogue index of `catalogue`, the catalogue of the
// volume at `path`. The argument is UTF-8. Throws cli::Failure.
int resolveEntry(const EntryCatalogue& catalogue, const std::string& path, const std::string& spec);

class CliVolume {
public:
    enum class Records {
        Shape,  // the walk's shape: resolve, record, name, pathOf, childrenOf
        All,    // also the document's record set (catalogue())
        Skip,   // nothing is walked: header and comment only
    };

    // Opens the volume and walks it as asked; throws cli::Failure with a clear
    // detail. Read-only opening never asks for write access.
    explicit CliVolume(const std::string& path, bool readOnly = true, Records records = Records::Shape);

    const std::string& path() const { return m_strPath; }
    tarvos::GGroup& group() { return *m_pGroup; }
    const tarvos::GGroup& group() const { return *m_pGroup; }
    const tarvos::QORBHeader& header() const { return m_header; }
    // The comment as text: it ends at the first zero byte (ISO-8859-1 bytes).
    const std::string& comment() const { return m_strComment; }
    const CatalogueTree& tree() const { return m_tree; }
    // The document's records of every entry; walked with Records::All only.
    const EntryCatalogue& catalogue() const { return m_catalogue; }
    // The record of an entry as the document's walk makes it.
    EntryRecord record(int index) const;
    // The entry's name as ISO-8859-1 bytes.
    std::string name(int index) const;
    // The path from the root, names joined by '/', as UTF-8.
    std::string pathOf(int index) const;
    // Entries directly below directory `parent` (-99: the root), in walk order,
    // and an entry's parent as the walk reported it (-99 at the top level).
    std::span<const int> childrenOf(int parent) const { return m_tree.childrenOf(parent); }
    int parentOf(int index) const { return m_tree.parent(index); }

    // resolveEntry() in this volume, on the walk's shape.
    int resolve(const std::string& spec) const;

    // Checks that a file entry's data lies inside the volume; throws cli::Failure.
    void checkDataRange(int index) const;
    // Streams a file entry's data to `sink` in bounded chunks.
    template <typename Sink>
    void readData(int index, Sink&& sink);
    // A file entry's whole data; throws cli::Failure naming `where` and `stage`.
    std::vector<std::uint8_t> readAll(int index, const std::string& stage, const std::string& where);

private:
    void readChunk(std::uint64_t offset, std::size_t size, unsigned char* buffer);

    std::string m_strPath;
    std::unique_ptr<tarvos::GGroup> m_pGroup;
    tarvos::QORBHeader m_header{};
    std::string m_strComment;
    CatalogueTree m_tree;
    EntryCatalogue m_catalogue;
};

template <typename Sink>
void CliVolume::readData(int index, Sink&& sink)
{
    checkDataRange(index);
    const EntryRecord r = record(index);
    constexpr std::size_t chunk = std::size_t{1} << 20;
    std::vector<unsigned char> buffer(std::min<std::size_t>(chunk, r.size));
    std::uint64_t done = 0;
    while (done < r.size) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, r.size - done));
        readChunk(r.offset + done, n, buffer.data());
        sink(buffer.data(), n);
        done += n;
    }
}

}  // namespace cli
