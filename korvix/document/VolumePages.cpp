#include "document/VolumePages.h"

#include "common/Text.h"

#include <algorithm>
#include <cstring>
#include <functional>

void VolumePages::build(const VolumeBrowserModel& model)
{
    clear();
    m_pages.reserve(model.pages.size());
    int maxIndex = -1;
    for (const auto& p : model.pages) {
        Page page{p.title, {}, -1};
        page.items.reserve(p.items.size());
        for (const auto& item : p.items) {
            page.items.push_back({std::string(item.name), item.index, item.icon, item.damage});
            maxIndex = std::max(maxIndex, item.index);
        }
        m_pages.push_back(std::move(page));
    }
    m_pageOf.assign(static_cast<std::size_t>(maxIndex + 1), -1);
    for (std::size_t p = 0; p < m_pages.size(); ++p)
        for (const Item& item : m_pages[p].items)
            if (item.index >= 0)
                m_pageOf[static_cast<std::size_t>(item.index)] = static_cast<int>(p);
    // The "(Root)" page is created after all directory pages.
    m_nRootPage = model.rootHasFiles && !m_pages.empty() ? pageCount() - 1 : -1;
    m_nPageAfterOpening = model.pageShown;
    if (model.selectedEntry >= 0 && model.pageShown >= 0 && model.pageShown < pageCount()
        && rowOf(model.pageShown, model.selectedEntry) >= 0)
        m_pages[static_cast<std::size_t>(model.pageShown)].selectedEntry = model.selectedEntry;
    m_nCurrent = NO_CURRENT;
    m_bNotice = false;
}

void VolumePages::clear()
{
    m_pages.clear();
    m_pageOf.clear();
    m_nCurrent = NO_VOLUME;
    m_nRootPage = -1;
    m_nPageAfterOpening = -1;
    m_bNotice = false;
    m_bSortControlsEnabled = false;
}

void VolumePages::showPage(int page)
{
    if (page == HIDE_ALL) {
        m_nCurrent = NO_CURRENT;
        m_bNotice = true;
        return;
    }
    // A page number the volume does not have reads as "no page".
    if (page < 0 || page >= pageCount())
        page = NO_CURRENT;
    m_nCurrent = page;
    m_bNotice = page == NO_CURRENT;
    m_bSortControlsEnabled = page != NO_CURRENT;
}

VolumePages::Buttons VolumePages::buttons() const
{
    Buttons b;
    const Page* p = current();
    b.sortByName = b.sortBySize = p && p->items.size() > 1;
    b.scrollIntoView = p && p->selectedEntry >= 0;
    b.search = !m_pages.empty();
    b.previous = b.next = m_pages.size() > 1;
    return b;
}

void VolumePages::setSelectedEntry(int page, int entry)
{
    if (page >= 0 && page < pageCount())
        m_pages[static_cast<std::size_t>(page)].selectedEntry = entry;
}

int VolumePages::rowOf(int page, int entry) const
{
    if (page < 0 || page >= pageCount())
        return -1;
    const auto& items = m_pages[static_cast<std::size_t>(page)].items;
    for (std::size_t r = 0; r < items.size(); ++r)
        if (items[r].index == entry)
            return static_cast<int>(r);
    return -1;
}

namespace {

const EntryRecord* recordOf(const std::vector<EntryRecord>& records, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < records.size() ? &records[static_cast<std::size_t>(index)]
                                                                           : nullptr;
}

std::uint32_t sizeOf(const std::vector<EntryRecord>& records, int index)
{
    const EntryRecord* r = recordOf(records, index);
    return r ? r->size : 0;
}

}  // namespace

namespace {

// Sorts items by a key computed once per item (never inside the comparison),
// keeping the order of equal keys.
template <typename Key, typename MakeKey, typename Less>
void sortByKey(std::vector<VolumePages::Item>& items, MakeKey makeKey, Less less)
{
    std::vector<std::pair<Key, VolumePages::Item>> keyed;
    keyed.reserve(items.size());
    for (VolumePages::Item& item : items)
        keyed.emplace_back(makeKey(item), std::move(item));
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) { return less(a.first, b.first); });
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = std::move(keyed[i].second);
}

}  // namespace

bool VolumePages::sortByName(const std::vector<EntryRecord>& records)
{
    if (!hasCurrentPage())
        return false;
    auto& items = m_pages[static_cast<std::size_t>(m_nCurrent)].items;
    if (!m_bDescending) {
        // A case-insensitive order of the shown texts, markers included.
        sortByKey<std::string>(
            items, [](const Item& item) { return korvix::foldLatin1(item.text); }, std::less<>{});
        return true;
    }
    // Byte order of the records' names as unsigned characters, reversed
    // (std::string compares as unsigned char). The names are copied into the
    // keys: compared in place, every comparison would reach into a record far
    // from the last one, and the sort would wait on memory.
    sortByKey<std::string>(
        items,
        [&](const Item& item) {
            const EntryRecord* r = recordOf(records, item.index);
            return r ? std::string(r->name.view()) : std::string{};
        },
        std::greater<>{});
    return true;
}

