#include "shell/CMainFrame.h"

#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "shell/CAboutWindow.h"
#include "shell/CExternalEditor.h"
#include "shell/CommandTable.h"
#include "shell/SoundPlayer.h"
#include "views/CPictureView.h"
#include "views/CShortInfoView.h"
#include "views/CTextView.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSizeGrip>
#include <QSlider>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

// The icons and the About picture live in this static library's resources,
// which a static library must register itself.
void initShellResources()
{
    Q_INIT_RESOURCE(korvix);
}

namespace {

// The image-processing toolbar and the "Bild" menu, 0 a separator.
const std::vector<int> IMAGE_BAR_COMMANDS = {
    ID_BRIGHTNESS, ID_CONTRAST, ID_GAMMA, 0, ID_INVERT_COLOUR, ID_INVERT_ALPHA, 0, ID_CROP, ID_RESIZE, 0,
    ID_SHARPEN, ID_BLUR, ID_BLUR_STRONG, ID_ALPHA_BLUR, ID_ALPHA_BLUR_STRONG, 0, ID_ROTATE_CW, ID_ROTATE_CCW,
    ID_MIRROR_H, ID_MIRROR_V, 0, ID_REMOVE_SMALL_MAPS, ID_CREATE_ALPHA, ID_REMOVE_ALPHA};

// The pane keys of the layout: Alt with the digit activates the pane.
enum PaneKey { KEY_BROWSER = 1, KEY_HELPER_TREE = 2, KEY_FILE_TREE = 3, KEY_PICTURE = 4, KEY_EMPTY = 5 };

QIcon commandIcon(const CommandText& c)
{
    if (!*c.icon)
        return {};
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(c.icon)));
}

// The label without its & mnemonic and without the shortcut after the tab.
QString plainLabel(const char* label)
{
    QString text = QString::fromUtf8(label);
    const int tab = text.indexOf(QLatin1Char('\t'));
    if (tab >= 0)
        text.truncate(tab);
    return text.remove(QLatin1Char('&'));
}

// A menu that tells why an item is disabled: its tool tip, which then carries
// the reason, shows over it. Enabled items show none; their text says it all.
class ReasonMenu : public QMenu {
public:
    ReasonMenu(const QString& title, QWidget* parent) : QMenu(title, parent) {}

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != QEvent::ToolTip)
            return QMenu::event(e);
        const auto* help = static_cast<QHelpEvent*>(e);
        const QAction* a = actionAt(help->pos());
        if (a && !a->isEnabled() && a->statusTip() != a->property("defaultPrompt").toString())
            QToolTip::showText(help->globalPos(), a->toolTip(), this, actionGeometry(const_cast<QAction*>(a)));
        else
            QToolTip::hideText();
        return true;
    }
};

QWidget* placeholder(const QString& name)
{
    auto* w = new QWidget;
    w->setObjectName(name);
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, Qt::white);
    w->setPalette(p);
    return w;
}

bool isFrameCommand(int id)
{
    switch (id) {
    case ID_VIEW_MAIN_TOOLBAR:
    case ID_VIEW_MAP_TOOLBAR:
    case ID_VIEW_VIEW_TOOLBAR:
    case ID_VIEW_SELECTION_TOOLBAR:
    case ID_VIEW_IMAGE_TOOLBAR:
    case ID_VIEW_STATUS_BAR:
    case ID_DOCK_TOOLBARS:
    case ID_APP_ABOUT:
    case ID_APP_EXIT:
        return true;
    default:
        return false;
    }
}

}  // namespace

