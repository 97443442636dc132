#include "views/browser/CQORBView.h"

#include "common/MessageTable.h"
#include "common/Text.h"
#include "document/CKestrelDoc.h"
#include "document/EntryMenuRules.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CFileDropFilter.h"
#include "views/browser/CSearchDialog.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/CThumbnailView.h"
#include "views/browser/EntryPageModel.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QShortcut>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The wait cursor for the length of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QToolButton* makeButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& tip)
{
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setEnabled(false);
    return b;
}

}  // namespace

CQORBView::CQORBView(QWidget* parent)
    : QWidget(parent),
      m_pModel(new EntryPageModel(m_pages, this)),
      m_pList(new CEntryListCtrl(this)),
      m_pCaption(new QLabel(this)),
      m_pNotice(new QLabel(QStringLiteral(" Keine Dateien im selektierten QORB-Verzeichnis."), this))
{
    setObjectName("qorbView");
    m_pScroll = makeButton(this, "scrollIntoView", QStyle::SP_ArrowRight,
                           QStringLiteral("Selektierten Eintrag in sichtbaren Bereich schieben"));
    m_pSearch = makeButton(this, "search", QStyle::SP_FileDialogContentsView,
                           QStringLiteral("Objekt im aktuellen Verzeichnis oder im ganzen QORB-Volume suchen"));
    m_pSortName = makeButton(this, "sortByName", QStyle::SP_FileDialogListView,
                             QStringLiteral("Objekte nach Namen sortieren"));
    m_pSortSize = makeButton(this, "sortBySize", QStyle::SP_FileDialogDetailedView,
                             QStringLiteral("Objekte nach Größe sortieren"));
    m_pDirection = makeButton(this, "direction", QStyle::SP_ArrowUp, QStringLiteral("Sortierrichtung (auf/ab)"));
    m_pDirection->setCheckable(true);
    m_pPrevious = makeButton(this, "previous", QStyle::SP_ArrowBack,
                             QStringLiteral("Voriges Verzeichnis mit Dateien anzeigen"));
    m_pNext = makeButton(this, "next", QStyle::SP_ArrowForward,
                         QStringLiteral("Nächstes Verzeichnis mit Dateien anzeigen"));

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
        korvix::MessageId text, tip;
        bool large;
    } toggles[] = {{m_pThumbnailToggle, "thumbnails", korvix::MessageId::ThumbViewToggle,
                    korvix::MessageId::ThumbViewToggleTip, false},
                   {m_pLargeToggle, "largeThumbnails", korvix::MessageId::ThumbLargeToggle,
                    korvix::MessageId::ThumbLargeToggleTip, true}};
    buttons->addSpacing(8);
    for (const auto& t : toggles) {
        t.button->setObjectName(t.name);
        t.button->setCheckable(true);
        t.button->setAutoRaise(true);
        t.button->setIcon(CThumbnailView::toggleIcon(t.large));
        t.button->setAccessibleName(QString::fromUtf8(korvix::msg(t.text)));
        t.button->setToolTip(QString::fromUtf8(korvix::msg(t.tip)));
        buttons->addWidget(t.button);
    }
    m_pLargeToggle->setEnabled(false);
    buttons->addStretch();

    m_pCaption->setObjectName("pageCaption");
    m_pCaption->setAutoFillBackground(true);
    m_pCaption->setBackgroundRole(QPalette::Mid);
    m_pCaption->setVisible(false);
    m_pNotice->setObjectName("notice");
    m_pNotice->setVisible(false);
    m_pNotice->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pList->setModel(m_pModel);
    m_pList->setVisible(false);
    m_pList->setReplaceFromImageRule(
        [this](int entry) { return EntryMenuRules::replaceFromImageEnabled(m_pDoc, entry); });

    m_pLoader = new CThumbnailLoader(this);
    m_pThumbnails = new CThumbnailView(*m_pLoader, [this](int entry) -> const EntryRecord* {
        const auto* recs = records();
        return recs && entry >= 0 && static_cast<std::size_t>(entry) < recs->size() ? &(*recs)[static_cast<std::size_t>(entry)]
                                                                                    : nullptr;
    }, this);
    m_pThumbnails->setModel(m_pModel);
    m_pThumbnails->setSelectionModel(m_pList->selectionModel());
    m_pThumbnails->setVisible(false);
    m_pThumbnails->setReplaceFromImageRule(
        [this](int entry) { return EntryMenuRules::replaceFromImageEnabled(m_pDoc, entry); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addWidget(m_pCaption);
    layout->addWidget(m_pList, 1);
    layout->addWidget(m_pThumbnails, 1);
    layout->addWidget(m_pNotice);
    layout->addStretch();

    connect(m_pScroll, &QToolButton::clicked, this, &CQORBView::scrollSelectedIntoView);
    connect(m_pSearch, &QToolButton::clicked, this, &CQORBView::searchCommand);
    connect(m_pSortName, &QToolButton::clicked, this, &CQORBView::sortByName);
    connect(m_pSortSize, &QToolButton::clicked, this, &CQORBView::sortBySize);
    connect(m_pDirection, &QToolButton::clicked, this, &CQORBView::toggleDirection);
    connect(m_pPrevious, &QToolButton::clicked, this, &CQORBView::previousPage);
    connect(m_pNext, &QToolButton::clicked, this, &CQORBView::nextPage);
    connect(m_pList, &CEntryListCtrl::entryPicked, this, &CQORBView::pick);
    connect(m_pList, &CEntryListCtrl::hovered, this, &CQORBView::hover);
    connect(m_pList, &CEntryListCtrl::menuOpened, this, &CQORBView::statusHintShown);
    connect(m_pList, &CEntryListCtrl::menuClosed, this, &CQORBView::statusHintRestored);
    connect(m_pList, &CEntryListCtrl::commandChosen, this, &CQORBView::entryCommand);
    connect(m_pThumbnails, &CEntryListCtrl::entryPicked, this, &CQORBView::pick);
    connect(m_pThumbnails, &CEntryListCtrl::hovered, this, &CQORBView::hover);
    connect(m_pThumbnails, &CEntryListCtrl::menuOpened, this, &CQORBView::statusHintShown);
    connect(m_pThumbnails, &CEntryListCtrl::menuClosed, this, &CQORBView::statusHintRestored);
    connect(m_pThumbnails, &CEntryListCtrl::commandChosen, this, &CQORBView::entryCommand);
    connect(m_pThumbnailToggle, &QToolButton::toggled, this, &CQORBView::setThumbnailsShown);
    connect(m_pLargeToggle, &QToolButton::toggled, this, &CQORBView::setLargeThumbnails);
    connect(m_pList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { syncSelection(); });
    // Files from a file manager, and the Delete key, on the list and the thumbnails alike.
    for (CEntryListCtrl* view : {m_pList, static_cast<CEntryListCtrl*>(m_pThumbnails)}) {
        connect(new CFileDropFilter(view->viewport()), &CFileDropFilter::filesDropped, this,
                [this](const QStringList& files) { dropFiles(files); });
        connect(new QShortcut(QKeySequence::Delete, view, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
                this, [this] { deleteEntries(selectedEntries()); });
    }
    updateButtons();
}

CQORBView::~CQORBView() = default;

QToolButton* CQORBView::button(const char* name) const
{
    return findChild<QToolButton*>(QLatin1String(name));
}

const std::vector<EntryRecord>* CQORBView::records() const
{
    return m_pDoc ? &m_pDoc->entryRecords() : nullptr;
}

void CQORBView::showVolume(const VolumeBrowserModel& model)
{
    m_pages.build(model);
    m_pLoader->setVolume(m_pDoc ? m_pDoc->volumePath() : std::string());
    m_pModel->setPage(-1);
    showPage(m_pages.pageShownAfterOpening());
}

void CQORBView::removeAllPages()
{
    m_pages.clear();
    m_pLoader->setVolume({});
    m_pModel->setPage(-1);
    m_pList->setVisible(false);
    m_pThumbnails->setVisible(false);
    m_pCaption->setVisible(false);
    m_pNotice->setVisible(false);
    updateButtons();
}

void CQORBView::showPage(int page)
{
    m_pages.showPage(page);
    const int shown = m_pages.currentPage();
    if (m_pModel->page() != shown)
        m_pModel->setPage(shown);
    const bool hasPage = m_pages.hasCurrentPage();
    showList();
    m_pCaption->setVisible(hasPage);
    if (hasPage) {
        m_pCaption->setText(QLatin1Char(' ') + QString::fromStdString(m_pages.current()->title));
        const int row = m_pages.rowOf(shown, m_pages.current()->selectedEntry);
        if (row >= 0)
            selectRow(row);
        m_nEntryBefore = m_pages.current()->selectedEntry;
    }
    m_pNotice->setVisible(m_pages.noticeVisible());
    updateButtons();
    prefetchThumbnails();
}

CEntryListCtrl* CQORBView::shownList() const
{
    return m_bThumbnails ? m_pThumbnails : m_pList;
}

void CQORBView::showList()
{
    const bool hasPage = m_pages.hasCurrentPage();
    m_pList->setVisible(hasPage && !m_bThumbnails);
    m_pThumbnails->setVisible(hasPage && m_bThumbnails);
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
        shownList()->scrollTo(m_pModel->index(m_pages.rowOf(m_pages.currentPage(), *entry)));
    if (hadFocus)
        shownList()->setFocus();
    prefetchThumbnails();
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
    prefetchThumbnails();
}

void CQORBView::prefetchThumbnails()
{
    const auto* recs = records();
    const VolumePages::Page* page = m_pages.current();
    if (!m_bThumbnails || !recs || !page) {
        m_pLoader->prefetch({});
        return;
    }
    std::vector<CThumbnailLoader::Request> requests;
    for (const VolumePages::Item& item : page->items) {
        if (item.index < 0 || static_cast<std::size_t>(item.index) >= recs->size())
            continue;
        const EntryRecord& r = (*recs)[static_cast<std::size_t>(item.index)];
        if (r.kind == KIND_IMAGE)
            requests.push_back({item.index, r.offset, r.size});
    }
    m_pLoader->prefetch(requests);
}

void CQORBView::updateButtons()
{
    const VolumePages::Buttons b = m_pages.buttons();
    const bool sortInput = m_pages.sortControlsEnabled();
    m_pScroll->setEnabled(b.scrollIntoView);
    m_pSearch->setEnabled(b.search);
    m_pSortName->setEnabled(b.sortByName && sortInput);
    m_pSortSize->setEnabled(b.sortBySize && sortInput);
    m_pDirection->setEnabled(sortInput);
    m_pPrevious->setEnabled(b.previous);
    m_pNext->setEnabled(b.next);
}

std::optional<int> CQORBView::selectedEntry() const
{
    const VolumePages::Page* p = m_pages.current();
    if (!p || p->selectedEntry < 0)
        return std::nullopt;
    return p->selectedEntry;
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
    m_pList->selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
}

void CQORBView::syncSelection()
{
    const QModelIndexList rows = m_pList->selectionModel()->selectedRows();
    const int entry = rows.isEmpty() ? -1 : m_pModel->entryAt(rows.front().row());
    if (m_pages.hasCurrentPage()) {
        const int before = m_pages.current()->selectedEntry;
        if (before != entry)
            m_nEntryBefore = before;
        m_pages.setSelectedEntry(m_pages.currentPage(), entry);
    }
    updateButtons();
}

// The document kept its changed picture ("Nein"): the list goes back to the
// entry selected before, without loading anything. Posted: the list view
// itself selects the row a key moved to once the pick has been handled.
void CQORBView::selectionBack()
{
    const int entry = m_nEntryBefore;
    const int page = m_pages.currentPage();
    QMetaObject::invokeMethod(this, [this, entry, page] {
        if (m_pages.currentPage() != page)
            return;
        const int row = m_pages.rowOf(page, entry);
        if (row >= 0)
            selectRow(row);
        else
            m_pList->selectionModel()->clearSelection();
        syncSelection();
        m_nEntryBefore = entry;
    }, Qt::QueuedConnection);
}

bool CQORBView::isSelectedRow(int row) const
{
    const auto selected = selectedEntry();
    return selected && *selected == m_pModel->entryAt(row);
}

void CQORBView::pick(int row)
{
    const int entry = m_pModel->entryAt(row);
    if (entry < 0)
        return;
    syncSelection();
    m_pScroll->setEnabled(true);
    if (m_pDoc) {
        m_pDoc->loadMaps("", true, false, entry);
        if (m_pDoc->keptChanges())
            selectionBack();
        else
            m_nEntryBefore = entry;
        emit documentCommandRan();
    }
}

void CQORBView::hover(int row)
{
    const int entry = m_pModel->entryAt(row);
    const auto* recs = records();
    if (entry < 0 || !recs || static_cast<std::size_t>(entry) >= recs->size()) {
        emit hoverCleared();
        return;
    }
    emit entryHovered(EntryReadout::fromRecord((*recs)[static_cast<std::size_t>(entry)]));
}

void CQORBView::sortWith(bool (VolumePages::*sort)(const std::vector<EntryRecord>&))
{
    const auto* recs = records();
    if (!recs || !m_pages.hasCurrentPage())
        return;
    {
        WaitCursor wait;
        shownList()->setUpdatesEnabled(false);
        (m_pages.*sort)(*recs);
        m_pModel->reload();
        prefetchThumbnails();
        const int row = m_pages.rowOf(m_pages.currentPage(), m_pages.current()->selectedEntry);
        if (row >= 0)
            selectRow(row);
        shownList()->setUpdatesEnabled(true);
    }
    shownList()->setFocus();
}

void CQORBView::sortByName()
{
    sortWith(&VolumePages::sortByName);
}

void CQORBView::sortBySize()
{
    sortWith(&VolumePages::sortBySize);
}

void CQORBView::toggleDirection()
{
    m_pages.toggleDescending();
    {
        const QSignalBlocker block(m_pDirection);
        m_pDirection->setChecked(m_pages.descending());
    }
    m_pDirection->setIcon(style()->standardIcon(m_pages.descending() ? QStyle::SP_ArrowDown : QStyle::SP_ArrowUp));
    shownList()->setFocus();
}

void CQORBView::scrollSelectedIntoView()
{
    if (m_pages.hasCurrentPage()) {
        const int row = m_pages.rowOf(m_pages.currentPage(), m_pages.current()->selectedEntry);
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
        if (hit && hit->acrossPages) {
            // Loaded first: a changed picture kept at the question keeps the page too.
            if (m_pDoc) {
                m_pDoc->loadMaps("", true, false, hit->entry);
                emit documentCommandRan();
                if (m_pDoc->keptChanges()) {
                    m_pList->setFocus();
                    return;
                }
            }
            m_pages.setSelectedEntry(hit->page, hit->entry);
            if (const auto* recs = records())
                emit directorySelected(VolumePages::directoryItemOf(hit->entry, *recs));
            showPage(hit->page);
            selectRow(hit->row);
            shownList()->scrollTo(m_pModel->index(hit->row));
        } else if (hit) {
            selectRow(hit->row);
            shownList()->scrollTo(m_pModel->index(hit->row));
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

void CQORBView::entryCommand(int command, int row)
{
    const int entry = m_pModel->entryAt(row);
    if (!m_pDoc || entry < 0 || static_cast<std::size_t>(entry) >= m_pDoc->entryRecords().size())
        return;
    const std::uint32_t marksBefore = m_pDoc->entryRecords()[static_cast<std::size_t>(entry)].marks;
    const std::string text = m_pages.itemText(entry).value_or("");
    const bool selected = isSelectedRow(row);
    const unsigned serial = m_pDoc->volumeSerial();
    // Every path below ran a document command.
    struct Announce {
        CQORBView* view;
        ~Announce() { emit view->documentCommandRan(); }
    } announce{this};
    bool replaced = false;
    switch (command) {
    case CEntryListCtrl::CMD_EXTRACT:
        m_pDoc->extractEntry(entry);
        return;
    case CEntryListCtrl::CMD_LOAD:
        m_pDoc->loadMaps("", true, false, entry);
        return;
    case CEntryListCtrl::CMD_RENAME:
        if (m_pDoc->renameCommand(entry, korvix::latin1ToUtf8(text), selected)) {
            const auto& r = m_pDoc->entryRecords()[static_cast<std::size_t>(entry)];
            m_pages.setItemText(entry, VolumePages::textAfterRename(r.name.view(), marksBefore));
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
    case CEntryListCtrl::CMD_DELETE:
        m_pDoc->deleteEntriesCommand({entry});
        return;
    default:
        return;
    }
    if (replaced) {
        m_pLoader->forget(entry);
        m_pages.setItemText(entry, VolumePages::textAfterReplace(text, marksBefore));
        m_pModel->textChanged(row);
    }
}

std::vector<int> CQORBView::selectedEntries() const
{
    if (const auto entry = selectedEntry())
        return {*entry};
    return {};
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
