#include "VolumeCatalogue.h"

#include "Cli.h"
#include "common/Text.h"

#include <cstring>

namespace cli {

using namespace korvix;

namespace {

// The library's callback is a plain function; the walk in progress collects here.
thread_local std::vector<WalkedEntry>* t_collector = nullptr;

void collect(int index, int parent, const tarvos::QORBEntry* entry)
{
    if (entry && t_collector)
        t_collector->push_back({index, parent, *entry});
}

std::string openError(int code)
{
    switch (code) {
    case tarvos::GGroup::G_ERR_OPEN:
        return "cannot open the file";
    case tarvos::GGroup::G_ERR_READ:
        return "not a QORB volume (too short, wrong signature or catalogue cut short)";
    case tarvos::GGroup::G_ERR_ALLOC:
        return "not enough memory for the catalogue";
    default:
        return "cannot open the volume (code " + std::to_string(code) + ")";
    }
}

}  // namespace

std::string WalkedEntry::name() const
{
    return std::string(entry.name, trimmedLength(entry.name, sizeof entry.name));
}

VolumeCatalogue::VolumeCatalogue(const std::string& path, bool readOnly)
    : m_strPath(path), m_pGroup(std::make_unique<tarvos::GGroup>())
{
    const int code = m_pGroup->open(path.c_str(), readOnly);
    if (code != tarvos::GGroup::G_OK)
        throw Failure("open", path, openError(code));
    m_pGroup->getCurQORBHeader(m_header);
    char comment[tarvos::QORB_COMMENT_SIZE + 1];
    m_pGroup->getCurFileComment(comment);
    m_strComment.assign(comment, strnlen(comment, tarvos::QORB_COMMENT_SIZE));

    m_entries.reserve(m_header.entryCount);
    t_collector = &m_entries;
    m_pGroup->setCallBack(collect);
    m_pGroup->travEntries();
    m_pGroup->setCallBack(nullptr);
    t_collector = nullptr;

    m_positionByIndex.assign(m_header.entryCount, -1);
    for (std::size_t p = 0; p < m_entries.size(); ++p)
        m_positionByIndex[static_cast<std::size_t>(m_entries[p].index)] = static_cast<long>(p);

    // Group children by parent with one counting pass, stable in walk order.
    const auto slot = [this](int parent) { return static_cast<std::size_t>(positionOf(parent) + 1); };
    m_childStart.assign(m_entries.size() + 2, 0);
    for (const WalkedEntry& e : m_entries)
        ++m_childStart[slot(e.parent) + 1];
    for (std::size_t k = 1; k < m_childStart.size(); ++k)
        m_childStart[k] += m_childStart[k - 1];
    m_childPositions.resize(m_entries.size());
    std::vector<std::size_t> fill(m_childStart.begin(), m_childStart.end() - 1);
    for (std::size_t p = 0; p < m_entries.size(); ++p)
        m_childPositions[fill[slot(m_entries[p].parent)]++] = p;
}

long VolumeCatalogue::positionOf(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_positionByIndex.size())
        return -1;
    return m_positionByIndex[static_cast<std::size_t>(index)];
}

std::vector<const WalkedEntry*> VolumeCatalogue::childrenOf(int parent) const
{
    std::vector<const WalkedEntry*> out;
    if (parent != -99 && positionOf(parent) < 0)
        return out;
    const std::size_t k = static_cast<std::size_t>(positionOf(parent) + 1);
    for (std::size_t i = m_childStart[k]; i < m_childStart[k + 1]; ++i)
        out.push_back(&m_entries[m_childPositions[i]]);
    return out;
}

std::string VolumeCatalogue::pathOf(const WalkedEntry& e) const
{
    std::string path = latin1ToUtf8(e.name());
    for (long p = positionOf(e.parent); p >= 0; p = positionOf(m_entries[static_cast<std::size_t>(p)].parent))
        path = latin1ToUtf8(m_entries[static_cast<std::size_t>(p)].name()) + "/" + path;
    return path;
}

const WalkedEntry& VolumeCatalogue::resolve(const std::string& spec) const
{
    if (!spec.empty() && spec[0] == '#') {
        const std::string digits = spec.substr(1);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            throw Failure("entry", m_strPath, "bad entry index '" + spec + "'");
        const long p = positionOf(static_cast<int>(std::min(std::stoull(digits), 0x7FFFFFFFull)));
        if (p < 0)
            throw Failure("entry", m_strPath, "no entry with catalogue index " + digits);
        return m_entries[static_cast<std::size_t>(p)];
    }
    const auto latin1 = utf8ToLatin1(spec);
    if (!latin1)
        throw Failure("entry", m_strPath, "'" + spec + "' holds characters a volume name cannot hold");
    int parent = -99;
    const WalkedEntry* found = nullptr;
    std::size_t start = 0;
    while (start <= latin1->size()) {
        std::size_t end = latin1->find('/', start);
        if (end == std::string::npos)
            end = latin1->size();
        const std::string part = foldLatin1(latin1->substr(start, end - start));
        start = end + 1;
        if (part.empty())
            continue;  // tolerate "a//b" and a leading or trailing slash
        found = nullptr;
        for (const WalkedEntry* e : childrenOf(parent)) {
            if (foldLatin1(e->name()) == part) {
                found = e;
                break;
            }
        }
        if (!found)
            throw Failure("entry", m_strPath, "no entry '" + spec + "'");
        parent = found->index;
    }
    if (!found)
        throw Failure("entry", m_strPath, "empty entry path");
    return *found;
}

void VolumeCatalogue::checkDataRange(const WalkedEntry& e) const
{
    if (e.isDirectory())
        throw Failure("extract", m_strPath, "'" + pathOf(e) + "' is a directory");
    const std::uint64_t end = std::uint64_t{e.entry.offset} + e.entry.size;
    if (end > m_pGroup->fileSize())
        throw Failure("extract", m_strPath,
                      "entry " + std::to_string(e.index) + ": data " + std::to_string(e.entry.offset) + "+"
                          + std::to_string(e.entry.size) + " exceeds volume length "
                          + std::to_string(m_pGroup->fileSize()));
}

void VolumeCatalogue::readChunk(std::uint64_t offset, std::size_t size, unsigned char* buffer)
{
    if (!m_pGroup->getDataBlock(static_cast<unsigned long>(offset), size, buffer))
        throw Failure("read", m_strPath, "cannot read " + std::to_string(size) + " bytes at offset "
                                             + std::to_string(offset));
}

}  // namespace cli