CMainFrame::CMainFrame(QSettings& settings, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_pSound(std::make_unique<SoundPlayer>()),
      m_pExternal(std::make_unique<CExternalEditor>(settings))
{
    initShellResources();
    setObjectName(QStringLiteral("MainFrame"));
    QMainWindow::setWindowTitle(QStringLiteral("Korvix"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/korvix.svg")));
    setAcceptDrops(true);

    const FrameSettings s = FrameSettings::load(settings);
    m_recentFiles = s.recentFiles;
    createActions();
    createMenus();
    createToolBars();
    createStatusBar();
    createPanes(s);

    m_pDocument = std::make_unique<CKestrelDoc>(*this);
    m_pDocument->setAskBeforeDiscard(s.askBeforeDiscard);
    m_pDocument->setKeepBackup(s.keepBackup);
    m_pKeepBackup->setChecked(s.keepBackup);
    connect(m_pKeepBackup, &QAction::toggled, this, [this](bool on) { m_pDocument->setKeepBackup(on); });
    m_pPanePicture->setDocument(m_pDocument.get());

    if (!s.toolbarState.isEmpty())
        restoreState(s.toolbarState);
    setBackgroundLevel(s.background);
    applyGeometry(s);
    rebuildRecentMenu();
    m_pPanePicture->fullUpdate();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CMainFrame::scheduleUpdate);

    // A burst of changes (a program writing a file in pieces) is looked at once.
    m_pVolumeWatcher = new QFileSystemWatcher(this);
    m_pVolumeCheck = new QTimer(this);
    m_pVolumeCheck->setSingleShot(true);
    m_pVolumeCheck->setInterval(150);
    connect(m_pVolumeWatcher, &QFileSystemWatcher::fileChanged, m_pVolumeCheck, qOverload<>(&QTimer::start));
    connect(m_pVolumeWatcher, &QFileSystemWatcher::directoryChanged, m_pVolumeCheck, qOverload<>(&QTimer::start));
    connect(m_pVolumeCheck, &QTimer::timeout, this, &CMainFrame::checkVolumeOnDisk);
    connect(m_pExternal.get(), &CExternalEditor::saved, this, &CMainFrame::reloadExternalFile);
    nameFrameControls();
    updateCommandStates();
}

CMainFrame::~CMainFrame()
{
    // The views hold a pointer to the document; let them go first.
    m_pPanePicture->setDocument(nullptr);
}

QAction* CMainFrame::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::createActions()
{
    int count = 0;
    const CommandText* table = commandTable(count);
    for (int i = 0; i < count; ++i) {
        const CommandText& c = table[i];
        auto* a = new QAction(commandIcon(c), QString::fromUtf8(c.label), this);
        a->setData(c.id);
        a->setStatusTip(QString::fromUtf8(c.prompt));
        const QString tip = *c.toolTip ? QString::fromUtf8(c.toolTip) : plainLabel(c.label);
        a->setToolTip(tip);
        a->setIconText(tip);
        // The texts a disabled command's reason stands beside or in for.
        a->setProperty("defaultTip", tip);
        a->setProperty("defaultPrompt", a->statusTip());
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] {
            m_uncheckedClicks.erase(id);
            runCommand(id);
        });
        m_actions[id] = a;
    }
    for (int id : {ID_VIEW_MAIN_TOOLBAR, ID_VIEW_MAP_TOOLBAR, ID_VIEW_VIEW_TOOLBAR, ID_VIEW_SELECTION_TOOLBAR,
                   ID_VIEW_IMAGE_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_SMOOTH, ID_EXCLUDE_RED, ID_EXCLUDE_GREEN,
                   ID_EXCLUDE_BLUE})
        m_actions[id]->setCheckable(true);

    m_pMapGroup = new QActionGroup(this);
    for (int id : MAP_COMMANDS) {
        m_actions[id]->setCheckable(true);
        m_pMapGroup->addAction(m_actions[id]);
    }
    m_pModeGroup = new QActionGroup(this);
    for (int id : {ID_VIEW_RGB, ID_VIEW_RGBA, ID_VIEW_ALPHA}) {
        m_actions[id]->setCheckable(true);
        m_pModeGroup->addAction(m_actions[id]);
    }
    // The toolbars' check buttons: a check that moves without a click (the
    // accessible "Toggle" of a button) runs the command as the click would.
    // A click checks first and then triggers, so the check is looked at once
    // the event is handled.
    std::vector<int> checkButtons(std::begin(MAP_COMMANDS), std::end(MAP_COMMANDS));
    checkButtons.insert(checkButtons.end(), {ID_VIEW_SMOOTH, ID_VIEW_RGB, ID_VIEW_RGBA, ID_VIEW_ALPHA, ID_EXCLUDE_RED,
                                             ID_EXCLUDE_GREEN, ID_EXCLUDE_BLUE});
    for (const int id : checkButtons)
        connect(m_actions[id], &QAction::toggled, this, [this, id] {
            if (m_bApplyingChecks)
                return;
            m_uncheckedClicks.insert(id);
            QTimer::singleShot(0, this, [this, id] { checkMovedWithoutClick(id); });
        });

    m_actions[ID_FILE_OPEN]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_actions[ID_EXPORT]->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_E), QKeySequence(Qt::CTRL | Qt::Key_S)});
    m_actions[ID_EDIT_PASTE]->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    m_actions[ID_EDIT_UNDO]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_actions[ID_EDIT_REDO]->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_actions[ID_EDIT_COPY]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_actions[ID_EXTERNAL_EDIT]->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    // Keypad + and -, and Ctrl with +, - and 0 (and =, the + of layouts that shift it).
    m_actions[ID_ZOOM_IN]->setShortcuts({QKeySequence(Qt::KeypadModifier | Qt::Key_Plus),
                                         QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    m_actions[ID_ZOOM_OUT]->setShortcuts(
        {QKeySequence(Qt::KeypadModifier | Qt::Key_Minus), QKeySequence(Qt::CTRL | Qt::Key_Minus)});
    m_actions[ID_ZOOM_RESET]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    m_actions[ID_ZOOM_FIT]->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_9));
    for (const int id : {ID_FILE_OPEN, ID_EXPORT, ID_EDIT_PASTE, ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_COPY, ID_EXTERNAL_EDIT,
                         ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_RESET, ID_ZOOM_FIT})
        m_actions[id]->setShortcutContext(Qt::WindowShortcut);
    // The zoom keys work with every toolbar hidden too.
    for (const int id : {ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_RESET, ID_ZOOM_FIT})
        addAction(m_actions[id]);

    for (int key = 1; key <= 5; ++key) {
        auto* sc = new QShortcut(QKeySequence(Qt::ALT | (Qt::Key_0 + key)), this);
        connect(sc, &QShortcut::activated, this, [this, key] { activatePane(key); });
    }
    auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
    auto cycle = [this](int step) {
        const QList<QWidget*> panes = {m_pPaneBrowser, m_pTabsLeft->currentWidget(), m_pPaneInfo,
                                       m_pTabsRight->currentWidget()};
        int at = -1;
        for (int i = 0; i < panes.size(); ++i)
            if (panes[i] && (panes[i] == focusWidget() || panes[i]->isAncestorOf(focusWidget())))
                at = i;
        const int n = static_cast<int>(panes.size());
        panes[((at < 0 ? 0 : at + step) % n + n) % n]->setFocus(Qt::ShortcutFocusReason);
    };
    connect(next, &QShortcut::activated, this, [cycle] { cycle(1); });
    connect(previous, &QShortcut::activated, this, [cycle] { cycle(-1); });
}