bool VolumePages::sortBySize(const std::vector<EntryRecord>& records)
{
    if (!hasCurrentPage())
        return false;
    auto& items = m_pages[static_cast<std::size_t>(m_nCurrent)].items;
    auto size = [&](const Item& item) { return sizeOf(records, item.index); };
    if (m_bDescending)
        sortByKey<std::uint32_t>(items, size, std::greater<>{});
    else
        sortByKey<std::uint32_t>(items, size, std::less<>{});
    return true;
}

std::optional<VolumePages::SearchHit> VolumePages::searchPage(int p, const std::string& folded, bool acrossPages) const
{
    const auto& items = m_pages[static_cast<std::size_t>(p)].items;
    for (std::size_t r = 0; r < items.size(); ++r) {
        // The text as shown, as far as the item buffer reaches.
        const std::string_view text =
            std::string_view(items[r].text).substr(0, ITEM_TEXT_BUFFER - 1);
        if (text.size() == folded.size() && korvix::foldLatin1(text) == folded)
            return SearchHit{p, static_cast<int>(r), items[r].index, acrossPages};
    }
    return std::nullopt;
}

std::optional<VolumePages::SearchHit> VolumePages::search(std::string_view nameLatin1, bool allDirectories) const
{
    if (nameLatin1.empty())
        return std::nullopt;
    const std::string folded = korvix::foldLatin1(nameLatin1.substr(0, MAX_SEARCH));
    if (!hasCurrentPage() || (allDirectories && pageCount() > 1)) {
        if (m_nRootPage >= 0)
            if (auto hit = searchPage(m_nRootPage, folded, true))
                return hit;
        for (int p = 0; p < pageCount(); ++p)
            if (p != m_nRootPage)
                if (auto hit = searchPage(p, folded, true))
                    return hit;
        return std::nullopt;
    }
    return searchPage(m_nCurrent, folded, false);
}

std::optional<int> VolumePages::previousPage() const
{
    if (!hasCurrentPage())
        return std::nullopt;
    return m_nCurrent == 0 ? pageCount() - 1 : m_nCurrent - 1;
}

std::optional<int> VolumePages::nextPage() const
{
    if (!hasCurrentPage())
        return std::nullopt;
    return m_nCurrent == pageCount() - 1 ? 0 : m_nCurrent + 1;
}

int VolumePages::directoryItemOf(int entry, const std::vector<EntryRecord>& records)
{
    const EntryRecord* r = recordOf(records, entry);
    if (!r || r->parent == PARENT_TOP_LEVEL_FILE || r->parent == PARENT_TOP_LEVEL)
        return ITEM_VOLUME_ROOT;
    return r->parent;
}

std::optional<int> VolumePages::pageForTreeItem(int itemData, const std::vector<EntryRecord>& records,
                                                bool rootHasFiles, int rootPage)
{
    if (itemData == ITEM_VOLUME_ROOT)
        return rootHasFiles ? rootPage : HIDE_ALL;
    const EntryRecord* r = recordOf(records, itemData);
    if (!r || !r->isDirectory)
        return std::nullopt;
    return r->page;
}

std::string VolumePages::textAfterRename(std::string_view newNameLatin1, std::uint32_t marksBefore)
{
    std::string text(newNameLatin1);
    if (text.size() <= 1)
        return text;
    if (marksBefore & EntryRecord::MARK_REPLACED)
        text += " (e)";
    return text + " (u)";
}

std::string VolumePages::textAfterReplace(std::string_view currentText, std::uint32_t marksBefore)
{
    std::string text(currentText);
    if (text.size() <= 1 || (marksBefore & EntryRecord::MARK_REPLACED))
        return text;
    return text + " (e)";
}

VolumePages::Item* VolumePages::findItem(int entry)
{
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_pageOf.size())
        return nullptr;
    const int p = m_pageOf[static_cast<std::size_t>(entry)];
    if (p < 0)
        return nullptr;
    const int row = rowOf(p, entry);
    return row < 0 ? nullptr : &m_pages[static_cast<std::size_t>(p)].items[static_cast<std::size_t>(row)];
}

void VolumePages::setItemText(int entry, std::string text)
{
    if (Item* item = findItem(entry))
        item->text = std::move(text);
}

std::optional<std::string> VolumePages::itemText(int entry) const
{
    if (Item* item = const_cast<VolumePages*>(this)->findItem(entry))
        return item->text;
    return std::nullopt;
}
