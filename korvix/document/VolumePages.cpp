#include "document/VolumePages.h"

#include "common/Text.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <type_traits>

void VolumePages::build(const VolumeBrowserModel& model)
{
    clear();
    m_pages.reserve(model.pages.size());
    int maxIndex = -1;
    for (const auto& p : model.pages) {
        Page page{p.title, {}, -1, {}};
        page.items.reserve(p.items.size());
        for (const auto& item : p.items) {
            // The model's names are UTF-8; items hold the volume's ISO-8859-1.
            std::string name = korvix::utf8ToLatin1(item.name).value_or(item.name);
            const auto length = static_cast<std::uint8_t>(std::min<std::size_t>(name.size(), 255));
            page.items.push_back({std::move(name), item.index, item.icon, item.damage, length});
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
    m_allPagesOrder = {};
    rebuildListing();
}

void VolumePages::clear()
{
    m_pages.clear();
    m_pageOf.clear();
    m_rows.clear();
    m_nCurrent = NO_VOLUME;
    m_nRootPage = -1;
    m_nPageAfterOpening = -1;
    m_bNotice = false;
    m_bSortControlsEnabled = false;
    m_allPagesOrder = {};
}

void VolumePages::showPage(int page)
{
    if (page == HIDE_ALL) {
        m_nCurrent = NO_CURRENT;
        m_bNotice = true;
        rebuildListing();
        return;
    }
    // A page number the volume does not have reads as "no page".
    if (page < 0 || page >= pageCount())
        page = NO_CURRENT;
    m_nCurrent = page;
    m_bNotice = page == NO_CURRENT;
    m_bSortControlsEnabled = page != NO_CURRENT;
    rebuildListing();
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

int VolumePages::pageOfEntry(int entry) const
{
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_pageOf.size())
        return -1;
    return m_pageOf[static_cast<std::size_t>(entry)];
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

// Sorts items (or rows) by a key computed once per element (never inside the
// comparison), keeping the order of equal keys. The sort moves only the keys
// with each element's place; the elements, an item being some 80 bytes, move
// once, into their new order.
template <typename Key, typename Element, typename MakeKey, typename Less>
void sortByKey(std::vector<Element>& items, MakeKey makeKey, Less less)
{
    std::vector<std::pair<Key, std::uint32_t>> keyed;
    keyed.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        keyed.emplace_back(makeKey(items[i]), static_cast<std::uint32_t>(i));
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) { return less(a.first, b.first); });
    std::vector<Element> sorted;
    sorted.reserve(items.size());
    for (const auto& k : keyed)
        sorted.push_back(std::move(items[k.second]));
    items = std::move(sorted);
}

}  // namespace

bool VolumePages::sortByName(const std::vector<EntryRecord>& records)
{
    return sortByColumn(entrycolumns::NAME, records, {});
}

bool VolumePages::sortBySize(const std::vector<EntryRecord>& records)
{
    return sortByColumn(entrycolumns::SIZE, records, {});
}

namespace {

// The order of the texture columns: pictures first (by the column's value),
// then the rest. Packed into one number so that the sort compares integers.
std::uint64_t factsKey(int column, const EntryFacts* f)
{
    if (!f || !f->picture())
        return ~std::uint64_t{0};
    switch (column) {
    case entrycolumns::FORMAT: {
        // By the label the column shows; a TGA image after the textures.
        const std::string_view label =
            f->type == EntryFacts::Type::Texture ? texture::infoOf(f->format)->label : std::string_view("\xff");
        std::uint64_t key = 0;
        for (std::size_t i = 0; i < 7; ++i)
            key = key << 8 | (i < label.size() ? static_cast<unsigned char>(label[i]) : 0);
        return key << 8 | f->bitsPerPixel;
    }
    case entrycolumns::DIMENSIONS:
        return static_cast<std::uint64_t>(f->width) * static_cast<std::uint64_t>(f->height) << 20
               | static_cast<std::uint64_t>(f->width);
    default:
        return f->maps;
    }
}

}  // namespace

template <typename Items>
void VolumePages::sortItems(Items& items, int column, bool descending, const std::vector<EntryRecord>& records,
                            const std::vector<EntryFacts>& facts)
{
    const auto itemOf = [this](const auto& x) -> const Item& {
        if constexpr (std::is_same_v<std::decay_t<decltype(x)>, Item>)
            return x;
        else
            return m_pages[static_cast<std::size_t>(x.page)].items[static_cast<std::size_t>(x.item)];
    };
    using Value = typename Items::value_type;
    switch (column) {
    case entrycolumns::NAME:
        if (!descending) {
            // A case-insensitive order of the shown texts, markers included.
            sortByKey<std::string>(
                items, [&](const Value& x) { return korvix::foldLatin1(itemOf(x).text); }, std::less<>{});
        } else {
            // Byte order of the records' names as unsigned characters, reversed
            // (std::string compares as unsigned char). The names are copied into
            // the keys: compared in place, every comparison would reach into a
            // record far from the last one, and the sort would wait on memory.
            sortByKey<std::string>(
                items,
                [&](const Value& x) {
                    const EntryRecord* r = recordOf(records, itemOf(x).index);
                    return r ? std::string(r->name.view()) : std::string{};
                },
                std::greater<>{});
        }
        return;
    case entrycolumns::SIZE: {
        auto size = [&](const Value& x) { return sizeOf(records, itemOf(x).index); };
        if (descending)
            sortByKey<std::uint32_t>(items, size, std::greater<>{});
        else
            sortByKey<std::uint32_t>(items, size, std::less<>{});
        return;
    }
    case entrycolumns::TYPE: {
        auto type = [&](const Value& x) {
            const EntryRecord* r = recordOf(records, itemOf(x).index);
            return r ? korvix::foldLatin1(entrycolumns::typeText(*r)) : std::string{};
        };
        if (descending)
            sortByKey<std::string>(items, type, std::greater<>{});
        else
            sortByKey<std::string>(items, type, std::less<>{});
        return;
    }
    default: {
        auto key = [&](const Value& x) {
            const int e = itemOf(x).index;
            const EntryFacts* f = e >= 0 && static_cast<std::size_t>(e) < facts.size() ? &facts[static_cast<std::size_t>(e)]
                                                                                         : nullptr;
            return factsKey(column, f);
        };
        // Descending keeps the entries without a picture last too.
        if (descending)
            sortByKey<std::uint64_t>(items, key, [](std::uint64_t a, std::uint64_t b) {
                return a != b && (b == ~std::uint64_t{0} || (a != ~std::uint64_t{0} && a > b));
            });
        else
            sortByKey<std::uint64_t>(items, key, std::less<>{});
        return;
    }
    }
}