void CMainFrame::createMenus()
{
    m_pFileMenu = menuBar()->addMenu(QStringLiteral("&Datei"));
    m_pFileMenu->addAction(m_actions[ID_FILE_OPEN]);
    m_pFileMenu->addAction(m_actions[ID_EXPORT]);
    m_pFileMenu->addSeparator();
    m_pRecentAnchor = m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(m_actions[ID_APP_EXIT]);

    auto* edit = new ReasonMenu(QStringLiteral("&Bearbeiten"), this);
    menuBar()->addMenu(edit);
    edit->addAction(m_actions[ID_EDIT_UNDO]);
    edit->addAction(m_actions[ID_EDIT_REDO]);
    edit->addSeparator();
    edit->addAction(m_actions[ID_EDIT_COPY]);
    edit->addAction(m_actions[ID_EDIT_PASTE]);
    edit->addSeparator();
    edit->addAction(m_actions[ID_EXTERNAL_EDIT]);
    // A setting of the volume's rewrites, kept with the window's settings.
    edit->addSeparator();
    m_pKeepBackup = edit->addAction(QString::fromUtf8(korvix::msg(korvix::MessageId::SettingBackup)));
    m_pKeepBackup->setObjectName(QStringLiteral("KeepBackup"));
    m_pKeepBackup->setCheckable(true);
    m_pKeepBackup->setStatusTip(QString::fromUtf8(korvix::msg(korvix::MessageId::SettingBackupTip)));
    m_pKeepBackup->setToolTip(m_pKeepBackup->statusTip());

    QMenu* view = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    for (int id : {ID_VIEW_MAIN_TOOLBAR, ID_VIEW_MAP_TOOLBAR, ID_VIEW_VIEW_TOOLBAR, ID_VIEW_SELECTION_TOOLBAR,
                   ID_VIEW_IMAGE_TOOLBAR, ID_VIEW_STATUS_BAR})
        view->addAction(m_actions[id]);
    view->addSeparator();
    view->addAction(m_actions[ID_DOCK_TOOLBARS]);

    // Every image operation and adjustment, in the image toolbar's order, so
    // that none hides behind the toolbar's overflow.
    auto* picture = new ReasonMenu(QStringLiteral("&Bild"), this);
    picture->setObjectName(QStringLiteral("PictureMenu"));
    menuBar()->addMenu(picture);
    for (int id : IMAGE_BAR_COMMANDS) {
        if (id == 0)
            picture->addSeparator();
        else
            picture->addAction(m_actions[id]);
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
    help->addAction(m_actions[ID_APP_ABOUT]);
}

void CMainFrame::rebuildRecentMenu()
{
    for (QAction* a : m_recentActions) {
        m_pFileMenu->removeAction(a);
        delete a;
    }
    m_recentActions.clear();
    if (m_recentFiles.isEmpty()) {
        auto* a = new QAction(QStringLiteral("Letzte Datei"), this);
        a->setEnabled(false);
        a->setData(ID_FILE_MRU_FIRST);
        m_pFileMenu->insertAction(m_pRecentAnchor, a);
        m_recentActions.append(a);
        return;
    }
    for (int i = 0; i < m_recentFiles.size(); ++i) {
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(m_recentFiles[i]), this);
        a->setData(ID_FILE_MRU_FIRST + i);
        a->setStatusTip(QStringLiteral("Öffnet dieses Dokument."));
        connect(a, &QAction::triggered, this, [this, i] { runCommand(ID_FILE_MRU_FIRST + i); });
        m_pFileMenu->insertAction(m_pRecentAnchor, a);
        m_recentActions.append(a);
    }
}

QToolBar* CMainFrame::makeToolBar(const QString& name, const QString& title, const std::vector<int>& ids)
{
    auto* bar = new QToolBar(title, this);
    bar->setObjectName(name);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (int id : ids) {
        if (id == 0)
            bar->addSeparator();
        else
            bar->addAction(m_actions[id]);
    }
    return bar;
}

