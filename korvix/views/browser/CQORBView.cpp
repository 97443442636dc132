#include "views/browser/CQORBView.h"

#include "common/MessageTable.h"
#include "common/Text.h"
#include "document/CKestrelDoc.h"
#include "document/EntryMenuRules.h"
#include "views/browser/CEntryFactsLoader.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CFileDropFilter.h"
#include "views/browser/CSearchDialog.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/CThumbnailView.h"
#include "views/browser/EntryPageModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

using korvix::MessageId;

namespace {

QString text(MessageId id)
{
    return QString::fromUtf8(korvix::msg(id));
}

// The wait cursor for the length of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QToolButton* makeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& tip,
                        MessageId accessibleName)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(tip);
    b->setAccessibleName(text(accessibleName));
    b->setAutoRaise(true);
    b->setEnabled(false);
    return b;
}

// Escape empties the filter field (and leaves an empty one as it is).
class FilterKeys : public QObject {
public:
    explicit FilterKeys(QLineEdit* field) : QObject(field), m_field(field) { field->installEventFilter(this); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && !m_field->text().isEmpty()) {
                if (event->type() == QEvent::KeyPress)
                    m_field->clear();
                event->accept();
                return true;
            }
        }
        return false;
    }

private:
    QLineEdit* m_field;
};

}  // namespace

