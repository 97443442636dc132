// The volume browser's page view: a row of buttons (scroll into view, search,
// sort by name and size with the direction, previous and next directory with
// files, the thumbnail toggles), the filter field, the caption of what is
// listed, its file list with columns (or its thumbnails), the notice shown
// when the selected directory holds no files, and the count line. The rules
// live in VolumePages, EntryColumns and EntryMenuRules; every entry command
// runs the document's code.
#pragma once

#include "document/EntryReadout.h"
#include "document/VolumePages.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class CEntryFactsLoader;
class CEntryListCtrl;
class CKestrelDoc;
class CThumbnailLoader;
class CThumbnailView;
class EntryPageModel;
class QAbstractItemView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QToolButton;

class CQORBView : public QWidget {
    Q_OBJECT
public:
    explicit CQORBView(QWidget* parent = nullptr);
    ~CQORBView() override;

    // The document whose records the pages list and whose commands run; may
    // be null (then nothing is loaded or edited).
    void setDocument(CKestrelDoc* doc) { m_pDoc = doc; }

    // The document's calls: the pages of a freshly opened volume (shows the
    // model's page), and removing every page.
    void showVolume(const VolumeBrowserModel& model);
    void removeAllPages();
    void showPage(int page);
    // Catalogue index of the selected entry (the current one when it is
    // selected, else the first selected), if any.
    std::optional<int> selectedEntry() const;
    // The catalogue indices of every selected entry, in the list's order: what
    // the entry commands act on.
    std::vector<int> selectedEntries() const;

    // Message 9999: the page of a directory-tree item.
    void showDirectory(int itemData);

    // The buttons' actions, also reachable without the buttons.
    void sortByName();
    void sortBySize();
    // A click on a column's header: that column, the other way round when it
    // is the column the list is ordered by.
    void sortByColumn(int column);
    void toggleDirection();
    void scrollSelectedIntoView();
    // Runs the search dialog, then searches.
    void searchCommand();
    void search(const QString& name, bool allDirectories);
    void previousPage();
    void nextPage();
    // The filter field's text and "In allen Verzeichnissen".
    void setFilter(const QString& text, bool allDirectories);
    // An entry command of the context menu on row `row` of the list.
    void entryCommand(int command, int row);
    // An entry command for several entries (the menu on a selection).
    void entriesCommand(int command, const std::vector<int>& entries, int row);
    // "Löschen" and the Delete key: the document deletes the entries after asking.
    void deleteEntries(const std::vector<int>& entries);
    // Files dropped from a file manager: on the shown page (its directory), or
    // on a directory of the tree (its item data, -888 the root).
    void dropFiles(const QStringList& files);
    void dropFilesOn(int directoryItem, const QStringList& files);
    // The page as thumbnails instead of the list, and their size (64 or 128).
    void setThumbnailsShown(bool on);
    void setLargeThumbnails(bool on);
    bool thumbnailsShown() const { return m_bThumbnails; }

    // Dragging entries out: their files extracted for the drag, as the URLs of
    // the MIME data (null when the document refused, after saying why); and
    // the drag itself from `source`.
    std::unique_ptr<QMimeData> dragData(const std::vector<int>& entries);
    void dragOut(const std::vector<int>& entries, QWidget* source);

    const VolumePages& pages() const { return m_pages; }
    CEntryListCtrl* list() const { return m_pList; }
    CThumbnailView* thumbnailView() const { return m_pThumbnails; }
    CThumbnailLoader* thumbnailLoader() const { return m_pLoader; }
    CEntryFactsLoader* factsLoader() const { return m_pFacts; }
    EntryPageModel* model() const { return m_pModel; }
    QLabel* notice() const { return m_pNotice; }
    QLabel* caption() const { return m_pCaption; }
    QLabel* countLine() const { return m_pCount; }
    QLineEdit* filterField() const { return m_pFilter; }
    QCheckBox* filterAllDirectories() const { return m_pAllDirectories; }
    QToolButton* button(const char* name) const;

signals:
    // The entry under the mouse (message 6024 with 2), or none (6024 with 0).
    void entryHovered(const EntryReadout& readout);
    void hoverCleared();
    // While the entry menu is open: " (" + item text + ")" for the status bar;
    // then restore what it showed (messages 4024 and 4025).
    void statusHintShown(const QString& itemText);
    void statusHintRestored();
    // Search, previous and next select the entry's directory in the tree.
    void directorySelected(int itemData);
    // A document command ran (an entry was loaded or edited): the frame
    // brings its command states up to date.
    void documentCommandRan();

private:
    void connectView(QAbstractItemView* view, class EntryViewInput* input);
    void goToPage(std::optional<int> page);
    void pick(int row);
    void hover(int row);
    void updateButtons();
    void selectRow(int row);
    // Selects these entries where the list holds them, the first current.
    void selectEntries(const std::vector<int>& entries);
    void syncSelection();
    void selectionBack();
    const std::vector<EntryRecord>* records() const;
    const EntryRecord* record(int entry) const;
    void sortWith(int column);
    // The listing changed: the model, the selection, caption, notice, count
    // line and what the loaders read ahead follow it.
    void listingChanged(const std::vector<int>& keepSelected);
    void applyFilter();
    void updateCaption();
    void updateCount();
    void updateSortIndicator();
    // The direction button shows the direction of the next sort.
    void showDirection();
    // The list or the thumbnail view, whichever shows the page.
    QAbstractItemView* shownList() const;
    void showList();
    // The shown page's pictures and texture facts, in its order, for the
    // loaders to make ahead.
    void prefetch();

    CKestrelDoc* m_pDoc = nullptr;
    VolumePages m_pages;
    // The selection to go back to when a pick is declined: the one before the
    // selection last changed, or since the last pick or page shown.
    std::vector<int> m_selectionBefore;
    std::vector<int> m_selectionNow;
    CEntryFactsLoader* m_pFacts;
    EntryPageModel* m_pModel;
    CEntryListCtrl* m_pList;
    QLabel* m_pCaption;
    QLabel* m_pNotice;
    QLabel* m_pCount;
    QLineEdit* m_pFilter;
    QCheckBox* m_pAllDirectories;
    QToolButton* m_pScroll;
    QToolButton* m_pSearch;
    QToolButton* m_pSortName;
    QToolButton* m_pSortSize;
    QToolButton* m_pDirection;
    QToolButton* m_pPrevious;
    QToolButton* m_pNext;
    CThumbnailLoader* m_pLoader;
    CThumbnailView* m_pThumbnails;
    QToolButton* m_pThumbnailToggle;
    QToolButton* m_pLargeToggle;
    bool m_bThumbnails = false;
    bool m_bRestoring = false;
    bool m_bRelisting = false;
};