void CMainFrame::createToolBars()
{
    m_wndMainBar = makeToolBar(QStringLiteral("MainBar"), QStringLiteral("Hauptsymbolleiste"),
                               {ID_FILE_OPEN, ID_EXPORT, 0, ID_EDIT_PASTE, 0, ID_VOLUME_DATA, ID_OBJECT_INFO, 0,
                                ID_APP_ABOUT});
    m_wndMapBar = makeToolBar(QStringLiteral("MapBar"), QStringLiteral("MipMap-Steuerung"),
                              {ID_MAP_0, ID_MAP_1, ID_MAP_2, ID_MAP_3, ID_MAP_4, ID_MAP_5, ID_MAP_6, ID_MAP_7,
                               ID_MAP_8, ID_MAP_9});
    m_wndViewBar = makeToolBar(QStringLiteral("ViewBar"), QStringLiteral("Ansichtsmodus"),
                               {ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_RESET, ID_ZOOM_FIT, 0, ID_VIEW_SMOOTH, 0, ID_VIEW_RGB,
                                ID_VIEW_RGBA, ID_VIEW_ALPHA, 0});
    m_wndSelectionBar = makeToolBar(QStringLiteral("SelectionBar"), QStringLiteral("Selektionstools"),
                                    {ID_SELECT_ALL, ID_SELECT_NONE, ID_SELECTION_DIALOG, 0, ID_EXCLUDE_RED,
                                     ID_EXCLUDE_GREEN, ID_EXCLUDE_BLUE, ID_ALL_CHANNELS});
    m_wndImageBar = makeToolBar(QStringLiteral("ImageBar"), QStringLiteral("Bildverarbeitungstools"), IMAGE_BAR_COMMANDS);

    // The background slider: twelve average characters wide, one text line high.
    m_pSlider = new QSlider(Qt::Horizontal, m_wndViewBar);
    m_pSlider->setObjectName(QStringLiteral("BackgroundSlider"));
    m_pSlider->setRange(0, 255);
    m_pSlider->setValue(FrameSettings::DEFAULT_BACKGROUND);
    m_pSlider->setTickPosition(QSlider::NoTicks);
    m_pSlider->setToolTip(QStringLiteral("Hintergrund"));
    m_pSlider->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccBackgroundSlider)));
    m_pSlider->setStatusTip(QStringLiteral("Helligkeit des Hintergrunds um das Bild."));
    const QFontMetrics fm(m_pSlider->font());
    m_pSlider->setFixedWidth(12 * fm.averageCharWidth());
    m_wndViewBar->addWidget(m_pSlider);
    connect(m_pSlider, &QSlider::valueChanged, this, &CMainFrame::setBackgroundLevel);

    // Every side for all bars but the view toolbar, which starts limited to
    // the top and the bottom until "Toolbars andocken" frees it.
    m_wndViewBar->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_wndMainBar);
    addToolBar(Qt::RightToolBarArea, m_wndMapBar);
    placeAfter(m_wndMainBar, m_wndViewBar);
    placeAfter(m_wndViewBar, m_wndSelectionBar);
    placeAfter(m_wndSelectionBar, m_wndImageBar);

    // The "Ansicht" checks follow the bars however they are shown or hidden:
    // through the menu, Qt's own toolbar menu, or a restored state.
    const std::pair<QToolBar*, int> bars[] = {{m_wndMainBar, ID_VIEW_MAIN_TOOLBAR},
                                              {m_wndMapBar, ID_VIEW_MAP_TOOLBAR},
                                              {m_wndViewBar, ID_VIEW_VIEW_TOOLBAR},
                                              {m_wndSelectionBar, ID_VIEW_SELECTION_TOOLBAR},
                                              {m_wndImageBar, ID_VIEW_IMAGE_TOOLBAR}};
    for (const auto& [bar, id] : bars) {
        QAction* check = m_actions[id];
        connect(bar, &QToolBar::visibilityChanged, check, [bar, check] { check->setChecked(!bar->isHidden()); });
    }
}

// Docks `bar` on the row of `anchor`, just after it.
void CMainFrame::placeAfter(QToolBar* anchor, QToolBar* bar)
{
    Qt::ToolBarArea area = toolBarArea(anchor);
    if (area == Qt::NoToolBarArea)
        area = Qt::TopToolBarArea;
    removeToolBar(bar);
    addToolBar(area, bar);
    bar->show();
}

void CMainFrame::dockToolbars()
{
    const QList<QToolBar*> bars = {m_wndMainBar, m_wndMapBar, m_wndViewBar, m_wndSelectionBar, m_wndImageBar};
    QList<bool> hidden;
    for (QToolBar* b : bars) {
        hidden.append(b->isHidden());
        b->setAllowedAreas(Qt::AllToolBarAreas);
        removeToolBar(b);
    }
    addToolBar(Qt::TopToolBarArea, m_wndMainBar);
    addToolBar(Qt::RightToolBarArea, m_wndMapBar);
    addToolBar(Qt::TopToolBarArea, m_wndViewBar);
    addToolBar(Qt::TopToolBarArea, m_wndSelectionBar);
    addToolBar(Qt::TopToolBarArea, m_wndImageBar);
    // Docking moves the bars; whether they are shown stays as it was.
    for (int i = 0; i < bars.size(); ++i)
        bars[i]->setHidden(hidden[i]);
}

