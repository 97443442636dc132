// A volume opened for the command line: header, comment and the catalogue walk
// collected in walk order, with name lookup and chunked extraction.
#pragma once

#include <qorbm.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cli {

struct WalkedEntry {
    int index;
    int parent;  // -99 for the top level
    tarvos::QORBEntry entry;

    bool isDirectory() const { return entry.flags & tarvos::QORB_FLAG_DIRECTORY; }
    bool isLast() const { return entry.flags & tarvos::QORB_FLAG_LAST; }
    // The name with the trailing blanks of its field removed, as ISO-8859-1 bytes.
    std::string name() const;
};

class VolumeCatalogue {
public:
    // Opens and walks the volume; throws cli::Failure with a clear detail.
    // Read-only opening never asks for write access.
    explicit VolumeCatalogue(const std::string& path, bool readOnly = true);

    const std::string& path() const { return m_strPath; }
    tarvos::GGroup& group() { return *m_pGroup; }
    const tarvos::QORBHeader& header() const { return m_header; }
    // The comment as text: it ends at the first zero byte (ISO-8859-1 bytes).
    const std::string& comment() const { return m_strComment; }
    // The walk's reports in order, the end mark left out.
    const std::vector<WalkedEntry>& entries() const { return m_entries; }

    // Position in entries() of catalogue index `index`, or -1.
    long positionOf(int index) const;
    // Resolves "#<catalogue index>" or a slash-separated path from the root,
    // case-insensitively. The argument is UTF-8. Throws cli::Failure.
    const WalkedEntry& resolve(const std::string& spec) const;
    // Children of an entry (by catalogue index; -99 for the top level), in walk order.
    std::vector<const WalkedEntry*> childrenOf(int parent) const;
    // The path from the root, names joined by '/', as UTF-8.
    std::string pathOf(const WalkedEntry& e) const;

    // Checks that a file entry's data lies inside the volume; throws cli::Failure.
    void checkDataRange(const WalkedEntry& e) const;
    // Streams a file entry's data to `sink` in bounded chunks.
    template <typename Sink>
    void readData(const WalkedEntry& e, Sink&& sink);

private:
    void readChunk(std::uint64_t offset, std::size_t size, unsigned char* buffer);

    std::string m_strPath;
    std::unique_ptr<tarvos::GGroup> m_pGroup;
    tarvos::QORBHeader m_header{};
    std::string m_strComment;
    std::vector<WalkedEntry> m_entries;
    std::vector<long> m_positionByIndex;
    // Children grouped by parent: positions in m_childPositions[m_childStart[k] ..
    // m_childStart[k + 1]) for the parent at walk position k - 1 (k = 0: top level).
    std::vector<std::size_t> m_childStart;
    std::vector<std::size_t> m_childPositions;
};

template <typename Sink>
void VolumeCatalogue::readData(const WalkedEntry& e, Sink&& sink)
{
    checkDataRange(e);
    constexpr std::size_t chunk = std::size_t{1} << 20;
    std::vector<unsigned char> buffer(std::min<std::size_t>(chunk, e.entry.size));
    std::uint64_t done = 0;
    while (done < e.entry.size) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk, e.entry.size - done));
        readChunk(e.entry.offset + done, n, buffer.data());
        sink(buffer.data(), n);
        done += n;
    }
}

}  // namespace cli
