// The volume browser's page view: a row of buttons (scroll into view, search,
// sort by name and size with the direction, previous and next directory with
// files), the caption of the shown page, its file list and the notice shown
// when the selected directory holds no files. The rules live in VolumePages;
// every entry command runs the document's code.
#pragma once

#include "document/EntryReadout.h"
#include "document/VolumePages.h"

#include <QWidget>

#include <optional>
#include <vector>

class CEntryListCtrl;
class CKestrelDoc;
class CThumbnailLoader;
class CThumbnailView;
class EntryPageModel;
class QLabel;
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
    // Catalogue index of the selected entry of the shown page.
    std::optional<int> selectedEntry() const;

    // Message 9999: the page of a directory-tree item.
    void showDirectory(int itemData);

    // The buttons' actions, also reachable without the buttons.
    void sortByName();
    void sortBySize();
    void toggleDirection();
    void scrollSelectedIntoView();
    // Runs the search dialog, then searches.
    void searchCommand();
    void search(const QString& name, bool allDirectories);
    void previousPage();
    void nextPage();
    // An entry command of the context menu on row `row` of the shown page.
    void entryCommand(int command, int row);
    // The entries the page's commands act on: the selected one (none while
    // nothing is selected).
    std::vector<int> selectedEntries() const;
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

    const VolumePages& pages() const { return m_pages; }
    CEntryListCtrl* list() const { return m_pList; }
    CThumbnailView* thumbnailView() const { return m_pThumbnails; }
    CThumbnailLoader* thumbnailLoader() const { return m_pLoader; }
    EntryPageModel* model() const { return m_pModel; }
    QLabel* notice() const { return m_pNotice; }
    QLabel* caption() const { return m_pCaption; }
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
    void goToPage(std::optional<int> page);
    void pick(int row);
    void hover(int row);
    void updateButtons();
    void selectRow(int row);
    void syncSelection();
    void selectionBack();
    const std::vector<EntryRecord>* records() const;
    bool isSelectedRow(int row) const;
    void sortWith(bool (VolumePages::*sort)(const std::vector<EntryRecord>&));
    // The list or the thumbnail view, whichever shows the page.
    CEntryListCtrl* shownList() const;
    void showList();
    // The shown page's pictures, in its order, for the loader to make ahead.
    void prefetchThumbnails();

    CKestrelDoc* m_pDoc = nullptr;
    VolumePages m_pages;
    // The entry to go back to when a pick is declined: the one selected before
    // the selection last changed, or since the last pick or page shown.
    int m_nEntryBefore = -1;
    EntryPageModel* m_pModel;
    CEntryListCtrl* m_pList;
    QLabel* m_pCaption;
    QLabel* m_pNotice;
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
};