void CMainFrame::createStatusBar()
{
    // Every pane is a permanent part of the bar: nothing the bar shows for a
    // moment can hide them. The prompt takes a share of the name's room while
    // there is one; the pane of the file edited elsewhere shows while there is one.
    const char* names[PANE_COUNT] = {"Größe", "Zoom", "Name", "Format", "Extern bearbeitete Datei"};
    for (int i = 0; i < PANE_COUNT; ++i) {
        m_wndStatusPanes[i] = new QLabel(QStringLiteral(" "), this);
        m_wndStatusPanes[i]->setObjectName(QStringLiteral("StatusPane%1").arg(i));
        m_wndStatusPanes[i]->setAccessibleName(QString::fromUtf8(names[i]));
        m_wndStatusPanes[i]->setFrameShape(QFrame::Panel);
        m_wndStatusPanes[i]->setFrameShadow(QFrame::Sunken);
        if (i < 2)
            m_wndStatusPanes[i]->setFixedWidth(90);
        if (i == 2) {
            // A long path must not widen the window: the pane takes the room there is.
            m_wndStatusPanes[i]->setMinimumWidth(90);
            m_wndStatusPanes[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        }
        statusBar()->addPermanentWidget(m_wndStatusPanes[i], i == 2 ? 2 : 0);
        if (i == 2) {
            m_pPrompt = new QLabel(this);
            m_pPrompt->setObjectName(QStringLiteral("StatusPrompt"));
            m_pPrompt->setAccessibleName(QStringLiteral("Hinweis"));
            m_pPrompt->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            m_pPrompt->hide();
            statusBar()->addPermanentWidget(m_pPrompt, 1);
        }
    }
    m_wndStatusPanes[PANE_EXTERNAL]->hide();
}

void CMainFrame::createPanes(const FrameSettings& s)
{
    m_pSplitMain = new QSplitter(Qt::Horizontal, this);
    m_pSplitMain->setObjectName(QStringLiteral("MainSplit"));
    m_pSplitLeft = new QSplitter(Qt::Vertical, m_pSplitMain);
    m_pSplitLeft->setObjectName(QStringLiteral("LeftSplit"));

    m_pPaneBrowser = placeholder(QStringLiteral("VolumeBrowser"));
    m_pPaneBrowser->setMinimumHeight(10);
    m_pSplitLeft->addWidget(m_pPaneBrowser);

    m_pTabsLeft = new QTabWidget(m_pSplitLeft);
    m_pTabsLeft->setObjectName(QStringLiteral("LowerLeftTabs"));
    m_pTabsLeft->setTabPosition(QTabWidget::South);
    m_pPaneFileTree = placeholder(QStringLiteral("FileTree"));
    m_pPaneHelperTree = placeholder(QStringLiteral("HelperTree"));
    m_pTabsLeft->addTab(m_pPaneFileTree, QIcon(QStringLiteral(":/icons/filetree.svg")), QString());
    m_pTabsLeft->addTab(m_pPaneHelperTree, QIcon(QStringLiteral(":/icons/helpertree.svg")), QString());
    m_pTabsLeft->setTabToolTip(0, QString::fromUtf8(korvix::msg(korvix::MessageId::AccTabFileTree)));
    m_pTabsLeft->setTabToolTip(1, QStringLiteral("QORB-Verzeichnisse (Alt+2)"));
    m_pSplitLeft->addWidget(m_pTabsLeft);

    m_pPaneInfo = new CShortInfoView(m_pSplitLeft);
    m_pPaneInfo->setObjectName(QStringLiteral("InfoPane"));
    m_pPaneInfo->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccInfoPane)));
    m_pSplitLeft->addWidget(m_pPaneInfo);

    m_pTabsRight = new QTabWidget(m_pSplitMain);
    m_pTabsRight->setObjectName(QStringLiteral("RightTabs"));
    m_pTabsRight->setTabPosition(QTabWidget::South);
    m_pPanePicture = new CPictureView(m_pTabsRight);
    m_pPanePicture->setObjectName(QStringLiteral("PictureView"));
    m_pPanePicture->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccPictureView)));
    // The second tab shows the text entries of the volume.
    m_pPaneText = new CTextView(m_pTabsRight);
    m_pPaneText->setObjectName(QStringLiteral("TextView"));
    m_pTabsRight->addTab(m_pPanePicture, QIcon(QStringLiteral(":/icons/picture.svg")), QString());
    m_pTabsRight->addTab(m_pPaneText, QIcon(QStringLiteral(":/icons/empty.svg")), QString());
    m_pTabsRight->setTabToolTip(0, QString::fromUtf8(korvix::msg(korvix::MessageId::AccTabPicture)));
    m_pTabsRight->setTabToolTip(1, QString::fromUtf8(korvix::msg(korvix::MessageId::AccTabText)));

    m_pSplitMain->addWidget(m_pSplitLeft);
    m_pSplitMain->addWidget(m_pTabsRight);
    m_pSplitMain->setStretchFactor(0, 0);
    m_pSplitMain->setStretchFactor(1, 1);
    m_pSplitMain->setSizes({std::max(10, s.paneWidth), 800});
    m_pSplitLeft->setStretchFactor(0, 0);
    m_pSplitLeft->setStretchFactor(1, 0);
    m_pSplitLeft->setStretchFactor(2, 1);
    m_pSplitLeft->setSizes({std::max(10, s.paneHeight), s.pane2Height, 100});
    m_pSplitMain->setChildrenCollapsible(false);
    m_pSplitLeft->setChildrenCollapsible(false);
    setCentralWidget(m_pSplitMain);

    connect(m_pPanePicture, &CPictureView::statusText, this,
            [this](int pane, const QString& text) { setStatusText(pane, text.toStdString()); });
    connect(m_pPanePicture, &CPictureView::pixelReadout, m_pPaneInfo, &CShortInfoView::showPixel,
            Qt::QueuedConnection);
    connect(m_pPanePicture, &CPictureView::readoutCleared, m_pPaneInfo, &CShortInfoView::showNothing,
            Qt::QueuedConnection);
    connect(m_pPanePicture, &CPictureView::zoomStepRequested, this, [this](int direction) {
        const int id = direction > 0 ? ID_ZOOM_IN : ID_ZOOM_OUT;
        updateCommandStates();
        if (m_actions[id]->isEnabled())
            runCommand(id);
    });
    connect(m_pPanePicture, &CPictureView::selectionChanged, this, &CMainFrame::scheduleUpdate);
    connect(m_pTabsRight, &QTabWidget::currentChanged, this, &CMainFrame::scheduleUpdate);
}

