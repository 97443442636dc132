#include "ShellFixtures.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "codecs/imagefile/ImageFile.h"
#include "shell/CAboutWindow.h"
#include "shell/CExternalEditor.h"
#include "shell/CMainFrame.h"
#include "shell/KorvixApplication.h"
#include "views/CPictureView.h"
#include "views/CShortInfoView.h"

#include <QAction>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>
#include <QTimer>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QtTest>

namespace {

struct Frame {
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<CMainFrame> frame;
    QStringList messages;

    explicit Frame(const QTemporaryDir& dir) : settings(shelltest::settingsIn(dir))
    {
        frame = std::make_unique<CMainFrame>(*settings);
        // Every box is recorded; a question (the one before changes are given up) is answered "Ja".
        frame->messageHook = [this](const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) {
            messages << QString::fromStdString(text);
            return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        frame->resize(1100, 900);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }
    void closeAndSave()
    {
        frame->close();
        frame.reset();
        settings->sync();
    }
    CMainFrame* operator->() { return frame.get(); }
};

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT
private slots:
    void firstRunArrangement();
    void viewToolbarDocksAnywhereOnlyAfterDockingAll();
    void toolbarVisibilityAndBackgroundSurviveARestart();
    void actionsCarryTheirIdsAndTexts();
    void enablingFollowsTheDocumentRules();
    void startingWithAMissingOrDamagedFileKeepsRunning();
    void recentFilesAndMenuHint();
    void hotKeysActivatePanes();
    void undoAndRedoInTheEditMenu();
    void changedPictureMarksTheTitleAndQuittingAsks();
    void pasteAndCopyKeepAlphaThroughTheClipboard();
    void savedWindowRectangleOnlyWhenOnAScreen();
    void aboutWindowIsShapedAndClosesOnRightClick();
    void qtOwnTextsAreGerman();
    void fitAndTheZoomKeys();
    void disabledCommandsSayWhyAndPromptsKeepThePanes();
    void viewChecksFollowTheToolbarsHoweverTheyAreHidden();
    void openDialogTakesANameWithoutADot();
    void pictureMenuHoldsEveryImageOperation();
    void externalRoundTripThroughAnEditorThatRenamesOverTheFile();
    void aSaveWaitsWhileADialogWorksOnThePicture();
};

void MainFrameTest::firstRunArrangement()
{
    QTemporaryDir dir;
    Frame f(dir);
    QCOMPARE(f->toolBarArea(f->mainBar()), Qt::TopToolBarArea);
    QCOMPARE(f->toolBarArea(f->mapBar()), Qt::RightToolBarArea);
    // view, selection and image-processing bars in one row after the main bar
    const QList<QToolBar*> row = {f->mainBar(), f->viewBar(), f->selectionBar(), f->imageBar()};
    for (int i = 0; i < row.size(); ++i) {
        QCOMPARE(f->toolBarArea(row[i]), Qt::TopToolBarArea);
        QVERIFY(!f->toolBarBreak(row[i]));
        QCOMPARE(row[i]->y(), f->mainBar()->y());
        if (i > 0)
            QVERIFY(row[i]->x() > row[i - 1]->x());
    }
    QCOMPARE(f->mainSplitter()->sizes().at(0), 278);
    QCOMPARE(f->leftSplitter()->sizes().at(0), 350);
    QCOMPARE(f->leftSplitter()->sizes().at(1), 250);
    QCOMPARE(f->background(), 192);
    QCOMPARE(f->backgroundSlider()->value(), 192);
    QCOMPARE(f->pictureView()->background(), QColor(192, 192, 192));
    QCOMPARE(f->findChild<QLabel*>("StatusPane0")->width(), 90);
    QCOMPARE(f->findChild<QLabel*>("StatusPane1")->width(), 90);
    QVERIFY(f->findChild<QLabel*>("StatusPane2")->width() > 300);
    QCOMPARE(f->windowTitle(), QStringLiteral("Korvix"));
}

void MainFrameTest::viewToolbarDocksAnywhereOnlyAfterDockingAll()
{
    QTemporaryDir dir;
    Frame f(dir);
    QVERIFY(f->viewBar()->isAreaAllowed(Qt::TopToolBarArea));
    QVERIFY(f->viewBar()->isAreaAllowed(Qt::BottomToolBarArea));
    QVERIFY(!f->viewBar()->isAreaAllowed(Qt::LeftToolBarArea));
    QVERIFY(!f->viewBar()->isAreaAllowed(Qt::RightToolBarArea));
    QVERIFY(f->mainBar()->isAreaAllowed(Qt::LeftToolBarArea));

    f->runCommand(ID_VIEW_SELECTION_TOOLBAR);  // hidden bars stay hidden when docked
    f->addToolBar(Qt::BottomToolBarArea, f->mainBar());
    f->action(ID_DOCK_TOOLBARS)->trigger();
    QVERIFY(f->viewBar()->isAreaAllowed(Qt::LeftToolBarArea));
    QVERIFY(f->viewBar()->isAreaAllowed(Qt::RightToolBarArea));
    QCOMPARE(f->toolBarArea(f->mainBar()), Qt::TopToolBarArea);
    QCOMPARE(f->toolBarArea(f->mapBar()), Qt::RightToolBarArea);
    QCOMPARE(f->toolBarArea(f->imageBar()), Qt::TopToolBarArea);
    QVERIFY(f->selectionBar()->isHidden());
    QVERIFY(!f->action(ID_VIEW_SELECTION_TOOLBAR)->isChecked());
}

void MainFrameTest::toolbarVisibilityAndBackgroundSurviveARestart()
{
    QTemporaryDir dir;
    {
        Frame f(dir);
        QVERIFY(f->action(ID_VIEW_VIEW_TOOLBAR)->isChecked());
        f->action(ID_VIEW_VIEW_TOOLBAR)->trigger();
        QVERIFY(f->viewBar()->isHidden());
        QVERIFY(!f->action(ID_VIEW_VIEW_TOOLBAR)->isChecked());
        f->backgroundSlider()->setValue(0);  // as the user drags it
        QCOMPARE(f->pictureView()->background(), QColor(Qt::black));
        f->leftSplitter()->setSizes({200, 150, 300});
        f.closeAndSave();
    }
    QCOMPARE(FrameSettings::load(*shelltest::settingsIn(dir)).background, 0);
    QCOMPARE(shelltest::settingsIn(dir)->value("Settings/MainWinPos").toByteArray().size(), 16);
    Frame f(dir);
    QVERIFY(f->viewBar()->isHidden());
    QVERIFY(!f->action(ID_VIEW_VIEW_TOOLBAR)->isChecked());
    QCOMPARE(f->backgroundSlider()->value(), 0);
    QCOMPARE(f->pictureView()->background(), QColor(Qt::black));
    QCOMPARE(f->leftSplitter()->sizes().at(0), 200);
    QCOMPARE(f->leftSplitter()->sizes().at(1), 150);
}

void MainFrameTest::actionsCarryTheirIdsAndTexts()
{
    QTemporaryDir dir;
    Frame f(dir);
    const struct {
        int id;
        const char* text;
        const char* tip;
        const char* prompt;
    } cases[] = {
        {ID_FILE_OPEN, "Ö&ffnen\tStrg+O", "Öffnen", nullptr},
        {ID_EXPORT, "&Export\tStrg+E", "Textur exportieren", "Textur exportieren."},
        {ID_VIEW_RGB, "RGB", "RGB", "Bild in RGB Farben ohne Transparenz anzeigen."},
        {ID_OBJECT_INFO, nullptr, "Objektinfos", "Objektinfo."},
        {ID_VOLUME_DATA, nullptr, nullptr, "Dialog für globale QORB-Infos zeigen."},
        {ID_EXCLUDE_BLUE, nullptr, "Blau ausschließen.", nullptr},
        {ID_VIEW_MAP_TOOLBAR, "&MipMap-Steuerung", nullptr, nullptr},
        {ID_DOCK_TOOLBARS, "Toolbars andocken", nullptr, nullptr},
        {ID_APP_ABOUT, "Inf&o über Korvix...", nullptr, nullptr},
    };
    // With a picture and a volume shown every one of them is enabled, and
    // their own tips and prompts show.
    const QString volume = dir.filePath("v.qrb");
    {
        testsupport::VolumeSpec spec;
        spec.entries = {{"a.dat", testsupport::dataStart(1), 1, testsupport::LAST}};
        spec.data = {'x'};
        testsupport::writeFile(volume.toStdString(), testsupport::volumeBytes(spec));
    }
    QVERIFY(f->openStartupFile(volume));
    QVERIFY(f->openStartupFile(shelltest::writeTexture(dir, "t.tex", 8, 8, 1, false)));
    for (const auto& c : cases) {
        QAction* a = f->action(c.id);
        QVERIFY(a);
        QCOMPARE(a->data().toInt(), c.id);
        if (c.text)
            QCOMPARE(a->text(), QString::fromUtf8(c.text));
        if (c.tip)
            QCOMPARE(a->toolTip(), QString::fromUtf8(c.tip));
        if (c.prompt)
            QCOMPARE(a->statusTip(), QString::fromUtf8(c.prompt));
    }
    // The toolbars hold the commands in their order.
    QList<int> view;
    for (QAction* a : f->viewBar()->actions())
        if (!a->isSeparator() && a->data().isValid())
            view << a->data().toInt();
    QCOMPARE(view, (QList<int>{ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_RESET, ID_ZOOM_FIT, ID_VIEW_SMOOTH, ID_VIEW_RGB,
                               ID_VIEW_RGBA, ID_VIEW_ALPHA}));
    QList<int> maps;
    for (QAction* a : f->mapBar()->actions())
        maps << a->data().toInt();
    QCOMPARE(maps, (QList<int>{std::begin(MAP_COMMANDS), std::end(MAP_COMMANDS)}));
}

void MainFrameTest::enablingFollowsTheDocumentRules()
{
    QTemporaryDir dir;
    Frame f(dir);
    auto enabled = [&](int id) { return f->action(id)->isEnabled(); };
    // Nothing loaded: only what needs no texture.
    QVERIFY(enabled(ID_FILE_OPEN));
    for (int id : {ID_MAP_0, ID_ZOOM_IN, ID_VIEW_RGB, ID_VIEW_SMOOTH, ID_EXPORT, ID_VOLUME_DATA})
        QVERIFY2(!enabled(id), qPrintable(QString::number(id)));

    // 256 x 256 with 9 maps and alpha.
    const QString path = shelltest::writeTexture(dir, "nine.tex", 256, 256, 9, true);
    QVERIFY(f->openStartupFile(path));
    QVERIFY(f.messages.isEmpty());
    for (int k = 0; k < 10; ++k)
        QCOMPARE(enabled(MAP_COMMANDS[k]), k <= 8);
    QVERIFY(f->action(ID_MAP_8)->isChecked());
    QVERIFY(enabled(ID_ZOOM_IN));
    QVERIFY(!enabled(ID_ZOOM_OUT));
    QVERIFY(!enabled(ID_ZOOM_RESET));
    QVERIFY(enabled(ID_VIEW_RGBA));
    QVERIFY(f->action(ID_VIEW_RGB)->isChecked());
    QCOMPARE(f->statusText(0), QStringLiteral(" 256 x 256"));
    QCOMPARE(f->statusText(1), QStringLiteral(" Zoom: x 1 "));
    QCOMPARE(f->statusText(2), QStringLiteral(" ") + path);
    QCOMPARE(f->windowTitle(), path + QStringLiteral(" - Korvix 0.93"));

    f->action(ID_ZOOM_IN)->trigger();
    QCOMPARE(f->pictureView()->zoom(), 2.0f);
    QVERIFY(enabled(ID_ZOOM_OUT));
    QCOMPARE(f->statusText(1), QStringLiteral(" Zoom: x 2 "));
    f->action(ID_MAP_3)->trigger();
    QVERIFY(f->action(ID_MAP_3)->isChecked());
    QCOMPARE(f->statusText(0), QStringLiteral(" 8 x 8"));  // maps count from the smallest

    // The empty view's tab in front: the view commands need a visible picture.
    f->activatePane(5);
    for (int id : {ID_ZOOM_IN, ID_ZOOM_OUT, ID_MAP_0, ID_VIEW_SMOOTH})
        QVERIFY2(!enabled(id), qPrintable(QString::number(id)));
    QVERIFY(enabled(ID_VIEW_RGB));
    f->action(ID_VIEW_ALPHA)->trigger();  // brings the picture back to the front
    QCOMPARE(f->rightTabs()->currentWidget(), f->pictureView());
    QVERIFY(f->action(ID_VIEW_ALPHA)->isChecked());

    // Every action the document rules agrees with the document.
    for (int id : {ID_MAP_0, ID_MAP_9, ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_RESET, ID_VIEW_RGB, ID_VIEW_RGBA,
                   ID_VIEW_ALPHA, ID_VIEW_SMOOTH, ID_EXPORT, ID_VOLUME_DATA, ID_FILE_OPEN})
        QCOMPARE(enabled(id), f->document().commandEnabled(id));

    // A texture without alpha: RGBA and alpha view off, the display back to RGB.
    const QString flat = shelltest::writeTexture(dir, "flat.tex", 64, 64, 1, false);
    QVERIFY(f->openStartupFile(flat));
    QVERIFY(!enabled(ID_VIEW_RGBA));
    QVERIFY(!enabled(ID_VIEW_ALPHA));
    QVERIFY(f->action(ID_VIEW_RGB)->isChecked());
    QVERIFY(!enabled(ID_MAP_1));
    QVERIFY(f->action(ID_MAP_0)->isChecked());
}

void MainFrameTest::startingWithAMissingOrDamagedFileKeepsRunning()
{
    QTemporaryDir dir;
    testsupport::writeFile(dir.filePath("damaged.tex").toStdString(),
                           std::vector<unsigned char>{'K', 'T', 'E', 'X', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                                      14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                                                      29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
                                                      44, 45, 46});
    testsupport::writeFile(dir.filePath("damaged.png").toStdString(), std::vector<unsigned char>(100, 0x42));
    const struct {
        QString path;
        const char* message;
    } cases[] = {
        {dir.filePath("missing.tex"), "Fehler beim Laden der Textur."},
        {dir.filePath("damaged.tex"), "Fehler beim Laden der Textur."},
        {dir.filePath("damaged.png"), "Fehler beim Laden der Textur."},
        {dir.filePath("noextension"), "Dateityp unbekannt, bitte Extension ('.tex', '.bmp' etc.) verwenden."},
    };
    for (const auto& c : cases) {
        Frame f(dir);
        QVERIFY(!f->openStartupFile(c.path));
        QVERIFY2(!f.messages.isEmpty(), qPrintable(c.path));
        // The text, then the file and the cause where there is one.
        QCOMPARE(f.messages.last().section(QStringLiteral("\n\n"), 0, 0), QString::fromUtf8(c.message));
        QVERIFY(f->isVisible());
        QCOMPARE(f->statusText(0), QStringLiteral(" "));
        QVERIFY(!f->action(ID_EXPORT)->isEnabled());
        QVERIFY(f->action(ID_FILE_OPEN)->isEnabled());
        QVERIFY(f->recentFiles().isEmpty());
    }
}

void MainFrameTest::recentFilesAndMenuHint()
{
    QTemporaryDir dir;
    {
        Frame f(dir);
        for (int i = 0; i < 10; ++i)
            f->addRecentFile(QStringLiteral("/f%1.tex").arg(i).toStdString());
        f->addRecentFile("/f5.tex");
        QCOMPARE(f->recentFiles().size(), 8);
        QCOMPARE(f->recentFiles().first(), QStringLiteral("/f5.tex"));
        QCOMPARE(f->recentFiles().count(QStringLiteral("/f5.tex")), 1);
        f->removeRecentFile(0);
        QCOMPARE(f->recentFiles().first(), QStringLiteral("/f9.tex"));

        f->setStatusText(2, " name.tex");
        f->showMenuHint(QStringLiteral("Entpacken"));
        QCOMPARE(f->statusText(2), QStringLiteral(" (Entpacken)"));
        f->showMenuHint(QStringLiteral("Umbenennen"));
        f->restoreMenuHint();
        QCOMPARE(f->statusText(2), QStringLiteral(" name.tex"));
        f.closeAndSave();
    }
    Frame f(dir);
    QCOMPARE(f->recentFiles().size(), 7);
    QCOMPARE(f->recentFiles().first(), QStringLiteral("/f9.tex"));
}

void MainFrameTest::hotKeysActivatePanes()
{
    QTemporaryDir dir;
    Frame f(dir);
    f->activateWindow();
    QTest::keyClick(f.frame.get(), Qt::Key_5, Qt::AltModifier);
    QCOMPARE(f->rightTabs()->currentIndex(), 1);
    QTest::keyClick(f.frame.get(), Qt::Key_4, Qt::AltModifier);
    QCOMPARE(f->rightTabs()->currentIndex(), 0);
    QTest::keyClick(f.frame.get(), Qt::Key_3, Qt::AltModifier);
    QCOMPARE(f->lowerLeftTabs()->currentIndex(), 0);
    QTest::keyClick(f.frame.get(), Qt::Key_2, Qt::AltModifier);
    QCOMPARE(f->lowerLeftTabs()->currentIndex(), 1);
}

void MainFrameTest::pasteAndCopyKeepAlphaThroughTheClipboard()
{
    QTemporaryDir dir;
    Frame f(dir);
    QGuiApplication::clipboard()->clear();
    f->updateCommandStates();
    QVERIFY(!f->action(ID_EDIT_PASTE)->isEnabled());
    QVERIFY(!f->action(ID_EDIT_COPY)->isEnabled());

    QImage picture(40, 30, QImage::Format_ARGB32);
    picture.fill(QColor(10, 20, 30, 40));
    picture.setPixelColor(3, 2, QColor(200, 100, 50));
    QGuiApplication::clipboard()->setImage(picture);
    f->updateCommandStates();
    QVERIFY(f->action(ID_EDIT_PASTE)->isEnabled());
    f->action(ID_EDIT_PASTE)->trigger();

    const CKestrelDoc& doc = f->document();
    QCOMPARE(doc.mapCount(), 1);
    const PixelBitmap& map = (*doc.maps())[0];
    QCOMPARE(map.width(), 40);
    QCOMPARE(map.height(), 30);
    QVERIFY(map.hasAlpha());
    QVERIFY(doc.hasAlpha());
    QCOMPARE(map.pixelAt(3, 2), 0xFFC86432u);
    QCOMPARE(map.pixelAt(0, 0), 0x280A141Eu);  // alpha 40 kept
    QCOMPARE(f->statusText(2), QStringLiteral(" Daten aus der Zwischenablage"));
    QCOMPARE(f->statusText(0), QStringLiteral(" 40 x 30"));
    QCOMPARE(f->statusText(CMainFrame::PANE_FORMAT), QStringLiteral(" Zwischenablage · Alpha"));
    QVERIFY(f->action(ID_MAP_0)->isChecked());
    QVERIFY(!f->action(ID_MAP_1)->isEnabled());
    QVERIFY(f->action(ID_VIEW_RGBA)->isEnabled());

    // "Kopieren" puts the shown map back, alpha included: map 2 of a texture here.
    const QString path = shelltest::writeTexture(dir, "four.tex", 64, 64, 4, true, [](int m, int x, int y) {
        return static_cast<std::uint32_t>(m * 50 + x) << 24 | static_cast<std::uint32_t>(y) << 8 | 0x11u;
    });
    QVERIFY(f->openStartupFile(path));
    f->action(ID_MAP_2)->trigger();
    QVERIFY(f->action(ID_EDIT_COPY)->isEnabled());
    QTest::keyClick(f.frame.get(), Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(32, 32));
    QVERIFY(copied.hasAlphaChannel());
    QCOMPARE(copied.convertToFormat(QImage::Format_ARGB32).pixel(5, 7), qRgba(0, 7, 0x11, 100 + 5));
}

void MainFrameTest::undoAndRedoInTheEditMenu()
{
    QTemporaryDir dir;
    Frame f(dir);
    QMenu* edit = nullptr;
    for (QAction* a : f->menuBar()->actions())
        if (a->text() == QStringLiteral("&Bearbeiten"))
            edit = a->menu();
    QVERIFY(edit);
    const QList<QAction*> items = edit->actions();
    QCOMPARE(items.size(), 9);
    QCOMPARE(items[0], f->action(ID_EDIT_UNDO));
    QCOMPARE(items[1], f->action(ID_EDIT_REDO));
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3], f->action(ID_EDIT_COPY));
    QCOMPARE(items[4], f->action(ID_EDIT_PASTE));
    QVERIFY(items[5]->isSeparator());
    QCOMPARE(items[6], f->action(ID_EXTERNAL_EDIT));
    QVERIFY(items[7]->isSeparator());
    QCOMPARE(items[8], f->keepBackupAction());
    QCOMPARE(f->action(ID_EDIT_UNDO)->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z)});
    QCOMPARE(f->action(ID_EDIT_REDO)->shortcuts(),
             (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}));

    auto state = [&](int id) { return std::make_pair(f->action(id)->isEnabled(), f->action(id)->text()); };
    using State = std::pair<bool, QString>;
    QCOMPARE(state(ID_EDIT_UNDO), State(false, QStringLiteral("&Rückgängig\tStrg+Z")));
    QCOMPARE(state(ID_EDIT_REDO), State(false, QStringLiteral("&Wiederholen\tStrg+Y")));

    QVERIFY(f->openStartupFile(shelltest::writeTexture(dir, "a.tex", 32, 32, 1, true)));
    QCOMPARE(state(ID_EDIT_UNDO).first, false);
    f->action(ID_INVERT_COLOUR)->trigger();
    f->action(ID_MIRROR_H)->trigger();
    QCOMPARE(state(ID_EDIT_UNDO), State(true, QStringLiteral("&Rückgängig: Horizontal spiegeln\tStrg+Z")));
    QCOMPARE(state(ID_EDIT_REDO).first, false);

    // The keys reach the commands wherever the focus is in the window.
    f->pictureView()->setFocus();
    QTest::keyClick(f.frame.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(state(ID_EDIT_UNDO), State(true, QStringLiteral("&Rückgängig: Farbe invertieren\tStrg+Z")));
    QCOMPARE(state(ID_EDIT_REDO), State(true, QStringLiteral("&Wiederholen: Horizontal spiegeln\tStrg+Y")));
    QTest::keyClick(f.frame.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(state(ID_EDIT_UNDO), State(false, QStringLiteral("&Rückgängig\tStrg+Z")));
    QTest::keyClick(f.frame.get(), Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(f.frame.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(f->document().history().undoCount(), 2u);
    QCOMPARE(state(ID_EDIT_REDO).first, false);
    QVERIFY(f.messages.isEmpty());
}

void MainFrameTest::changedPictureMarksTheTitleAndQuittingAsks()
{
    QTemporaryDir dir;
    auto settings = shelltest::settingsIn(dir);
    CMainFrame frame(*settings);
    QStringList questions;
    MessageAnswer answer = MessageAnswer::No;
    frame.messageHook = [&](const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) {
        if (buttons == MessageButtons::YesNo)
            questions << QString::fromStdString(text);
        return buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
    };
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    const QString path = shelltest::writeTexture(dir, "a.tex", 16, 16, 1, true);
    QVERIFY(frame.openStartupFile(path));
    const QString title = path + QStringLiteral(" - Korvix 0.93");
    QCOMPARE(frame.windowTitle(), title);
    frame.close();  // nothing changed: no question
    QVERIFY(questions.isEmpty());
    QVERIFY(!frame.isVisible());

    frame.show();
    frame.runCommand(ID_ROTATE_CW);
    QCOMPARE(frame.windowTitle(), QLatin1Char('*') + title);
    frame.runCommand(ID_EDIT_UNDO);
    QCOMPARE(frame.windowTitle(), title);
    frame.runCommand(ID_EDIT_REDO);
    QCOMPARE(frame.windowTitle(), QLatin1Char('*') + title);

    // "Nein" keeps the window and the picture; "Ja" quits.
    frame.close();
    QCOMPARE(questions, QStringList{QStringLiteral("Die Änderungen am Bild gehen verloren. Fortfahren?")});
    QVERIFY(frame.isVisible());
    QVERIFY(frame.document().isModified());
    answer = MessageAnswer::Yes;
    frame.close();
    QCOMPARE(questions.size(), 2);
    QVERIFY(!frame.isVisible());

    // AskBeforeDiscard=false switches the question off.
    settings->setValue("Settings/AskBeforeDiscard", false);
    CMainFrame quiet(*settings);
    QVERIFY(!quiet.document().askBeforeDiscard());
}

void MainFrameTest::savedWindowRectangleOnlyWhenOnAScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        QRect saved;
        bool used;
    } cases[] = {
        {QRect(screen.topLeft() + QPoint(20, 30), QSize(700, 500)), true},
        {QRect(screen.right() + 5000, screen.bottom() + 5000, 700, 500), false},  // a monitor that is gone
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        {
            auto s = shelltest::settingsIn(dir);
            s->setValue("Settings/MainWinPos", FrameSettings::encodeWindowRect(c.saved));
        }
        auto s = shelltest::settingsIn(dir);
        CMainFrame frame(*s);
        QCOMPARE(frame.size() == c.saved.size(), c.used);
        QCOMPARE(frame.pos() == c.saved.topLeft(), c.used);
    }
}

void MainFrameTest::aboutWindowIsShapedAndClosesOnRightClick()
{
    CAboutWindow about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.size(), QSize(254, 239));
    const QRegion shape = about.mask();
    QVERIFY(!shape.isEmpty());
    QVERIFY(!shape.contains(QPoint(0, 0)));     // the magenta corner is cut away
    QVERIFY(shape.contains(QPoint(127, 120)));  // the middle of the picture stays
    QVERIFY(about.findChild<QLabel*>("Credit")->text().startsWith(QStringLiteral("Korvix 0.93")));
    QTest::mouseClick(&about, Qt::RightButton, {}, QPoint(127, 120));
    QVERIFY(!about.isVisible());

    // The region is built from runs of non-key pixels in each row.
    QImage key(6, 2, QImage::Format_RGB32);
    key.fill(qRgb(255, 0, 255));
    key.setPixel(1, 0, qRgb(0, 0, 0));
    key.setPixel(2, 0, qRgb(255, 0, 254));
    key.setPixel(5, 1, qRgb(1, 1, 1));
    const QRegion r = CAboutWindow::regionFromPicture(key, qRgb(255, 0, 255));
    QCOMPARE(r, QRegion(1, 0, 2, 1) + QRegion(5, 1, 1, 1));
}