CQORBView::CQORBView(QWidget* parent)
    : QWidget(parent),
      m_pFacts(new CEntryFactsLoader(this)),
      m_pModel(new EntryPageModel(m_pages, this)),
      m_pList(new CEntryListCtrl(this)),
      m_pCaption(new QLabel(this)),
      m_pNotice(new QLabel(QStringLiteral(" Keine Dateien im selektierten QORB-Verzeichnis."), this)),
      m_pCount(new QLabel(this)),
      m_pFilter(new QLineEdit(this)),
      m_pAllDirectories(new QCheckBox(text(MessageId::BrowserFilterAllDirectories), this))
{
    setObjectName("qorbView");
    m_pScroll = makeButton(this, "scrollIntoView", QStyle::SP_ArrowRight,
                           QStringLiteral("Selektierten Eintrag in sichtbaren Bereich schieben"), MessageId::AccScrollIntoView);
    m_pSearch = makeButton(this, "search", QStyle::SP_FileDialogContentsView,
                           QStringLiteral("Objekt im aktuellen Verzeichnis oder im ganzen QORB-Volume suchen"),
                           MessageId::AccSearch);
    m_pSortName = makeButton(this, "sortByName", QStyle::SP_FileDialogListView,
                             QStringLiteral("Objekte nach Namen sortieren"), MessageId::AccSortByName);
    m_pSortSize = makeButton(this, "sortBySize", QStyle::SP_FileDialogDetailedView,
                             QStringLiteral("Objekte nach Größe sortieren"), MessageId::AccSortBySize);
    m_pDirection = makeButton(this, "direction", QStyle::SP_ArrowUp, QStringLiteral("Sortierrichtung (auf/ab)"),
                              MessageId::AccDirection);
    m_pDirection->setCheckable(true);
    m_pPrevious = makeButton(this, "previous", QStyle::SP_ArrowBack,
                             QStringLiteral("Voriges Verzeichnis mit Dateien anzeigen"), MessageId::AccPrevious);
    m_pNext = makeButton(this, "next", QStyle::SP_ArrowForward,
                         QStringLiteral("Nächstes Verzeichnis mit Dateien anzeigen"), MessageId::AccNext);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(3, 3, 3, 3);
    buttons->setSpacing(3);
    for (QToolButton* b : {m_pScroll, m_pSearch})
        buttons->addWidget(b);
    buttons->addSpacing(8);
    for (QToolButton* b : {m_pSortName, m_pSortSize, m_pDirection})
        buttons->addWidget(b);
    buttons->addSpacing(8);
    for (QToolButton* b : {m_pPrevious, m_pNext})
        buttons->addWidget(b);
    // The thumbnail view's two toggles.
    m_pThumbnailToggle = new QToolButton(this);
    m_pLargeToggle = new QToolButton(this);
    const struct {
        QToolButton* button;
        const char* name;
        MessageId text, tip;
        bool large;
    } toggles[] = {{m_pThumbnailToggle, "thumbnails", MessageId::ThumbViewToggle, MessageId::ThumbViewToggleTip, false},
                   {m_pLargeToggle, "largeThumbnails", MessageId::ThumbLargeToggle, MessageId::ThumbLargeToggleTip, true}};
    buttons->addSpacing(8);
    for (const auto& t : toggles) {
        t.button->setObjectName(t.name);
        t.button->setCheckable(true);
        t.button->setAutoRaise(true);
        t.button->setIcon(CThumbnailView::toggleIcon(t.large));
        t.button->setAccessibleName(text(t.text));
        t.button->setToolTip(text(t.tip));
        buttons->addWidget(t.button);
    }
    m_pLargeToggle->setEnabled(false);
    buttons->addStretch();

    // The filter: Ctrl+F anywhere in the window comes here, Escape empties it.
    m_pFilter->setObjectName("filter");
    m_pFilter->setPlaceholderText(text(MessageId::BrowserFilterPlaceholder));
    m_pFilter->setAccessibleName(text(MessageId::BrowserFilterName));
    m_pFilter->setToolTip(text(MessageId::BrowserFilterTip));
    m_pFilter->setClearButtonEnabled(true);
    m_pFilter->setEnabled(false);
    new FilterKeys(m_pFilter);
    m_pAllDirectories->setObjectName("filterAllDirectories");
    m_pAllDirectories->setEnabled(false);
    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(3, 0, 3, 3);
    filterRow->setSpacing(6);
    filterRow->addWidget(m_pFilter, 1);
    filterRow->addWidget(m_pAllDirectories);
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        m_pFilter->setFocus(Qt::ShortcutFocusReason);
        m_pFilter->selectAll();
    });

    m_pCaption->setObjectName("pageCaption");
    m_pCaption->setAutoFillBackground(true);
    m_pCaption->setBackgroundRole(QPalette::Mid);
    m_pCaption->setVisible(false);
    m_pNotice->setObjectName("notice");
    m_pNotice->setVisible(false);
    m_pNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pCount->setObjectName("countLine");
    m_pCount->setVisible(false);
    m_pCount->setContentsMargins(3, 1, 3, 1);

    const auto lookup = [this](int entry) { return record(entry); };
    m_pFacts->setRecords(lookup);
    m_pModel->setRecords(lookup);
    m_pModel->setFactsLoader(m_pFacts);
    m_pList->setModel(m_pModel);
    m_pList->setVisible(false);
    const auto menuRule = [this](const std::vector<int>& entries) { return EntryMenuRules::entryMenu(m_pDoc, entries); };
    m_pList->input()->setMenuRule(menuRule);

    m_pLoader = new CThumbnailLoader(this);
    m_pThumbnails = new CThumbnailView(*m_pLoader, lookup, this);
    m_pThumbnails->setModel(m_pModel);
    m_pThumbnails->setSelectionModel(m_pList->selectionModel());
    m_pThumbnails->setVisible(false);
    m_pThumbnails->input()->setMenuRule(menuRule);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addLayout(filterRow);
    layout->addWidget(m_pCaption);
    layout->addWidget(m_pList, 1);
    layout->addWidget(m_pThumbnails, 1);
    layout->addWidget(m_pNotice);
    layout->addStretch();
    layout->addWidget(m_pCount);

    connect(m_pScroll, &QToolButton::clicked, this, &CQORBView::scrollSelectedIntoView);
    connect(m_pSearch, &QToolButton::clicked, this, &CQORBView::searchCommand);
    connect(m_pSortName, &QToolButton::clicked, this, &CQORBView::sortByName);
    connect(m_pSortSize, &QToolButton::clicked, this, &CQORBView::sortBySize);
    // Toggled, not clicked: assistive technology checks the button without a click.
    connect(m_pDirection, &QToolButton::toggled, this, [this](bool on) {
        m_pages.setDescending(on);
        showDirection();
        shownList()->setFocus();
    });
    connect(m_pPrevious, &QToolButton::clicked, this, &CQORBView::previousPage);
    connect(m_pNext, &QToolButton::clicked, this, &CQORBView::nextPage);
    connectView(m_pList, m_pList->input());
    connectView(m_pThumbnails, m_pThumbnails->input());
    connect(m_pList, &CEntryListCtrl::sortRequested, this, &CQORBView::sortByColumn);
    connect(m_pThumbnailToggle, &QToolButton::toggled, this, &CQORBView::setThumbnailsShown);
    connect(m_pLargeToggle, &QToolButton::toggled, this, &CQORBView::setLargeThumbnails);
    connect(m_pFilter, &QLineEdit::textChanged, this, &CQORBView::applyFilter);
    connect(m_pAllDirectories, &QCheckBox::toggled, this, &CQORBView::applyFilter);
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { syncSelection(); });
    // Files from a file manager, and the Delete key, on the list and the thumbnails alike.
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_pList), static_cast<QAbstractItemView*>(m_pThumbnails)}) {
        connect(new CFileDropFilter(view->viewport()), &CFileDropFilter::filesDropped, this,
                [this](const QStringList& files) { dropFiles(files); });
        connect(new QShortcut(QKeySequence::Delete, view, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
                this, [this] { deleteEntries(selectedEntries()); });
    }
    updateButtons();
}