void CMainFrame::installLeftPanes(QWidget* volumeBrowser, QWidget* fileTree, QWidget* helperTree,
                                  VolumeBrowserHost* browser)
{
    if (volumeBrowser) {
        delete m_pSplitLeft->replaceWidget(0, volumeBrowser);
        m_pPaneBrowser = volumeBrowser;
    }
    auto replaceTab = [this](int index, QWidget*& slot, QWidget* pane) {
        if (!pane)
            return;
        const QIcon icon = m_pTabsLeft->tabIcon(index);
        const QString tip = m_pTabsLeft->tabToolTip(index);
        m_pTabsLeft->removeTab(index);
        delete slot;
        m_pTabsLeft->insertTab(index, pane, icon, QString());
        m_pTabsLeft->setTabToolTip(index, tip);
        slot = pane;
    };
    replaceTab(0, m_pPaneFileTree, fileTree);
    replaceTab(1, m_pPaneHelperTree, helperTree);
    m_pBrowser = browser;
    nameFrameControls();
}

void CMainFrame::nameFrameControls()
{
    using korvix::MessageId;
    const auto name = [](MessageId id) { return QString::fromUtf8(korvix::msg(id)); };
    menuBar()->setAccessibleName(name(MessageId::AccMenuBar));
    // The icon tabs say what they show, as their tool tips do.
    for (QTabWidget* tabs : {m_pTabsLeft, m_pTabsRight})
        for (int i = 0; i < tabs->count(); ++i)
            tabs->tabBar()->setAccessibleTabName(i, tabs->tabToolTip(i));
    for (QSplitter* split : {m_pSplitMain, m_pSplitLeft})
        for (int i = 1; i < split->count(); ++i)
            split->handle(i)->setAccessibleName(name(MessageId::AccSplitter));
    if (auto* grip = statusBar()->findChild<QSizeGrip*>())
        grip->setAccessibleName(name(MessageId::AccSizeGrip));
    for (QToolBar* bar : {m_wndMainBar, m_wndMapBar, m_wndViewBar, m_wndSelectionBar, m_wndImageBar})
        for (auto* extension : bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            extension->setAccessibleName(name(MessageId::AccToolbarExtension));
}

void CMainFrame::applyGeometry(const FrameSettings& s)
{
    // The saved rectangle is used when it still lies on one of the screens
    // (monitors come and go); otherwise the default placement.
    if (s.mainWinPos) {
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().intersects(*s.mainWinPos)) {
                move(s.mainWinPos->topLeft());
                resize(s.mainWinPos->size());
                return;
            }
        }
    }
    resize(1024, 720);
}

void CMainFrame::activatePane(int key)
{
    switch (key) {
    case KEY_BROWSER:
        m_pPaneBrowser->setFocus(Qt::ShortcutFocusReason);
        break;
    case KEY_HELPER_TREE:
        m_pTabsLeft->setCurrentIndex(1);
        m_pPaneHelperTree->setFocus(Qt::ShortcutFocusReason);
        break;
    case KEY_FILE_TREE:
        m_pTabsLeft->setCurrentIndex(0);
        m_pPaneFileTree->setFocus(Qt::ShortcutFocusReason);
        break;
    case KEY_PICTURE:
        m_pTabsRight->setCurrentIndex(0);
        m_pPanePicture->setFocus(Qt::ShortcutFocusReason);
        break;
    case KEY_EMPTY:
        m_pTabsRight->setCurrentIndex(1);
        m_pPaneText->setFocus(Qt::ShortcutFocusReason);
        break;
    default:
        break;
    }
    updateCommandStates();
}

void CMainFrame::setBackgroundLevel(int level)
{
    m_nBackground = std::clamp(level, 0, 255);
    if (m_pSlider->value() != m_nBackground)
        m_pSlider->setValue(m_nBackground);
    m_pPanePicture->setBackgroundLevel(m_nBackground);
}

QString CMainFrame::statusText(int pane) const
{
    if (pane < 0 || pane >= PANE_COUNT)
        return {};
    return m_wndStatusPanes[pane]->text();
}

QString CMainFrame::promptText() const
{
    return m_pPrompt->isHidden() ? QString() : m_pPrompt->text();
}

