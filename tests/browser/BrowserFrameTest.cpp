// The browser inside the main frame: the directory tree's menu and the
// extraction it runs on a worker thread behind the progress dialog, with the
// question for existing files asked on the user-interface thread; text
// entries in the picture pane's second tab; and the window to assistive
// technology: every control named, every accessible action running the
// command a click runs.
#include "AccessibleTree.h"
#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "views/CPictureView.h"
#include "views/CTextView.h"
#include "views/browser/CEntryListCtrl.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"
#include "views/browser/EntryPageModel.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct Window {
    QTemporaryDir home;
    QSettings settings{home.filePath("k.ini"), QSettings::IniFormat};
    CMainFrame frame{settings};
    DesktopPanes panes{frame};
    QStringList messages;
    fs::path dir{home.path().toStdString()};

    Window()
    {
        frame.messageHook = [this](const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) {
            messages << QString::fromStdString(text);
            return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        frame.resize(1100, 800);
        frame.show();
    }
    // "tex" (wall.tex: a 16 x 16 RGBA 8888 texture, readme.txt), "snd" (a.wav),
    // and the top-level "notes.ini".
    void openSample()
    {
        const auto wall = textureBytes(16, 16, 1, 2, [](int, int x, int) { return 0x80FF0000u | static_cast<std::uint32_t>(x); });
        const std::vector<std::pair<std::string, std::vector<unsigned char>>> files = {
            {"wall.tex", wall}, {"readme.txt", {'r', 'e', 'a', 'd'}}, {"a.wav", {'R', 'I', 'F', 'F'}}, {"notes.ini", {'[', ']'}}};
        VolumeSpec spec;
        spec.entries = {{"tex", 3, 0, DIR}, {"snd", 5, 0, DIR}, {"notes.ini", 0, 0, LAST},
                        {"wall.tex", 0, 0, 0}, {"readme.txt", 0, 0, LAST}, {"a.wav", 0, 0, LAST}};
        std::uint32_t at = dataStart(spec.entries.size());
        for (const auto& [name, bytes] : files) {
            for (RawEntry& e : spec.entries)
                if (e.name == name) {
                    e.offset = at;
                    e.size = static_cast<std::uint32_t>(bytes.size());
                }
            spec.data.insert(spec.data.end(), bytes.begin(), bytes.end());
            at += static_cast<std::uint32_t>(bytes.size());
        }
        writeFile(dir / "v.qrb", volumeBytes(spec));
        QVERIFY(frame.openStartupFile(QString::fromStdString((dir / "v.qrb").string())));
    }
};