CQORBView::~CQORBView()
{
    // The views read the pages through the model while they are taken down;
    // they go before the pages do.
    delete m_pThumbnails;
    delete m_pList;
    delete m_pModel;
}

void CQORBView::connectView(QAbstractItemView* view, EntryViewInput* input)
{
    connect(input, &EntryViewInput::entryPicked, this, &CQORBView::pick);
    connect(input, &EntryViewInput::hovered, this, &CQORBView::hover);
    connect(input, &EntryViewInput::menuOpened, this, &CQORBView::statusHintShown);
    connect(input, &EntryViewInput::menuClosed, this, &CQORBView::statusHintRestored);
    connect(input, &EntryViewInput::commandChosen, this, &CQORBView::entriesCommand);
    connect(input, &EntryViewInput::dragRequested, this,
            [this, view](const std::vector<int>& entries) { dragOut(entries, view); });
}

QToolButton* CQORBView::button(const char* name) const
{
    return findChild<QToolButton*>(QLatin1String(name));
}

const std::vector<EntryRecord>* CQORBView::records() const
{
    return m_pDoc ? &m_pDoc->entryRecords() : nullptr;
}

const EntryRecord* CQORBView::record(int entry) const
{
    const auto* recs = records();
    return recs && entry >= 0 && static_cast<std::size_t>(entry) < recs->size() ? &(*recs)[static_cast<std::size_t>(entry)]
                                                                                : nullptr;
}

void CQORBView::showVolume(const VolumeBrowserModel& model)
{
    m_pages.build(model);
    const std::string path = m_pDoc ? m_pDoc->volumePath() : std::string();
    m_pLoader->setVolume(path);
    m_pFacts->setVolume(path, records() ? records()->size() : 0);
    m_pFilter->setEnabled(true);
    m_pAllDirectories->setEnabled(true);
    // A filter typed for the volume before goes on narrowing this one.
    const auto latin1 = korvix::utf8ToLatin1(m_pFilter->text().toStdString());
    m_pages.setFilter(latin1 ? *latin1 : std::string(1, '\0'), m_pAllDirectories->isChecked());
    showPage(m_pages.pageShownAfterOpening());
}

void CQORBView::removeAllPages()
{
    m_pages.clear();
    m_pLoader->setVolume({});
    m_pFacts->setVolume({}, 0);
    m_selectionBefore.clear();
    m_selectionNow.clear();
    m_pModel->reload();
    m_pList->setVisible(false);
    m_pThumbnails->setVisible(false);
    m_pCaption->setVisible(false);
    m_pNotice->setVisible(false);
    m_pCount->setVisible(false);
    m_pFilter->setEnabled(false);
    m_pAllDirectories->setEnabled(false);
    updateButtons();
}

void CQORBView::showPage(int page)
{
    m_pages.showPage(page);
    std::vector<int> keep;
    if (m_pages.listingAllPages())
        keep = selectedEntries();
    else if (m_pages.hasCurrentPage() && m_pages.current()->selectedEntry >= 0)
        keep = {m_pages.current()->selectedEntry};
    listingChanged(keep);
    m_selectionBefore = selectedEntries();
}

