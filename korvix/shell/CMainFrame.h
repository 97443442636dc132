// The main window: menu, five toolbars, the status bar and the
// pane layout (volume browser over the tabbed lower-left panes and the info
// pane on the left; picture view and empty view as icon tabs on the right).
// It owns the document and is its host: every effect of a document command
// reaches the screen through the DocumentHost calls below, and after every
// command one update pass enables and checks the actions by the document's rules.
#pragma once

#include "document/DocumentHost.h"
#include "shell/FrameSettings.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

class CExternalEditor;
class CKestrelDoc;
class CPictureView;
class CShortInfoView;
class CTextView;
class QAction;
class QActionGroup;
class QFileSystemWatcher;
class QLabel;
class QMenu;
class QSettings;
class QSlider;
class QSplitter;
class QTabWidget;
class QTemporaryDir;
class QTimer;
class QToolBar;
class SoundPlayer;

// What the volume browser and its directory tree do for the document; the
// browser's panes implement it and are plugged in with installLeftPanes.
class VolumeBrowserHost {
public:
    virtual ~VolumeBrowserHost() = default;
    virtual void clearVolumeBrowser() = 0;
    virtual void showVolumeBrowser(const VolumeBrowserModel& model) = 0;
    virtual void activateDirectoryTree() = 0;
    virtual std::optional<int> selectedEntry() = 0;
    virtual std::optional<int> selectedDirectory() = 0;
};