std::string textOf(const fs::path& path)
{
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

class BrowserFrameTest : public QObject {
    Q_OBJECT

private slots:
    // The tree's menu exports a directory with its tree or the whole volume;
    // the run asks about an existing file on the user-interface thread while
    // the worker waits.
    void theDirectoryMenuExportsThroughTheWorker()
    {
        Window w;
        w.openSample();
        CHelperTree* tree = w.panes.helperTree();
        const auto texts = [&](int itemData) {
            QStringList out;
            if (auto menu = tree->menuFor(tree->itemFor(itemData)))
                for (QAction* a : menu->actions())
                    out << a->text();
            return out;
        };
        QCOMPARE(texts(ITEM_VOLUME_ROOT), QStringList{"Volume exportieren…"});
        QCOMPARE(texts(0), (QStringList{"Verzeichnis exportieren…", "Löschen"}));

        const fs::path out = w.dir / "out";
        fs::create_directories(out / "tex");
        writeFile(out / "tex" / "readme.txt", {'o', 'l', 'd'});
        QStringList titles;
        w.frame.folderHook = [&](const std::string& title) {
            titles << QString::fromStdString(title);
            return std::optional<std::string>(out.string());
        };
        std::vector<std::string> asked;
        Qt::HANDLE askedOn = nullptr;
        w.frame.overwriteHook = [&](const std::string& path) {
            asked.push_back(path);
            askedOn = QThread::currentThreadId();
            return OverwriteAnswer::Overwrite;
        };
        emit tree->commandChosen(ID_TREE_EXPORT_DIRECTORY, 0);
        QCOMPARE(titles, QStringList{"Ordner für den Export wählen"});
        QCOMPARE(asked, std::vector<std::string>{(out / "tex" / "readme.txt").string()});
        QCOMPARE(askedOn, QThread::currentThreadId());
        QCOMPARE(textOf(out / "tex" / "readme.txt"), std::string("read"));
        QCOMPARE(fs::file_size(out / "tex" / "wall.tex"), std::uintmax_t{36 + 16 * 16 * 4});
        QVERIFY(!fs::exists(out / "snd"));

        w.frame.overwriteHook = [&](const std::string&) { return OverwriteAnswer::OverwriteAll; };
        emit tree->commandChosen(ID_TREE_EXPORT_VOLUME, ITEM_VOLUME_ROOT);
        QCOMPARE(textOf(out / "notes.ini"), std::string("[]"));
        QCOMPARE(textOf(out / "snd" / "a.wav"), std::string("RIFF"));
        QVERIFY(w.messages.isEmpty());
        QCOMPARE(w.settings.value("Settings/ExtractFolder"), QVariant());  // the hook chose, not the dialog
    }

    // A long run shows files, bytes and the current name, and "Abbrechen" ends it.
    void theProgressDialogShowsAndCancels()
    {
        Window w;
        bool sawCancel = false;
        QString label;
        QTimer::singleShot(1200, &w.frame, [&] {
            auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            label = dialog->labelText();
            auto* cancel = dialog->findChild<QPushButton*>();
            QVERIFY(cancel);
            QCOMPARE(cancel->text(), QStringLiteral("Abbrechen"));
            cancel->click();
        });
        w.frame.runLongWork("Exportieren", [&](const std::atomic<bool>& cancel, const std::function<void(const WorkProgress&)>& report) {
            for (std::uint64_t i = 0; !cancel; ++i) {
                report({std::min<std::uint64_t>(i, 12), 20000, 3400000, 29100000, "textures/wall.tex"});
                QThread::msleep(5);
            }
            sawCancel = true;
        });
        QVERIFY(sawCancel);
        QCOMPARE(label, QStringLiteral("12 von 20.000 Dateien, 3,4 MB von 29,1 MB\ntextures/wall.tex"));
        QVERIFY(!QApplication::activeModalWidget());

        // A short run shows no dialog at all.
        QTimer::singleShot(0, &w.frame, [&] { QVERIFY(!QApplication::activeModalWidget()); });
        w.frame.runLongWork("Exportieren", [](const std::atomic<bool>&, const std::function<void(const WorkProgress&)>&) {
            QThread::msleep(50);
        });
    }

    void textEntriesShowInTheSecondTab()
    {
        Window w;
        w.openSample();
        CQORBView* browser = w.panes.browser();
        w.panes.helperTree()->setCurrentItem(w.panes.helperTree()->itemFor(0));
        CEntryListCtrl* list = browser->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(browser->model()->index(1)).center());
        QCOMPARE(w.frame.rightTabs()->currentWidget(), w.frame.textView());
        QCOMPARE(w.frame.textView()->toPlainText(), QStringLiteral("read"));
        QVERIFY(w.frame.textView()->isReadOnly());
        QVERIFY(w.frame.textView()->font().fixedPitch() || QFontInfo(w.frame.textView()->font()).fixedPitch());
        // A texture goes to the picture, the first tab.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(browser->model()->index(0)).center());
        QCOMPARE(w.frame.rightTabs()->currentWidget(), static_cast<QWidget*>(w.frame.pictureView()));
    }

    // The browser by keyboard alone inside the window: Ctrl+F reaches the
    // filter from the directory tree, Escape empties it, and the list takes
    // Ctrl+A and a move that leaves one entry, which loads.
    void theBrowserByKeyboardInsideTheWindow()
    {
        Window w;
        w.openSample();
        w.frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.frame));
        CHelperTree* tree = w.panes.helperTree();
        CQORBView* browser = w.panes.browser();
        tree->setFocus();
        tree->setCurrentItem(tree->itemFor(0));
        QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(browser->filterField()->hasFocus());
        QTest::keyClicks(browser->filterField(), "READ");
        QCOMPARE(browser->model()->rowCount(), 1);
        QTest::keyClick(browser->filterField(), Qt::Key_Escape);
        QCOMPARE(browser->model()->rowCount(), 2);
        CEntryListCtrl* list = browser->list();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(browser->selectedEntries().size(), 2u);
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(browser->selectedEntries().size(), 1u);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(w.frame.document().name(), std::string("wall.tex"));
    }

    // Walking the main window's accessible tree finds no interactive control
    // without a name, before and after a volume is open, in the list and in
    // the thumbnail view.
    void everyControlOfTheWindowHasAName()
    {
        Window w;
        QStringList unnamed = unnamedControls(&w.frame);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        w.openSample();
        w.panes.helperTree()->setCurrentItem(w.panes.helperTree()->itemFor(0));
        unnamed = unnamedControls(&w.frame);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        w.panes.browser()->setThumbnailsShown(true);
        w.frame.rightTabs()->setCurrentIndex(1);
        unnamed = unnamedControls(&w.frame);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    }

    // The accessible "Toggle" of a toolbar's check button runs the command a
    // click runs: the view really shows RGBA, the channel is really excluded.
    void everyAccessibleActionRunsTheCommand()
    {
        Window w;
        w.openSample();
        CKestrelDoc& doc = w.frame.document();
        QVERIFY(doc.loadMaps("", true, false, 3));
        w.frame.updateCommandStates();
        const auto act = [&](QToolBar* bar, int id, const QString& action) {
            QWidget* button = bar->widgetForAction(w.frame.action(id));
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(button);
            QVERIFY(a && a->actionInterface());
            QVERIFY2(a->actionInterface()->actionNames().contains(action), qPrintable(a->actionInterface()->actionNames().join(",")));
            a->actionInterface()->doAction(action);
            QTest::qWait(20);
        };
        act(w.frame.viewBar(), ID_VIEW_RGBA, QAccessibleActionInterface::toggleAction());
        QCOMPARE(doc.displayMode(), static_cast<int>(CKestrelDoc::MODE_RGBA));
        QVERIFY(w.frame.action(ID_VIEW_RGBA)->isChecked());
        QVERIFY(!w.frame.action(ID_VIEW_RGB)->isChecked());
        act(w.frame.viewBar(), ID_VIEW_ALPHA, QAccessibleActionInterface::toggleAction());
        QCOMPARE(doc.displayMode(), static_cast<int>(CKestrelDoc::MODE_ALPHA));
        // Toggling the checked one off runs it as a click on it does: it stays.
        act(w.frame.viewBar(), ID_VIEW_ALPHA, QAccessibleActionInterface::toggleAction());
        QCOMPARE(doc.displayMode(), static_cast<int>(CKestrelDoc::MODE_ALPHA));
        QVERIFY(w.frame.action(ID_VIEW_ALPHA)->isChecked());
        act(w.frame.selectionBar(), ID_EXCLUDE_RED, QAccessibleActionInterface::toggleAction());
        QVERIFY(!doc.redActive());
        QVERIFY(w.frame.action(ID_EXCLUDE_RED)->isChecked());
        act(w.frame.selectionBar(), ID_EXCLUDE_RED, QAccessibleActionInterface::toggleAction());
        QVERIFY(doc.redActive());
        QVERIFY(!w.frame.action(ID_EXCLUDE_RED)->isChecked());
        // A click still runs the command once.
        w.frame.action(ID_VIEW_SMOOTH)->trigger();
        QTest::qWait(20);
        QVERIFY(doc.smoothView());

        // The browser's direction button.
        CQORBView* browser = w.panes.browser();
        QAccessible::queryAccessibleInterface(browser->button("direction"))
            ->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(browser->pages().descending());
    }
};

QTEST_MAIN(BrowserFrameTest)
#include "BrowserFrameTest.moc"