void MainFrameTest::qtOwnTextsAreGerman()
{
    QVERIFY(installQtTranslations(*QCoreApplication::instance()));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Save);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
    QCOMPARE(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("Speichern"));
    // The file dialogs are Qt's own widgets here, so their labels come from the same translations.
    QFileDialog dialog(nullptr, QString(), QDir::tempPath());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel* l : dialog.findChildren<QLabel*>())
        labels << l->text();
    QVERIFY2(labels.join('|').contains(QStringLiteral("Datei&name:")), qPrintable(labels.join('|')));
}

void MainFrameTest::fitAndTheZoomKeys()
{
    QTemporaryDir dir;
    Frame f(dir);
    const QString path = shelltest::writeTexture(dir, "big.tex", 2048, 2048, 1, false);
    QVERIFY(f->openStartupFile(path));
    QCOMPARE(f->statusText(CMainFrame::PANE_FORMAT), QStringLiteral(" RGB 565 · 1 Map"));
    CPictureView* view = f->pictureView();
    const QSize area = view->maximumViewportSize();
    QVERIFY(area.width() < 1024 && area.height() < 1024 && area.height() >= 512);

    // Ctrl+9: the largest step that shows all of it.
    QTest::keyClick(f.frame.get(), Qt::Key_9, Qt::ControlModifier);
    QCOMPARE(view->zoom(), 0.25f);
    QCOMPARE(f->statusText(1), QStringLiteral(" Zoom: 1:4 "));
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    QVERIFY(!f->action(ID_ZOOM_OUT)->isEnabled());  // it fits: no smaller step
    QTest::keyClick(f.frame.get(), Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(view->zoom(), 0.5f);
    QTest::keyClick(f.frame.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(view->zoom(), 1.0f);
    QCOMPARE(f->statusText(1), QStringLiteral(" Zoom: x 1 "));
    QTest::keyClick(f.frame.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(view->zoom(), 0.5f);
    QTest::keyClick(f.frame.get(), Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(view->zoom(), 1.0f);
    QTest::keyClick(f.frame.get(), Qt::Key_Plus, Qt::KeypadModifier);
    QCOMPARE(view->zoom(), 2.0f);
}

void MainFrameTest::disabledCommandsSayWhyAndPromptsKeepThePanes()
{
    QTemporaryDir dir;
    Frame f(dir);
    const QString path = shelltest::writeTexture(dir, "three.tex", 64, 64, 3, true);
    QVERIFY(f->openStartupFile(path));
    QAction* blur = f->action(ID_BLUR);
    QVERIFY(!blur->isEnabled());
    const QString why = QStringLiteral("Nur bei Texturen mit einer Map – „Kleine Maps entfernen“ entfernt die übrigen.");
    QCOMPARE(blur->toolTip(), QStringLiteral("Weichzeichnen\n") + why);
    QCOMPARE(blur->statusTip(), why);

    // The pointer over the disabled button: its prompt shows, and the size,
    // zoom and name panes stay.
    QWidget* button = f->imageBar()->widgetForAction(blur);
    QVERIFY(button);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(button, &enter);
    QCOMPARE(f->promptText(), why);
    for (const char* pane : {"StatusPane0", "StatusPane1", "StatusPane2"})
        QVERIFY2(f->findChild<QLabel*>(pane)->isVisible(), pane);
    QCOMPARE(f->statusText(0), QStringLiteral(" 64 x 64"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    QCOMPARE(f->promptText(), QString());

    // Once the small maps are gone the command is enabled with its own texts.
    f->messageHook = [](const std::string&, const std::string&, MessageIcon, MessageButtons) { return MessageAnswer::Ok; };
    f->action(ID_REMOVE_SMALL_MAPS)->trigger();
    QVERIFY(blur->isEnabled());
    QCOMPARE(blur->toolTip(), QStringLiteral("Weichzeichnen"));
    QCOMPARE(blur->statusTip(), QStringLiteral("Weichzeichnen."));
    QCOMPARE(f->statusText(CMainFrame::PANE_FORMAT), QStringLiteral(" RGBA 8888 · 1 Map · Alpha"));
}

void MainFrameTest::viewChecksFollowTheToolbarsHoweverTheyAreHidden()
{
    QTemporaryDir dir;
    Frame f(dir);
    // Qt's own toolbar menu (the right click on a bar) hides through the bar's toggle.
    const struct {
        QToolBar* bar;
        int id;
    } bars[] = {{f->mainBar(), ID_VIEW_MAIN_TOOLBAR}, {f->imageBar(), ID_VIEW_IMAGE_TOOLBAR}};
    for (const auto& b : bars) {
        QVERIFY(f->action(b.id)->isChecked());
        b.bar->toggleViewAction()->trigger();
        QVERIFY(b.bar->isHidden());
        QVERIFY(!f->action(b.id)->isChecked());
        b.bar->toggleViewAction()->trigger();
        QVERIFY(f->action(b.id)->isChecked());
    }
}

void MainFrameTest::openDialogTakesANameWithoutADot()
{
    QTemporaryDir dir;
    Frame f(dir);
    testsupport::writeFile(dir.filePath("replacement").toStdString(), std::vector<unsigned char>{1, 2, 3});
    // The dialog of "Ersetzen (durch Datei)": no type list, default extension "*.*".
    QTimer::singleShot(0, [&dir] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setDirectory(dir.path());
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(QStringLiteral("replacement"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    // Should the name be refused, the dialog stays open over its warning:
    // close both, so that the test fails instead of hanging.
    QTimer rescue;
    QObject::connect(&rescue, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                box->reject();
            else if (auto* files = qobject_cast<QFileDialog*>(w); files && files->isVisible())
                files->reject();
        }
    });
    rescue.start(3000);
    const auto chosen = f->chooseOpenFile({}, "*.*");
    rescue.stop();
    QVERIFY(chosen);
    QCOMPARE(QString::fromStdString(*chosen), dir.filePath("replacement"));
}

void MainFrameTest::pictureMenuHoldsEveryImageOperation()
{
    QTemporaryDir dir;
    Frame f(dir);
    auto* menu = f->findChild<QMenu*>(QStringLiteral("PictureMenu"));
    QVERIFY(menu);
    QCOMPARE(menu->title(), QStringLiteral("&Bild"));
    QList<QAction*> inMenu, onBar;
    for (QAction* a : menu->actions())
        inMenu << (a->isSeparator() ? nullptr : a);
    for (QAction* a : f->imageBar()->actions())
        onBar << (a->isSeparator() ? nullptr : a);
    QCOMPARE(inMenu, onBar);  // the same actions: texts, icons and enabling with them
    QVERIFY(menu->actions().contains(f->action(ID_REMOVE_SMALL_MAPS)));
}

void MainFrameTest::externalRoundTripThroughAnEditorThatRenamesOverTheFile()
{
    QTemporaryDir dir;
    Frame f(dir);
    const auto pixel = [](int, int x, int y) {
        return static_cast<std::uint32_t>(x * 3 + y) << 24 | static_cast<std::uint32_t>(x * 4) << 16
               | static_cast<std::uint32_t>(y * 4) << 8 | 0x5Au;
    };
    QVERIFY(f->openStartupFile(shelltest::writeTexture(dir, "wall.tex", 64, 64, 1, true, pixel)));
    const CKestrelDoc& doc = f->document();
    const PixelBitmap original = (*doc.maps())[0];
    PixelBitmap edited = original;
    edited.row(9)[4 * 7 + 1] = 0xEE;
    const QString editedPath = dir.filePath("edited.png");
    encodePng(editedPath.toStdString(), edited);

    // The editor: saves the file unchanged, then, when told, the edited
    // picture; each time a new file renamed over the old one.
    const QString script = dir.filePath("editor.sh");
    const QString go = dir.filePath("go");
    {
        QFile out(script);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("edited=$1; go=$2; file=$3\n"
                  "cp \"$file\" \"$file.new\" && mv \"$file.new\" \"$file\"\n"
                  "i=0; while [ ! -e \"$go\" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
                  "cp \"$edited\" \"$file.new\" && mv \"$file.new\" \"$file\"\n");
    }
    f.settings->setValue(CExternalEditor::SETTING,
                         QStringLiteral("/bin/sh \"%1\" \"%2\" \"%3\"").arg(script, editedPath, go));

    QTest::keyClick(f.frame.get(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(QFileInfo(QString::fromStdString(doc.externalFile())).fileName(), QStringLiteral("wall.png"));
    QCOMPARE(f->statusText(CMainFrame::PANE_EXTERNAL), QStringLiteral(" Extern: wall.png "));
    QVERIFY(f->findChild<QLabel*>("StatusPane4")->isVisible());
    const QString folder = QFileInfo(QString::fromStdString(doc.externalFile())).absolutePath();

    // Saved unchanged: loaded back from the PNG, every byte as it was.
    QTRY_COMPARE(f->statusText(CMainFrame::PANE_FORMAT), QStringLiteral(" PNG · Alpha"));
    QVERIFY(doc.hasAlpha());
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            QCOMPARE((*doc.maps())[0].pixelAt(x, y), original.pixelAt(x, y));

    // The second save, again renamed over the first: the watch is still there.
    QFile(go).open(QIODevice::WriteOnly);
    QTRY_COMPARE((*doc.maps())[0].pixelAt(7, 9), edited.pixelAt(7, 9));
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(f->statusText(2), QStringLiteral(" ") + dir.filePath("wall.tex"));

    // Another picture ends the watch; the folder goes with the program.
    QVERIFY(f->openStartupFile(shelltest::writeTexture(dir, "other.tex", 8, 8, 1, false)));
    QVERIFY(!f->findChild<QLabel*>("StatusPane4")->isVisible());
    QVERIFY(QFileInfo::exists(folder));
    f.frame.reset();
    QVERIFY(!QFileInfo::exists(folder));
}

void MainFrameTest::aSaveWaitsWhileADialogWorksOnThePicture()
{
    QTemporaryDir dir;
    Frame f(dir);
    QVERIFY(f->openStartupFile(shelltest::writeTexture(dir, "wall.tex", 16, 16, 1, true)));
    f.settings->setValue(CExternalEditor::SETTING, QStringLiteral("/bin/true"));
    f->action(ID_EXTERNAL_EDIT)->trigger();
    const CKestrelDoc& doc = f->document();
    QVERIFY(!doc.externalFile().empty());

    // A dialog is open over the picture (an adjustment's preview works on it)
    // when the other program saves.
    QDialog busy(f.frame.get());
    busy.setModal(true);
    busy.show();
    PixelBitmap edited = (*doc.maps())[0];
    edited.row(0)[0] = 0x77;
    const QString file = QString::fromStdString(doc.externalFile());
    encodePng((file + QStringLiteral(".new")).toStdString(), edited);
    std::filesystem::rename((file + QStringLiteral(".new")).toStdString(), file.toStdString());  // over the old one
    QTest::qWait(CExternalEditor::SETTLE_MS + 400);
    QCOMPARE(doc.origin().kind, PictureOrigin::Kind::Texture);  // not yet
    busy.close();
    QTRY_COMPARE(doc.origin().kind, PictureOrigin::Kind::Image);
    QCOMPARE((*doc.maps())[0].pixelAt(0, 0) & 0xFFu, 0x77u);
}

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
