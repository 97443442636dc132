#include "document/EntryCatalogue.h"

#include "common/Text.h"

#include <cstring>
#include <new>

namespace {

// The catalogue that the walk in progress fills.
thread_local EntryCatalogue* t_walking = nullptr;

// Clears the walk's target on every way out of walk().
struct WalkScope {
    explicit WalkScope(EntryCatalogue* c) { t_walking = c; }
    ~WalkScope() { t_walking = nullptr; }
    WalkScope(const WalkScope&) = delete;
    WalkScope& operator=(const WalkScope&) = delete;
};

}  // namespace

EntryName EntryCatalogue::nameOf(const tarvos::QORBEntry& entry)
{
    const std::size_t len = korvix::trimmedLength(entry.name, sizeof entry.name);
    const void* zero = std::memchr(entry.name, 0, len);
    return EntryName(std::string_view(
        entry.name, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - entry.name) : len));
}

void EntryCatalogue::clear()
{
    m_records.clear();
    m_last.clear();
    m_tree.clear();
    m_bRootHasFiles = false;
    m_nVolumeLength = 0;
    m_nDamaged = 0;
}

bool EntryCatalogue::walk(tarvos::GGroup& volume, std::uint32_t entryCount, tarvos::QORBCallback callback)
{
    clear();
    try {
        m_records.assign(entryCount, EntryRecord{});
        m_last.assign(entryCount, 0);
        m_tree.reset(entryCount);
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    {
        const WalkScope scope(this);
        volume.setCallBack(callback);
        volume.travEntries();
    }
    try {
        m_tree.finish();
    } catch (const std::bad_alloc&) {
        clear();
        return false;
    }
    // A file whose data reaches past the end cannot be read; it is marked once here.
    m_nVolumeLength = volume.fileSize();
    for (EntryRecord& r : m_records) {
        r.damaged = r.reported && !r.isDirectory && std::uint64_t{r.offset} + r.size > m_nVolumeLength;
        m_nDamaged += r.damaged ? 1 : 0;
    }
    return true;
}

void EntryCatalogue::record(int index, int parentIndex, const tarvos::QORBEntry* entry)
{
    if (t_walking && entry && parentIndex != -1)
        t_walking->add(index, parentIndex, *entry);
}

void EntryCatalogue::add(int index, int parentIndex, const tarvos::QORBEntry& entry)
{
    if (!valid(index))
        return;
    EntryRecord& r = m_records[static_cast<std::size_t>(index)];
    m_tree.report(index, parentIndex);
    r.name = nameOf(entry);
    r.offset = entry.offset;
    r.size = entry.size;
    r.isDirectory = entry.flags & tarvos::QORB_FLAG_DIRECTORY;
    r.parent = parentIndex;
    r.marks = 0;
    r.reported = true;
    m_last[static_cast<std::size_t>(index)] = (entry.flags & tarvos::QORB_FLAG_LAST) ? 1 : 0;
    if (r.isDirectory)
        return;
    if (parentIndex == PARENT_TOP_LEVEL) {
        r.parent = PARENT_TOP_LEVEL_FILE;
        m_bRootHasFiles = true;
    } else if (valid(parentIndex)) {
        m_records[static_cast<std::size_t>(parentIndex)].hasFiles = true;
    }
}

bool EntryCatalogue::isLast(int index) const
{
    return valid(index) && m_last[static_cast<std::size_t>(index)] != 0;
}

int EntryCatalogue::reportedParent(int index) const
{
    if (!valid(index))
        return PARENT_TOP_LEVEL;
    const int parent = m_records[static_cast<std::size_t>(index)].parent;
    return parent == PARENT_TOP_LEVEL_FILE ? PARENT_TOP_LEVEL : parent;
}

std::string EntryCatalogue::pathOf(int index) const
{
    return cataloguePath(m_tree, index, [this](int i) { return std::string(m_records[static_cast<std::size_t>(i)].name); });
}

std::optional<int> EntryCatalogue::find(std::string_view path) const
{
    return findCataloguePath(m_tree, path,
                             [this](int i) { return std::string(m_records[static_cast<std::size_t>(i)].name); });
}

bool readEntryData(tarvos::GGroup& volume, const EntryRecord& record, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (record.isDirectory || std::uint64_t{record.offset} + record.size > volume.fileSize())
        return false;
    try {
        out.resize(record.size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return record.size == 0 || volume.getDataBlock(record.offset, record.size, out.data());
}