bool VolumePages::sortByColumn(int column, const std::vector<EntryRecord>& records,
                               const std::vector<EntryFacts>& facts)
{
    if (column < 0 || column >= entrycolumns::COUNT)
        return false;
    const SortOrder order{column, m_bDescending};
    if (listingAllPages()) {
        sortItems(m_rows, column, m_bDescending, records, facts);
        m_allPagesOrder = order;
        return true;
    }
    if (!hasCurrentPage())
        return false;
    Page& page = m_pages[static_cast<std::size_t>(m_nCurrent)];
    sortItems(page.items, column, m_bDescending, records, facts);
    page.order = order;
    rebuildListing();
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

void VolumePages::setItemText(int entry, std::string text, std::optional<std::size_t> nameLength)
{
    if (Item* item = findItem(entry)) {
        item->nameLength = static_cast<std::uint8_t>(std::min<std::size_t>(nameLength.value_or(text.size()), 255));
        item->text = std::move(text);
    }
}

void VolumePages::renameItem(int entry, std::string_view newNameLatin1, std::uint32_t marksBefore)
{
    setItemText(entry, textAfterRename(newNameLatin1, marksBefore), newNameLatin1.size());
}

void VolumePages::markReplaced(int entry, std::uint32_t marksBefore)
{
    if (const Item* item = findItem(entry))
        setItemText(entry, textAfterReplace(item->text, marksBefore), item->nameLength);
}

std::string VolumePages::directoryPath(int entry, const std::vector<EntryRecord>& records)
{
    std::vector<int> chain;
    const EntryRecord* r = recordOf(records, entry);
    // The walk reports parents before children, so a chain ends; the bound
    // guards a damaged record all the same.
    for (int parent = r ? r->parent : -1; parent >= 0 && chain.size() < records.size(); parent = records[static_cast<std::size_t>(parent)].parent) {
        if (static_cast<std::size_t>(parent) >= records.size())
            break;
        chain.push_back(parent);
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += records[static_cast<std::size_t>(*it)].name.view();
        path += '/';
    }
    return path;
}

// ---- the listing ----

void VolumePages::setFilter(std::string_view patternLatin1, bool allDirectories)
{
    const bool wasAllPages = listingAllPages();
    m_strFilter = std::string(patternLatin1);
    m_filter = EntryFilter(patternLatin1);
    m_bAllDirectories = allDirectories;
    if (!wasAllPages && listingAllPages())
        m_allPagesOrder = {};
    rebuildListing();
}

std::vector<int> VolumePages::listedPages() const
{
    std::vector<int> pages;
    if (listingAllPages()) {
        if (m_nRootPage >= 0)
            pages.push_back(m_nRootPage);
        for (int p = 0; p < pageCount(); ++p)
            if (p != m_nRootPage)
                pages.push_back(p);
    } else if (hasCurrentPage()) {
        pages.push_back(m_nCurrent);
    }
    return pages;
}

void VolumePages::rebuildListing()
{
    m_rows.clear();
    for (const int p : listedPages()) {
        const auto& items = m_pages[static_cast<std::size_t>(p)].items;
        if (!filtering()) {
            m_rows.reserve(items.size());
            for (std::size_t i = 0; i < items.size(); ++i)
                m_rows.push_back({p, static_cast<int>(i)});
            continue;
        }
        for (std::size_t i = 0; i < items.size(); ++i)
            if (m_filter.matches(items[i].name()))
                m_rows.push_back({p, static_cast<int>(i)});
    }
}

const VolumePages::Item& VolumePages::itemAtRow(int r) const
{
    const Row& at = row(r);
    return m_pages[static_cast<std::size_t>(at.page)].items[static_cast<std::size_t>(at.item)];
}

int VolumePages::entryAtRow(int r) const
{
    if (r < 0 || r >= rowCount())
        return -1;
    return itemAtRow(r).index;
}

int VolumePages::rowOfEntry(int entry) const
{
    if (entry < 0)
        return -1;
    for (std::size_t r = 0; r < m_rows.size(); ++r)
        if (itemAtRow(static_cast<int>(r)).index == entry)
            return static_cast<int>(r);
    return -1;
}

std::size_t VolumePages::unfilteredCount() const
{
    std::size_t n = 0;
    for (const int p : listedPages())
        n += m_pages[static_cast<std::size_t>(p)].items.size();
    return n;
}

VolumePages::SortOrder VolumePages::listingOrder() const
{
    if (listingAllPages())
        return m_allPagesOrder;
    return hasCurrentPage() ? current()->order : SortOrder{};
}

std::optional<std::string> VolumePages::itemText(int entry) const
{
    if (Item* item = const_cast<VolumePages*>(this)->findItem(entry))
        return item->text;
    return std::nullopt;
}