bool CMainFrame::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        m_pPrompt->setText(tip);
        m_pPrompt->setVisible(!tip.isEmpty());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::showMenuHint(const QString& hint)
{
    if (!m_bHintShown)
        m_strHint = m_wndStatusPanes[2]->text();
    m_bHintShown = true;
    m_wndStatusPanes[2]->setText(QStringLiteral(" (") + hint + QStringLiteral(")"));
}

void CMainFrame::restoreMenuHint()
{
    if (!m_bHintShown)
        return;
    m_bHintShown = false;
    m_wndStatusPanes[2]->setText(m_strHint);
}

bool CMainFrame::openStartupFile(const QString& argument)
{
    // The full path, as a file chosen in a dialog has it: the title, the
    // status bar and the recent-file list then mean the same from any folder.
    const std::string path = QFileInfo(argument).absoluteFilePath().toStdString();
    const bool ok = m_pDocument->openFile(path, false);
    if (ok)
        addRecentFile(path);
    updateCommandStates();
    return ok;
}

void CMainFrame::runCommand(int id)
{
    CKestrelDoc& doc = *m_pDocument;
    for (int k = 0; k < 10; ++k)
        if (id == MAP_COMMANDS[k])
            doc.selectMapCommand(k);
    if (id >= ID_FILE_MRU_FIRST && id <= ID_FILE_MRU_LAST) {
        doc.openRecentFile(id - ID_FILE_MRU_FIRST);
        updateCommandStates();
        return;
    }
    switch (id) {
    case ID_FILE_OPEN:
        doc.openFile(std::string(), true);
        break;
    case ID_EXPORT:
        doc.exportCommand();
        break;
    case ID_EDIT_PASTE:
        doc.paste();
        break;
    case ID_EDIT_COPY:
        doc.copyCommand();
        break;
    case ID_EXTERNAL_EDIT:
        doc.externalEditCommand();
        break;
    case ID_ZOOM_FIT:
        doc.zoomToFit();
        break;
    case ID_VOLUME_DATA:
        doc.editVolumeData();
        break;
    case ID_ZOOM_IN:
        doc.zoomIn();
        break;
    case ID_ZOOM_OUT:
        doc.zoomOut();
        break;
    case ID_ZOOM_RESET:
        doc.zoomReset();
        break;
    case ID_VIEW_RGB:
        doc.displayModeCommand(CKestrelDoc::MODE_RGB);
        break;
    case ID_VIEW_RGBA:
        doc.displayModeCommand(CKestrelDoc::MODE_RGBA);
        break;
    case ID_VIEW_ALPHA:
        doc.displayModeCommand(CKestrelDoc::MODE_ALPHA);
        break;
    case ID_VIEW_SMOOTH:
        doc.smoothingCommand(m_actions[ID_VIEW_SMOOTH]->isChecked());
        break;
    case ID_VIEW_MAIN_TOOLBAR:
        m_wndMainBar->setHidden(!m_wndMainBar->isHidden());
        break;
    case ID_VIEW_MAP_TOOLBAR:
        m_wndMapBar->setHidden(!m_wndMapBar->isHidden());
        break;
    case ID_VIEW_VIEW_TOOLBAR:
        m_wndViewBar->setHidden(!m_wndViewBar->isHidden());
        break;
    case ID_VIEW_SELECTION_TOOLBAR:
        m_wndSelectionBar->setHidden(!m_wndSelectionBar->isHidden());
        break;
    case ID_VIEW_IMAGE_TOOLBAR:
        m_wndImageBar->setHidden(!m_wndImageBar->isHidden());
        break;
    case ID_VIEW_STATUS_BAR:
        statusBar()->setHidden(!statusBar()->isHidden());
        break;
    case ID_DOCK_TOOLBARS:
        dockToolbars();
        break;
    case ID_APP_ABOUT: {
        CAboutWindow about(this);
        about.exec();
        break;
    }
    case ID_APP_EXIT:
        close();
        break;
    default:
        // Selection, channel switches, image operations, adjustments and the
        // information report.
        doc.editCommand(id);
        break;
    }
    updateCommandStates();
}

void CMainFrame::checkMovedWithoutClick(int id)
{
    if (m_uncheckedClicks.erase(id) == 0)
        return;
    runCommand(id);
}

