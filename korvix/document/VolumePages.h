// The pages of the volume browser without any window: one list of entries per
// directory that holds files, plus the "(Root)" page, with the rules for which
// page is shown, which buttons are active, sorting, searching and moving to
// the previous or next directory with files. The browser's widgets draw this
// state and forward the user's actions here; everything is on one thread.
//
// Item texts are ISO-8859-1 as the volume stores names, with the markers
// " (u)" and " (e)" the edits add; widgets convert them for display.
//
// What the list shows is the listing: the shown page's items in their order,
// narrowed by the filter, or with the filter "in all directories" the matching
// items of every page ("(Root)" first, then the directory pages). Rows of the
// listing point into the pages; no item is copied. Sorting orders the shown
// page (as the sort buttons always did) or, across all directories, the
// listing itself.
#pragma once

#include "document/DocumentHost.h"
#include "document/EntryColumns.h"
#include "document/EntryFacts.h"
#include "document/EntryFilter.h"
#include "document/EntryRecord.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class VolumePages {
public:
    static constexpr int NO_CURRENT = -1;      // pages exist, none is shown
    static constexpr int NO_VOLUME = -999;     // before any volume, and after the pages were removed
    static constexpr int HIDE_ALL = -99;       // showPage: hide every page and show the notice
    static constexpr std::size_t MAX_SEARCH = 64;  // characters of a search name that count
    static constexpr std::size_t ITEM_TEXT_BUFFER = 100;  // an item's text is read into this many chars

    struct Item {
        std::string text;  // ISO-8859-1, with any markers
        int index;         // catalogue index
        int kind;          // entry kind, the state icon
        std::string damage = {};  // UTF-8: why the entry cannot be read; empty when it can
        std::uint8_t nameLength = 0;  // the name at the start of the text, without markers
        bool damaged() const { return !damage.empty(); }
        std::string_view name() const { return std::string_view(text).substr(0, nameLength); }
    };
    // How a page or the listing was last ordered: a column and its direction;
    // column -1 while it is in catalogue order.
    struct SortOrder {
        int column = -1;
        bool descending = false;
        friend bool operator==(const SortOrder&, const SortOrder&) = default;
    };
    struct Page {
        std::string title;  // UTF-8, without the leading blank of the caption
        std::vector<Item> items;
        int selectedEntry = -1;  // catalogue index of the selected item, -1 none
        SortOrder order;
    };
    // A row of the listing: item `item` of page `page`.
    struct Row {
        int page;
        int item;
    };
    // Active (true) or inactive twin of each button.
    struct Buttons {
        bool scrollIntoView = false;
        bool search = false;
        bool sortByName = false;
        bool sortBySize = false;
        bool previous = false;
        bool next = false;
        friend bool operator==(const Buttons&, const Buttons&) = default;
    };
    struct SearchHit {
        int page;
        int row;
        int entry;
        // A search across all pages loads the entry, shows its page and selects
        // its directory; a search in the shown page only selects the item.
        bool acrossPages;
    };

    // Takes the pages of a freshly opened volume, all hidden (current page -1).
    void build(const VolumeBrowserModel& model);
    // Removes all pages (current page -999).
    void clear();

    // The page shown after opening; -1 when the volume has no page.
    int pageShownAfterOpening() const { return m_nPageAfterOpening; }
    int rootPage() const { return m_nRootPage; }
    bool rootPagePresent() const { return m_nRootPage >= 0; }

    // Shows a page; the listing follows it (filtered when a filter is set).
    void showPage(int page);
    int currentPage() const { return m_nCurrent; }
    bool hasCurrentPage() const { return m_nCurrent >= 0 && m_nCurrent < pageCount(); }
    bool noticeVisible() const { return m_bNotice; }
    // Sort buttons and the direction box take input (a window state, apart
    // from the active/inactive twins).
    bool sortControlsEnabled() const { return m_bSortControlsEnabled; }
    Buttons buttons() const;

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    const Page& page(int p) const { return m_pages.at(static_cast<std::size_t>(p)); }
    const Page* current() const { return hasCurrentPage() ? &m_pages[static_cast<std::size_t>(m_nCurrent)] : nullptr; }

    // The selection of a page, as the view reports it (programmatic or user).
    void setSelectedEntry(int page, int entry);
    int rowOf(int page, int entry) const;  // the item's place on the page; -1 when it is not there
    int pageOfEntry(int entry) const;  // the page listing the entry; -1 none

    // ---- the listing ----
    // Narrows the listing to the names the pattern keeps (EntryFilter); with
    // `allDirectories` the listing holds the matches of every page. An empty
    // pattern lists the shown page whole, whatever `allDirectories` says.
    void setFilter(std::string_view patternLatin1, bool allDirectories);
    const std::string& filterText() const { return m_strFilter; }
    bool filtering() const { return !m_filter.empty(); }
    // The listing spans every page (a filter across all directories).
    bool listingAllPages() const { return filtering() && m_bAllDirectories; }
    // Whether the list is shown: a page is, or the listing spans all pages.
    bool listingShown() const { return hasCurrentPage() || listingAllPages(); }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    const Row& row(int r) const { return m_rows[static_cast<std::size_t>(r)]; }
    const Item& itemAtRow(int r) const;
    int entryAtRow(int r) const;  // -1 outside the listing
    int rowOfEntry(int entry) const;  // -1 when the listing does not hold it
    // Items the listing would hold without the filter (the shown page's, or
    // every page's across all directories).
    std::size_t unfilteredCount() const;
    // The order of what is listed: the shown page's, or the listing's own
    // across all directories.
    SortOrder listingOrder() const;

    bool descending() const { return m_bDescending; }
    void setDescending(bool on) { m_bDescending = on; }
    void toggleDescending() { m_bDescending = !m_bDescending; }
    // Sorts the current page; false when there is none. Ascending by name is a
    // case-insensitive order of the shown texts, markers included; descending
    // by name orders the records' names byte by byte in reverse; by size
    // compares the records' sizes. Equal keys keep their order.
    bool sortByName(const std::vector<EntryRecord>& records);
    bool sortBySize(const std::vector<EntryRecord>& records);
    // Sorts what is listed by a column of the list (entrycolumns::Column) in
    // the direction `descending()` gives: name and size as the two buttons
    // sort; type by its text, without regard to case; format, size of the
    // largest map (by pixels, then width) and maps from `facts` (indexed by
    // catalogue index), entries without a picture after the pictures. False
    // when nothing is listed.
    bool sortByColumn(int column, const std::vector<EntryRecord>& records, const std::vector<EntryFacts>& facts);

    // A search name compares case-insensitively with whole item texts as shown.
    // All pages are searched ("(Root)" first) when no page is shown, or when
    // `allDirectories` is set and more than one page exists; otherwise only the
    // shown page. Empty name: no search.
    std::optional<SearchHit> search(std::string_view nameLatin1, bool allDirectories) const;

    // The page before / after the shown one, wrapping; none without a current page.
    std::optional<int> previousPage() const;
    std::optional<int> nextPage() const;

    // The directory-tree item that stands for the directory of an entry: the
    // directory's catalogue index, or the root item for a top-level file.
    static int directoryItemOf(int entry, const std::vector<EntryRecord>& records);
    // The page to show for a directory-tree item (message 9999): for the root
    // item the "(Root)" page when the root holds files, else HIDE_ALL; for a
    // directory its page (-1 gives the notice). None for an unknown item.
    static std::optional<int> pageForTreeItem(int itemData, const std::vector<EntryRecord>& records,
                                              bool rootHasFiles, int rootPage);

    // The item's text after an edit; `marksBefore` are the record's marks
    // before the edit. A text of one character or less gets no marker.
    static std::string textAfterRename(std::string_view newNameLatin1, std::uint32_t marksBefore);
    static std::string textAfterReplace(std::string_view currentText, std::uint32_t marksBefore);
    // Relabels an entry on whatever page lists it; `nameLength` is the length
    // of the name at its start (the text up to the markers; all of it by default).
    void setItemText(int entry, std::string text, std::optional<std::size_t> nameLength = std::nullopt);
    std::optional<std::string> itemText(int entry) const;
    // The relabelling after an edit, with textAfterRename and textAfterReplace.
    void renameItem(int entry, std::string_view newNameLatin1, std::uint32_t marksBefore);
    void markReplaced(int entry, std::uint32_t marksBefore);

    // The directories above an entry as a path from the root, each followed
    // by '/' ("textures/stone/"); empty for a top-level entry. ISO-8859-1.
    static std::string directoryPath(int entry, const std::vector<EntryRecord>& records);

private:
    std::optional<SearchHit> searchPage(int p, const std::string& folded, bool acrossPages) const;
    Item* findItem(int entry);
    void rebuildListing();
    template <typename Items>
    void sortItems(Items& items, int column, bool descending, const std::vector<EntryRecord>& records,
                   const std::vector<EntryFacts>& facts);
    // The pages the listing spans, in its order.
    std::vector<int> listedPages() const;

    std::vector<Page> m_pages;
    std::vector<int> m_pageOf;  // by catalogue index: the page listing the entry, -1 none
    int m_nCurrent = NO_VOLUME;
    int m_nRootPage = -1;
    int m_nPageAfterOpening = -1;
    bool m_bDescending = false;
    bool m_bNotice = false;
    bool m_bSortControlsEnabled = false;

    std::string m_strFilter;
    EntryFilter m_filter;
    bool m_bAllDirectories = false;
    std::vector<Row> m_rows;
    SortOrder m_allPagesOrder;  // the order of the listing across all directories
};
