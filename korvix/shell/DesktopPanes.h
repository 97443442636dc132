// Plugs the volume browser, its directory tree, the disk file tree and the
// dialogs into the main frame: the panes go into the frame's slots, the
// document's browser and dialog calls reach them, and their reports (entry
// under the mouse, menu hints, directory requests) reach the frame's panes.
#pragma once

#include "shell/CMainFrame.h"

#include <QPointer>

class CFileTreeView;
class CHelperTree;
class CQORBView;

class DesktopPanes : public VolumeBrowserHost {
public:
    explicit DesktopPanes(CMainFrame& frame);
    ~DesktopPanes() override;
    DesktopPanes(const DesktopPanes&) = delete;
    DesktopPanes& operator=(const DesktopPanes&) = delete;

    CQORBView* browser() const;
    CHelperTree* helperTree() const;
    CFileTreeView* fileTree() const;

    void clearVolumeBrowser() override;
    void showVolumeBrowser(const VolumeBrowserModel& model) override;
    void activateDirectoryTree() override;
    std::optional<int> selectedEntry() override;
    std::optional<int> selectedDirectory() override;

private:
    CMainFrame& m_frame;
    // The frame's splitter and tabs own the panes.
    QPointer<CQORBView> m_pBrowser;
    QPointer<CHelperTree> m_pTree;
    QPointer<CFileTreeView> m_pFileTree;
};