void CMainFrame::updateCommandStates()
{
    m_bUpdatePending = false;
    m_bApplyingChecks = true;
    CKestrelDoc& doc = *m_pDocument;
    // The document's own update pass first; then every button reads its
    // enabled and check state from the document.
    doc.updateCommandStates();
    for (auto& [id, a] : m_actions) {
        if (isFrameCommand(id)) {
            a->setEnabled(true);
            continue;
        }
        // A command the document does not know stays disabled rather than
        // offering a button that does nothing.
        std::string reason;
        const bool enabled = doc.commandEnabled(id, &reason).value_or(false);
        a->setEnabled(enabled);
        showReason(a, enabled ? QString() : QString::fromStdString(reason));
        if (const auto checked = doc.commandChecked(id); checked && a->isCheckable())
            a->setChecked(*checked);
        // Undo and redo name their step; the table's label gives the mnemonic and the keys.
        if (const auto label = doc.commandLabel(id)) {
            const QString keys = QString::fromUtf8(commandText(id)->label).section(QLatin1Char('\t'), 1);
            a->setText(QLatin1Char('&') + QString::fromStdString(*label).replace(QLatin1Char('&'), QStringLiteral("&&"))
                       + QLatin1Char('\t') + keys);
        }
    }
    m_wndStatusPanes[PANE_FORMAT]->setText(QString::fromStdString(doc.formatText()));
    m_actions[ID_VIEW_MAIN_TOOLBAR]->setChecked(!m_wndMainBar->isHidden());
    m_actions[ID_VIEW_MAP_TOOLBAR]->setChecked(!m_wndMapBar->isHidden());
    m_actions[ID_VIEW_VIEW_TOOLBAR]->setChecked(!m_wndViewBar->isHidden());
    m_actions[ID_VIEW_SELECTION_TOOLBAR]->setChecked(!m_wndSelectionBar->isHidden());
    m_actions[ID_VIEW_IMAGE_TOOLBAR]->setChecked(!m_wndImageBar->isHidden());
    m_actions[ID_VIEW_STATUS_BAR]->setChecked(!statusBar()->isHidden());
    m_bApplyingChecks = false;
    watchVolume();
}

QStringList CMainFrame::watchedFiles() const
{
    return m_pVolumeWatcher->files();
}

void CMainFrame::watchVolume()
{
    const QString path = QString::fromStdString(m_pDocument->volumePath());
    if (path != m_strWatchedVolume) {
        for (const QStringList& watched : {m_pVolumeWatcher->files(), m_pVolumeWatcher->directories()})
            if (!watched.isEmpty())
                m_pVolumeWatcher->removePaths(watched);
        m_strWatchedVolume = path;
    }
    if (path.isEmpty())
        return;
    if (!m_pVolumeWatcher->files().contains(path) && QFileInfo::exists(path))
        m_pVolumeWatcher->addPath(path);
    // The folder tells when a file appears under the volume's name again.
    const QString folder = QFileInfo(path).absolutePath();
    if (!m_pVolumeWatcher->directories().contains(folder))
        m_pVolumeWatcher->addPath(folder);
}

void CMainFrame::checkVolumeOnDisk()
{
    // Not in the middle of a command: while a dialog or message is open, a
    // sound plays (its own event loop) or work runs, the look waits.
    if (QApplication::activeModalWidget() || m_nWaitDepth > 0 || QThread::currentThread()->loopLevel() > 1) {
        m_pVolumeCheck->start();
        return;
    }
    // A file renamed over the volume keeps the watch on the old one (which we
    // still hold open): the watch is taken again on whatever the path names now.
    if (m_pVolumeWatcher->files().contains(m_strWatchedVolume))
        m_pVolumeWatcher->removePath(m_strWatchedVolume);
    m_pDocument->offerReopenIfChanged();
    updateCommandStates();
}

void CMainFrame::reloadExternalFile()
{
    // Not while a dialog, a message box or a menu has the program: the
    // picture it works on must stay until it is done. Saves meanwhile come
    // back as one reload.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || !m_pDocument->ready()) {
        if (!m_bExternalPending) {
            m_bExternalPending = true;
            QTimer::singleShot(EXTERNAL_RETRY_MS, this, [this] {
                m_bExternalPending = false;
                reloadExternalFile();
            });
        }
        return;
    }
    m_pDocument->externalFileSaved();
    updateCommandStates();
}

void CMainFrame::showReason(QAction* action, const QString& reason)
{
    const QString tip = action->property("defaultTip").toString();
    const QString prompt = action->property("defaultPrompt").toString();
    const QString wantTip = reason.isEmpty() ? tip : tip + QLatin1Char('\n') + reason;
    const QString wantPrompt = reason.isEmpty() ? prompt : reason;
    // Only a change touches the action: every change redraws its buttons.
    if (action->toolTip() != wantTip)
        action->setToolTip(wantTip);
    if (action->statusTip() != wantPrompt)
        action->setStatusTip(wantPrompt);
}

void CMainFrame::scheduleUpdate()
{
    if (m_bUpdatePending)
        return;
    m_bUpdatePending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_bUpdatePending)
            updateCommandStates();
    });
}

FrameSettings CMainFrame::currentSettings() const
{
    FrameSettings s;
    s.mainWinPos = QRect(frameGeometry().topLeft(), size());
    s.paneWidth = m_pPaneBrowser->width();
    s.paneHeight = m_pPaneBrowser->height();
    s.pane2Height = m_pTabsLeft->height();
    s.background = m_nBackground;
    s.toolbarState = saveState();
    s.recentFiles = m_recentFiles;
    s.keepBackup = m_pKeepBackup->isChecked();
    return s;
}

void CMainFrame::saveSettings()
{
    currentSettings().save(m_settings);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // Changes to the picture are lost with the program: the document asks first.
    if (!m_pDocument->confirmDiscard()) {
        event->ignore();
        return;
    }
    saveSettings();
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    if (mime->hasUrls() && !mime->urls().isEmpty() && mime->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    // A dropped file opens as one chosen in the file tree would.
    const QString path = urls.first().toLocalFile();
    if (m_pDocument->openFile(path.toStdString(), false))
        addRecentFile(path.toStdString());
    updateCommandStates();
}