void CQORBView::listingChanged(const std::vector<int>& keepSelected)
{
    m_bRelisting = true;
    m_pModel->reload();
    showList();
    selectEntries(keepSelected);
    m_bRelisting = false;
    m_selectionNow = selectedEntries();
    updateCaption();
    m_pNotice->setVisible(m_pages.noticeVisible() && !m_pages.listingAllPages());
    m_pList->setEmptyText(m_pages.filtering() && m_pages.rowCount() == 0
                              ? QString::fromStdString(korvix::MessageTable::format(
                                    MessageId::BrowserFilterNoMatchFormat, m_pFilter->text().toStdString().c_str()))
                              : QString());
    updateSortIndicator();
    updateCount();
    updateButtons();
    prefetch();
}

void CQORBView::updateCaption()
{
    const bool shown = m_pages.listingShown();
    m_pCaption->setVisible(shown);
    if (m_pages.listingAllPages())
        m_pCaption->setText(QLatin1Char(' ') + text(MessageId::BrowserAllDirectoriesCaption));
    else if (m_pages.hasCurrentPage())
        m_pCaption->setText(QLatin1Char(' ') + QString::fromStdString(m_pages.current()->title));
}

void CQORBView::updateCount()
{
    const bool shown = m_pages.listingShown();
    m_pCount->setVisible(shown);
    if (!shown)
        return;
    entrycolumns::Counts counts;
    counts.listed = static_cast<std::uint64_t>(m_pages.rowCount());
    counts.onPage = m_pages.unfilteredCount();
    counts.filtered = m_pages.filtering();
    for (int r = 0; r < m_pages.rowCount(); ++r)
        if (const EntryRecord* rec = record(m_pages.itemAtRow(r).index))
            counts.listedBytes += rec->size;
    for (const int e : m_selectionNow) {
        ++counts.selected;
        if (const EntryRecord* rec = record(e))
            counts.selectedBytes += rec->size;
    }
    m_pCount->setText(QString::fromStdString(entrycolumns::countText(counts)));
}