class CMainFrame : public QMainWindow, public DocumentHost {
    Q_OBJECT
public:
    // The settings store is passed in: the program uses QSettings("Tessarin",
    // "Korvix"), the tests a file of their own.
    explicit CMainFrame(QSettings& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKestrelDoc& document() { return *m_pDocument; }
    // The settings store the frame was given; the panes keep theirs there too.
    QSettings& settings() { return m_settings; }
    CPictureView* pictureView() const { return m_pPanePicture; }
    CShortInfoView* infoView() const { return m_pPaneInfo; }
    // The picture pane's second tab: text entries of the volume.
    CTextView* textView() const { return m_pPaneText; }
    QAction* action(int id) const;
    // "Sicherung anlegen", the setting of the volume's rewrites.
    QAction* keepBackupAction() const { return m_pKeepBackup; }
    QToolBar* mainBar() const { return m_wndMainBar; }
    QToolBar* mapBar() const { return m_wndMapBar; }
    QToolBar* viewBar() const { return m_wndViewBar; }
    QToolBar* selectionBar() const { return m_wndSelectionBar; }
    QToolBar* imageBar() const { return m_wndImageBar; }
    QSlider* backgroundSlider() const { return m_pSlider; }
    int background() const { return m_nBackground; }
    // The status bar's panes: 0 size, 1 zoom, 2 name (the three the document
    // writes), 3 the picture's format, 4 the file edited in another program;
    // and the command prompt, which shows beside them and hides none.
    enum { PANE_FORMAT = 3, PANE_EXTERNAL = 4, PANE_COUNT = 5 };
    QString statusText(int pane) const;
    QString promptText() const;
    CExternalEditor& externalEditor() { return *m_pExternal; }
    QSplitter* mainSplitter() const { return m_pSplitMain; }
    QSplitter* leftSplitter() const { return m_pSplitLeft; }
    QTabWidget* rightTabs() const { return m_pTabsRight; }
    QTabWidget* lowerLeftTabs() const { return m_pTabsLeft; }
    QStringList recentFiles() const { return m_recentFiles; }
    // The files watched for changes on disk: the open volume's.
    QStringList watchedFiles() const;

    // Replaces the volume browser's and the two lower-left placeholders by the
    // real panes (any may be null to keep its placeholder) and routes the
    // document's browser calls to `browser`.
    void installLeftPanes(QWidget* volumeBrowser, QWidget* fileTree, QWidget* helperTree,
                          VolumeBrowserHost* browser);

    // The file named on the command line, opened as the document's open
    // dispatch does; a file that fails leaves the program running.
    bool openStartupFile(const QString& path);
    // Runs a command by id as the menu, a toolbar or a key does, then the update pass.
    void runCommand(int id);
    // Enables and checks every action by the document's and the frame's rules.
    void updateCommandStates();
    // Docks every toolbar in its start arrangement ("Toolbars andocken").
    void dockToolbars();
    // Activates a pane by its hot key digit 1 ... 5.
    void activatePane(int key);
    void setBackgroundLevel(int level);
    // A temporary hint in pane 2 while the entry menu is open, and its end.
    void showMenuHint(const QString& hint);
    void restoreMenuHint();
    // The settings as they would be written now.
    FrameSettings currentSettings() const;

    // ---- DocumentHost ----
    MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void setWaitCursor(bool wait) override;
    void setStatusText(int pane, const std::string& text) override;
    void setWindowTitle(const std::string& title) override;
    void addRecentFile(const std::string& path) override;
    std::optional<std::string> recentFile(int index) override;
    void removeRecentFile(int index) override;
    bool hasPictureView() override;
    bool pictureViewVisible() override;
    void activatePictureView() override;
    void refreshPictureView() override;
    void setPictureZoom(float zoom) override;
    void relayoutPictureView() override;
    void setPictureSmoothing(bool on) override;
    void emptySelection() override;
    void clearVolumeBrowser() override;
    void showVolumeBrowser(const VolumeBrowserModel& model) override;
    void activateDirectoryTree() override;
    std::optional<int> selectedEntry() override;
    std::optional<int> selectedDirectory() override;
    void updateAllViews() override;
    std::optional<std::string> chooseOpenFile(const std::vector<FileFilter>& filters,
                                              const std::string& defaultExtension) override;
    std::optional<std::string> chooseSaveFile(const std::string& proposedName) override;
    bool runExportDialog(ExportDialogModel& model) override;
    std::optional<VolumeDataAnswer> runVolumeDataDialog(const VolumeDataAnswer& current) override;
    std::optional<std::string> runRenameDialog(const std::string& oldName, const NameValidator& validate) override;
    PictureGeometry pictureViewGeometry() override;
    void redrawPictureView() override;
    bool runSizeDialog(SizeDialogModel& model) override;
    bool runAdjustmentDialog(AdjustmentDialogModel& model) override;
    bool offerReopen(const std::string& text, const std::string& question) override;
    bool clipboardHasBitmap() override;
    std::optional<PixelBitmap> clipboardBitmap() override;
    void setClipboardBitmap(const PixelBitmap& bitmap, bool withAlpha) override;
    std::optional<std::string> externalEditFolder() override;
    bool startExternalEdit(const std::string& path) override;
    void stopExternalEdit() override;
    void playSound(const std::uint8_t* bytes, std::size_t size) override;
    void runLongWork(const std::string& title, const LongWork& work) override;
    OverwriteAnswer askOverwrite(const std::string& path) override;
    std::optional<std::string> chooseFolder(const std::string& title) override;
    std::optional<std::string> dragFolder() override;
    void showText(const std::string& name, const std::string& text) override;

    // Answers message boxes instead of showing them (tests and scripted runs).
    std::function<MessageAnswer(const std::string& text, const std::string& caption, MessageIcon icon,
                                MessageButtons buttons)>
        messageHook;

    // The dialogs of the volume editing and export, plugged in by their library.
    std::function<bool(ExportDialogModel&)> exportDialog;
    std::function<std::optional<VolumeDataAnswer>(const VolumeDataAnswer&)> volumeDataDialog;
    std::function<std::optional<std::string>(const std::string&, const NameValidator&)> renameDialog;
    // The size dialog and the brightness, contrast and gamma dialogs over their models.
    std::function<bool(SizeDialogModel&)> sizeDialog;
    std::function<bool(AdjustmentDialogModel&)> adjustmentDialog;
    // Answer the folder chooser and the question for an existing file instead
    // of showing them (tests); both run on the user-interface thread.
    std::function<std::optional<std::string>(const std::string& title)> folderHook;
    std::function<OverwriteAnswer(const std::string& path)> overwriteHook;

protected:
    // Command prompts go to the prompt pane instead of the status bar's
    // temporary message, which would hide the other panes.
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void createStatusBar();
    void createPanes(const FrameSettings& s);
    void applyGeometry(const FrameSettings& s);
    void rebuildRecentMenu();
    void saveSettings();
    void scheduleUpdate();
    // The open volume's file and its folder are watched, so that a change
    // another program makes is noticed; the document decides whether it is one
    // and offers to open the volume again. Re-armed by every update pass, also
    // after a file was renamed over the volume (which ends the old watch).
    void watchVolume();
    void checkVolumeOnDisk();
    QToolBar* makeToolBar(const QString& name, const QString& title, const std::vector<int>& ids);
    // The action's tool tip and prompt: its own, or with why it is disabled.
    void showReason(QAction* action, const QString& reason);
    // The file edited in another program was saved: load it back, or once
    // the dialog or box that has the program now is gone.
    void reloadExternalFile();
    static constexpr int EXTERNAL_RETRY_MS = 250;
    void placeAfter(QToolBar* anchor, QToolBar* bar);
    // The accessible names of the controls Qt makes for the frame (splitter
    // handles, the size grip, the toolbars' extension buttons, the tabs).
    void nameFrameControls();
    // A toolbar check button's accessible "Toggle" moves its check without a
    // click: the command runs as the click would have run it.
    void checkMovedWithoutClick(int id);
    OverwriteAnswer askOverwriteHere(const std::string& path);

    QSettings& m_settings;
    QSplitter* m_pSplitMain = nullptr;
    QSplitter* m_pSplitLeft = nullptr;
    QTabWidget* m_pTabsRight = nullptr;
    QTabWidget* m_pTabsLeft = nullptr;
    CPictureView* m_pPanePicture = nullptr;
    CTextView* m_pPaneText = nullptr;
    QWidget* m_pPaneBrowser = nullptr;
    QWidget* m_pPaneHelperTree = nullptr;
    QWidget* m_pPaneFileTree = nullptr;
    CShortInfoView* m_pPaneInfo = nullptr;
    QString m_strHint;
    bool m_bHintShown = false;
    std::unique_ptr<CKestrelDoc> m_pDocument;
    VolumeBrowserHost* m_pBrowser = nullptr;
    std::unique_ptr<SoundPlayer> m_pSound;

    std::map<int, QAction*> m_actions;
    QActionGroup* m_pMapGroup = nullptr;
    QActionGroup* m_pModeGroup = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pKeepBackup = nullptr;
    QAction* m_pRecentAnchor = nullptr;
    QList<QAction*> m_recentActions;
    QStringList m_recentFiles;
    QLabel* m_wndStatusPanes[PANE_COUNT] = {};
    QLabel* m_pPrompt = nullptr;
    std::unique_ptr<CExternalEditor> m_pExternal;
    bool m_bExternalPending = false;
    QToolBar* m_wndMainBar = nullptr;
    QToolBar* m_wndMapBar = nullptr;
    QToolBar* m_wndViewBar = nullptr;
    QToolBar* m_wndSelectionBar = nullptr;
    QToolBar* m_wndImageBar = nullptr;
    QSlider* m_pSlider = nullptr;
    int m_nBackground = FrameSettings::DEFAULT_BACKGROUND;
    int m_nWaitDepth = 0;
    bool m_bUpdatePending = false;
    QFileSystemWatcher* m_pVolumeWatcher = nullptr;
    QTimer* m_pVolumeCheck = nullptr;
    QString m_strWatchedVolume;
    // Commands whose check moved without a click yet; while the update pass
    // sets the checks, none count.
    std::set<int> m_uncheckedClicks;
    bool m_bApplyingChecks = false;
    // The folder for files dragged out of the browser, made on first use and
    // removed with the frame.
    std::unique_ptr<QTemporaryDir> m_pDragFolder;
};