void CQORBView::updateSortIndicator()
{
    const VolumePages::SortOrder order = m_pages.listingOrder();
    m_pList->header()->setSortIndicator(order.column, order.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

QAbstractItemView* CQORBView::shownList() const
{
    return m_bThumbnails ? static_cast<QAbstractItemView*>(m_pThumbnails) : m_pList;
}

void CQORBView::showList()
{
    const bool shown = m_pages.listingShown();
    m_pList->setVisible(shown && !m_bThumbnails);
    m_pThumbnails->setVisible(shown && m_bThumbnails);
}

void CQORBView::setThumbnailsShown(bool on)
{
    if (m_pThumbnailToggle->isChecked() != on) {
        m_pThumbnailToggle->setChecked(on);  // comes back here through toggled
        return;
    }
    if (m_bThumbnails == on)
        return;
    const bool hadFocus = m_pList->hasFocus() || m_pThumbnails->hasFocus();
    m_bThumbnails = on;
    m_pLargeToggle->setEnabled(on);
    showList();
    if (const auto entry = selectedEntry())
        shownList()->scrollTo(m_pModel->index(m_pages.rowOfEntry(*entry)));
    if (hadFocus)
        shownList()->setFocus();
    prefetch();
}

void CQORBView::setLargeThumbnails(bool on)
{
    if (m_pLargeToggle->isChecked() != on) {
        m_pLargeToggle->setChecked(on);  // comes back here through toggled
        return;
    }
    const int size = on ? CThumbnailLoader::LARGE : CThumbnailLoader::SMALL;
    if (m_pLoader->size() == size)
        return;
    m_pLoader->setSize(size);
    m_pThumbnails->updateCellSize();
    prefetch();
}

void CQORBView::prefetch()
{
    const VolumePages::Page* page = m_pages.current();
    // The texture columns of the shown page, all of them: its filter results
    // and sorts need no more reading then.
    std::vector<int> facts;
    if (page && !m_bThumbnails) {
        facts.reserve(page->items.size());
        for (const VolumePages::Item& item : page->items)
            if (item.kind == KIND_IMAGE)
                facts.push_back(item.index);
    }
    m_pFacts->prefetch(facts);

    std::vector<CThumbnailLoader::Request> requests;
    if (m_bThumbnails) {
        for (int r = 0; r < m_pages.rowCount(); ++r) {
            const int entry = m_pages.itemAtRow(r).index;
            const EntryRecord* rec = record(entry);
            if (rec && rec->kind == KIND_IMAGE)
                requests.push_back({entry, rec->offset, rec->size});
        }
    }
    m_pLoader->prefetch(requests);
}

void CQORBView::updateButtons()
{
    const VolumePages::Buttons b = m_pages.buttons();
    const bool sortInput = m_pages.sortControlsEnabled() || m_pages.listingAllPages();
    const bool sortable = m_pages.listingAllPages() ? m_pages.rowCount() > 1 : b.sortByName;
    m_pScroll->setEnabled(b.scrollIntoView || (m_pages.listingAllPages() && !m_selectionNow.empty()));
    m_pSearch->setEnabled(b.search);
    m_pSortName->setEnabled(sortable && sortInput);
    m_pSortSize->setEnabled(sortable && sortInput);
    m_pDirection->setEnabled(sortInput);
    m_pPrevious->setEnabled(b.previous);
    m_pNext->setEnabled(b.next);
    m_pList->header()->setSectionsClickable(sortable && sortInput);
}

std::vector<int> CQORBView::selectedEntries() const
{
    return m_pList->input()->selectedEntries();
}

std::optional<int> CQORBView::selectedEntry() const
{
    const QModelIndex current = m_pList->currentIndex();
    if (current.isValid() && m_pList->selectionModel()->isRowSelected(current.row(), {}))
        return m_pModel->entryAt(current.row());
    const std::vector<int> selected = selectedEntries();
    if (!selected.empty())
        return selected.front();
    return std::nullopt;
}

void CQORBView::showDirectory(int itemData)
{
    if (!m_pDoc || !m_pDoc->volumeOpen())
        return;
    const auto page =
        VolumePages::pageForTreeItem(itemData, m_pDoc->entryRecords(), m_pages.rootPagePresent(), m_pages.rootPage());
    if (page)
        showPage(*page);
}

void CQORBView::selectRow(int row)
{
    const QModelIndex i = m_pModel->index(row);
    m_pList->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CQORBView::selectEntries(const std::vector<int>& entries)
{
    QItemSelectionModel* selection = m_pList->selectionModel();
    selection->clearSelection();
    if (entries.empty())
        return;
    // The rows of the entries kept, found in one pass over the listing.
    std::vector<int> rows;
    if (entries.size() == 1) {
        if (const int row = m_pages.rowOfEntry(entries.front()); row >= 0)
            rows.push_back(row);
    } else {
        std::vector<char> wanted;
        for (const int e : entries)
            if (e >= 0) {
                if (static_cast<std::size_t>(e) >= wanted.size())
                    wanted.resize(static_cast<std::size_t>(e) + 1, 0);
                wanted[static_cast<std::size_t>(e)] = 1;
            }
        for (int r = 0; r < m_pages.rowCount(); ++r) {
            const int e = m_pages.entryAtRow(r);
            if (static_cast<std::size_t>(e) < wanted.size() && wanted[static_cast<std::size_t>(e)])
                rows.push_back(r);
        }
    }
    if (rows.empty())
        return;
    QItemSelection ranges;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        ranges.select(m_pModel->index(rows[i], 0), m_pModel->index(rows[j], entrycolumns::COUNT - 1));
        i = j + 1;
    }
    const int first = m_pages.rowOfEntry(entries.front());
    selection->setCurrentIndex(m_pModel->index(first >= 0 ? first : rows.front()), QItemSelectionModel::NoUpdate);
    selection->select(ranges, QItemSelectionModel::Select);
}

void CQORBView::syncSelection()
{
    if (m_bRelisting)
        return;
    std::vector<int> now = selectedEntries();
    if (now != m_selectionNow && !m_bRestoring) {
        m_selectionBefore = m_selectionNow;
        m_selectionNow = std::move(now);
    } else {
        m_selectionNow = std::move(now);
    }
    if (m_pages.hasCurrentPage() && !m_pages.listingAllPages())
        m_pages.setSelectedEntry(m_pages.currentPage(), selectedEntry().value_or(-1));
    updateCount();
    updateButtons();
}

// The document kept its changed picture ("Nein"): the list goes back to the
// selection it had before, without loading anything. Posted: the view itself
// ends its handling of the click or key first.
void CQORBView::selectionBack()
{
    const std::vector<int> before = m_selectionBefore;
    const int page = m_pages.currentPage();
    QMetaObject::invokeMethod(this, [this, before, page] {
        if (m_pages.currentPage() != page)
            return;
        m_bRestoring = true;
        selectEntries(before);
        syncSelection();
        m_bRestoring = false;
    }, Qt::QueuedConnection);
}

void CQORBView::pick(int row)
{
    const int entry = m_pModel->entryAt(row);
    if (entry < 0)
        return;
    syncSelection();
    m_pScroll->setEnabled(true);
    if (m_pDoc) {
        m_pDoc->pickEntry(entry);
        if (m_pDoc->keptChanges())
            selectionBack();
        else
            m_selectionBefore = m_selectionNow;
        emit documentCommandRan();
    }
}

void CQORBView::hover(int row)
{
    const EntryRecord* r = record(m_pModel->entryAt(row));
    if (!r) {
        emit hoverCleared();
        return;
    }
    emit entryHovered(EntryReadout::fromRecord(*r));
}

void CQORBView::sortWith(int column)
{
    const auto* recs = records();
    if (!recs || !m_pages.listingShown())
        return;
    {
        WaitCursor wait;
        shownList()->setUpdatesEnabled(false);
        const std::vector<int> selected = selectedEntries();
        if (column >= entrycolumns::FORMAT) {
            // Ordering by a texture column needs every listed entry's facts.
            std::vector<int> entries;
            entries.reserve(static_cast<std::size_t>(m_pages.rowCount()));
            for (int r = 0; r < m_pages.rowCount(); ++r)
                entries.push_back(m_pages.entryAtRow(r));
            m_pFacts->complete(entries);
        }
        m_pages.sortByColumn(column, *recs, m_pFacts->facts());
        listingChanged(selected);
        if (const auto entry = selectedEntry())
            shownList()->scrollTo(m_pModel->index(m_pages.rowOfEntry(*entry)));
        shownList()->setUpdatesEnabled(true);
    }
    shownList()->setFocus();
}

void CQORBView::sortByName()
{
    sortWith(entrycolumns::NAME);
}

void CQORBView::sortBySize()
{
    sortWith(entrycolumns::SIZE);
}

void CQORBView::sortByColumn(int column)
{
    if (!m_pages.listingShown() || !m_pList->header()->sectionsClickable()) {
        updateSortIndicator();
        return;
    }
    // The same column again turns the order round; another one keeps the
    // direction the arrow button shows. The button then shows the order.
    const VolumePages::SortOrder order = m_pages.listingOrder();
    if (order.column == column && order.descending == m_pages.descending())
        m_pages.setDescending(!order.descending);
    showDirection();
    sortWith(column);
}

void CQORBView::toggleDirection()
{
    m_pDirection->setChecked(!m_pDirection->isChecked());
}

void CQORBView::showDirection()
{
    {
        const QSignalBlocker block(m_pDirection);
        m_pDirection->setChecked(m_pages.descending());
    }
    m_pDirection->setIcon(style()->standardIcon(m_pages.descending() ? QStyle::SP_ArrowDown : QStyle::SP_ArrowUp));
}

void CQORBView::scrollSelectedIntoView()
{
    if (const auto entry = selectedEntry()) {
        const int row = m_pages.rowOfEntry(*entry);
        if (row >= 0)
            shownList()->scrollTo(m_pModel->index(row));
    }
    shownList()->setFocus();
}

void CQORBView::searchCommand()
{
    CSearchDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    search(dialog.name(), dialog.allDirectories());
}

void CQORBView::search(const QString& name, bool allDirectories)
{
    if (name.isEmpty())
        return;
    // A name with a character the volume cannot hold matches nothing.
    const auto latin1 = korvix::utf8ToLatin1(name.left(static_cast<qsizetype>(VolumePages::MAX_SEARCH)).toStdString());
    {
        WaitCursor wait;
        const auto hit = latin1 ? m_pages.search(*latin1, allDirectories) : std::nullopt;
        // The search looks at whole pages: a hit the filter hides empties the filter.
        const auto reveal = [this](int entry) {
            if (m_pages.rowOfEntry(entry) < 0 && m_pages.filtering()) {
                {
                    const QSignalBlocker block(m_pFilter);
                    m_pFilter->clear();
                }
                m_pages.setFilter({}, m_pAllDirectories->isChecked());
                listingChanged({entry});
            }
            const int row = m_pages.rowOfEntry(entry);
            selectRow(row);
            shownList()->scrollTo(m_pModel->index(row));
        };
        if (hit && hit->acrossPages) {
            // Loaded first: a changed picture kept at the question keeps the page too.
            if (m_pDoc) {
                m_pDoc->pickEntry(hit->entry);
                emit documentCommandRan();
                if (m_pDoc->keptChanges()) {
                    shownList()->setFocus();
                    return;
                }
            }
            m_pages.setSelectedEntry(hit->page, hit->entry);
            if (const auto* recs = records())
                emit directorySelected(VolumePages::directoryItemOf(hit->entry, *recs));
            showPage(hit->page);
            reveal(hit->entry);
        } else if (hit) {
            reveal(hit->entry);
        }
    }
    shownList()->setFocus();
}

void CQORBView::previousPage()
{
    goToPage(m_pages.previousPage());
}

void CQORBView::nextPage()
{
    goToPage(m_pages.nextPage());
}

// Shows the page the core chose (if any) and selects its directory in the tree.
void CQORBView::goToPage(std::optional<int> p)
{
    if (!p)
        return;
    showPage(*p);
    const VolumePages::Page* page = m_pages.current();
    if (page && !page->items.empty())
        if (const auto* recs = records())
            emit directorySelected(VolumePages::directoryItemOf(page->items.front().index, *recs));
    shownList()->setFocus();
}

void CQORBView::setFilter(const QString& text, bool allDirectories)
{
    {
        const QSignalBlocker blockField(m_pFilter);
        const QSignalBlocker blockBox(m_pAllDirectories);
        m_pFilter->setText(text);
        m_pAllDirectories->setChecked(allDirectories);
    }
    applyFilter();
}

void CQORBView::applyFilter()
{
    const bool wasAllPages = m_pages.listingAllPages();
    const std::vector<int> selected = selectedEntries();
    // A character no ISO-8859-1 name can hold: a zero byte, which ends every
    // name before it, so that nothing matches.
    const auto latin1 = korvix::utf8ToLatin1(m_pFilter->text().toStdString());
    m_pages.setFilter(latin1 ? *latin1 : std::string(1, '\0'), m_pAllDirectories->isChecked());
    // Back from every directory with one entry picked: to that entry's page.
    if (wasAllPages && !m_pages.listingAllPages() && selected.size() == 1) {
        const int page = m_pages.pageOfEntry(selected.front());
        if (page >= 0 && page != m_pages.currentPage()) {
            m_pages.setSelectedEntry(page, selected.front());
            if (const auto* recs = records())
                emit directorySelected(VolumePages::directoryItemOf(selected.front(), *recs));
            showPage(page);
            const int row = m_pages.rowOfEntry(selected.front());
            if (row >= 0)
                shownList()->scrollTo(m_pModel->index(row));
            return;
        }
    }
    listingChanged(selected);
}

std::unique_ptr<QMimeData> CQORBView::dragData(const std::vector<int>& entries)
{
    if (!m_pDoc)
        return nullptr;
    const auto paths = m_pDoc->dragEntries(entries);
    if (!paths)
        return nullptr;
    QList<QUrl> urls;
    for (const std::string& p : *paths)
        urls.append(QUrl::fromLocalFile(QString::fromStdString(p)));
    auto mime = std::make_unique<QMimeData>();
    mime->setUrls(urls);
    return mime;
}

void CQORBView::dragOut(const std::vector<int>& entries, QWidget* source)
{
    std::unique_ptr<QMimeData> mime = dragData(entries);
    emit documentCommandRan();
    if (!mime)
        return;
    auto* drag = new QDrag(source);
    drag->setMimeData(mime.release());
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void CQORBView::entryCommand(int command, int row)
{
    const int entry = m_pModel->entryAt(row);
    if (entry >= 0)
        entriesCommand(command, {entry}, row);
}

void CQORBView::entriesCommand(int command, const std::vector<int>& entries, int row)
{
    if (!m_pDoc || entries.empty())
        return;
    for (const int e : entries)
        if (e < 0 || static_cast<std::size_t>(e) >= m_pDoc->entryRecords().size())
            return;
    // Every path below ran a document command.
    struct Announce {
        CQORBView* view;
        ~Announce() { emit view->documentCommandRan(); }
    } announce{this};
    if (command == CEntryListCtrl::CMD_EXTRACT) {
        // One file: its bytes to a file the user names; several entries: into a folder.
        if (entries.size() == 1 && !m_pDoc->entryRecords()[static_cast<std::size_t>(entries.front())].isDirectory)
            m_pDoc->extractEntry(entries.front());
        else
            m_pDoc->exportEntries(entries);
        return;
    }
    if (command == CEntryListCtrl::CMD_DELETE) {
        m_pDoc->deleteEntriesCommand(entries);
        return;
    }
    if (entries.size() != 1)
        return;
    const int entry = entries.front();
    const std::uint32_t marksBefore = m_pDoc->entryRecords()[static_cast<std::size_t>(entry)].marks;
    const std::string itemText = m_pages.itemText(entry).value_or("");
    const bool selected = selectedEntry() == entry;
    const unsigned serial = m_pDoc->volumeSerial();
    if (row < 0 || m_pModel->entryAt(row) != entry)
        row = m_pages.rowOfEntry(entry);
    bool replaced = false;
    switch (command) {
    case CEntryListCtrl::CMD_LOAD:
        m_pDoc->pickEntry(entry);
        return;
    case CEntryListCtrl::CMD_RENAME:
        if (m_pDoc->renameCommand(entry, korvix::latin1ToUtf8(itemText), selected)) {
            m_pages.renameItem(entry, m_pDoc->entryRecords()[static_cast<std::size_t>(entry)].name.view(), marksBefore);
            if (row >= 0)
                m_pModel->textChanged(row);
        }
        return;
    case CEntryListCtrl::CMD_REPLACE_IMAGE:
        replaced = m_pDoc->replaceEntryFromImage(entry);
        break;
    case CEntryListCtrl::CMD_REPLACE_FILE:
        replaced = m_pDoc->replaceEntryFromFile(entry, selected);
        // Another size rewrote the volume, which was opened again with pages of its own.
        if (m_pDoc->volumeSerial() != serial)
            return;
        break;
    default:
        return;
    }
    if (replaced) {
        m_pLoader->forget(entry);
        m_pFacts->forget(entry);
        m_pages.markReplaced(entry, marksBefore);
        if (row >= 0)
            m_pModel->textChanged(row);
    }
}

void CQORBView::deleteEntries(const std::vector<int>& entries)
{
    if (!m_pDoc || entries.empty())
        return;
    m_pDoc->deleteEntriesCommand(entries);
    emit documentCommandRan();
}

void CQORBView::dropFiles(const QStringList& files)
{
    const VolumePages::Page* page = m_pages.current();
    if (!m_pDoc || !page || page->items.empty())
        return;
    dropFilesOn(VolumePages::directoryItemOf(page->items.front().index, m_pDoc->entryRecords()), files);
}

void CQORBView::dropFilesOn(int directoryItem, const QStringList& files)
{
    if (!m_pDoc || !m_pDoc->volumeOpen())
        return;
    std::vector<std::string> paths;
    for (const QString& f : files)
        paths.push_back(QFile::encodeName(f).toStdString());
    m_pDoc->dropFilesCommand(directoryItem, paths);
    emit documentCommandRan();
}
