// The size dialog run from the main frame's "Selektionsdialog anzeigen": the
// selection follows the lists while the dialog is open and is drawn on the
// picture at once; OK keeps the chosen one, Cancel puts back what was there.
// The outline is drawn inverted, so a drawn edge is a column of the picture
// where pixels differ from the picture's one colour.
#include "ShellFixtures.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "dialogs/CSizeDialog.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"
#include "views/CPictureView.h"

#include <QAction>
#include <QComboBox>
#include <QtTest>

#include <functional>

namespace {

// One opaque colour all over.
std::uint32_t teal(int, int, int)
{
    return 0xFF208080u;
}

struct Scene {
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings = shelltest::settingsIn(dir);
    CMainFrame frame{*settings};
    DesktopPanes panes{frame};

    Scene()
    {
        frame.resize(1000, 700);
        frame.show();
        const QString path = shelltest::writeTexture(dir, "t.tex", 300, 100, 1, false, teal);
        QVERIFY(frame.openStartupFile(path));
        QVERIFY(frame.action(ID_SELECTION_DIALOG)->isEnabled());
    }

    CKestrelDoc& doc() { return frame.document(); }

    // Outline pixels in a column of the picture view, over the picture's height.
    int outlineInColumn(int x)
    {
        const QImage shot = frame.pictureView()->viewport()->grab().toImage();
        const QRect picture = frame.pictureView()->imageRectOnScreen();
        const QRgb plain = shot.pixel(picture.center());  // no outline or handle of these tests there
        int n = 0;
        for (int y = picture.top(); y <= picture.bottom(); ++y)
            n += shot.pixel(x, y) != plain ? 1 : 0;
        return n;
    }

    // Runs the dialog; `inside` acts on it while it is open and closes it.
    void runDialog(const std::function<void(CSizeDialog&)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, &frame, [&] {
            auto* dialog = qobject_cast<CSizeDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            ran = true;
            inside(*dialog);
            if (dialog->isVisible())  // a failed check inside leaves it open
                dialog->reject();
        });
        frame.action(ID_SELECTION_DIALOG)->trigger();
        QVERIFY(ran);
    }

    ImageRect selection()
    {
        const auto r = frame.document().tracker().selectionImageRect();
        return r ? *r : ImageRect{-1, -1, -1, -1};
    }
};

}  // namespace

class SelectionDialogTest : public QObject {
    Q_OBJECT
private slots:
    void liveWhileOpenKeptOnOk()
    {
        Scene s;
        s.doc().clearSelection();
        const int left = s.frame.pictureView()->imageRectOnScreen().left();
        s.runDialog([&](CSizeDialog& d) {
            // Opened with the largest sizes that fit, already shown.
            QCOMPARE(d.windowTitle(), QStringLiteral("Selektieren"));
            QCOMPARE(s.selection(), (ImageRect{0, 0, 255, 63}));
            QVERIFY(s.outlineInColumn(left + 256) > 0);
            // A smaller width moves the drawn edge with it.
            d.widthList()->setCurrentIndex(d.widthList()->findText("64"));
            d.heightList()->setCurrentIndex(d.heightList()->findText("32"));
            QCOMPARE(s.selection(), (ImageRect{0, 0, 63, 31}));
            QCOMPARE(s.outlineInColumn(left + 256), 0);
            QVERIFY(s.outlineInColumn(left + 64) > 0);
            d.accept();
        });
        if (QTest::currentTestFailed())
            return;
        QVERIFY(s.doc().tracker().present());
        QCOMPARE(s.selection(), (ImageRect{0, 0, 63, 31}));
        QVERIFY(s.outlineInColumn(left + 64) > 0);
    }

    void cancelPutsBackWhatWasThere()
    {
        Scene s;
        const int left = s.frame.pictureView()->imageRectOnScreen().left();
        // A selection before: it comes back unchanged.
        s.frame.action(ID_SELECT_ALL)->trigger();
        const TrackerRect before = s.doc().tracker().rect();
        s.runDialog([&](CSizeDialog& d) {
            d.widthList()->setCurrentIndex(d.widthList()->findText("16"));
            QCOMPARE(s.selection(), (ImageRect{0, 0, 15, 63}));
            d.reject();
        });
        if (QTest::currentTestFailed())
            return;
        QVERIFY(s.doc().tracker().present());
        QCOMPARE(s.doc().tracker().rect(), before);
        QCOMPARE(s.selection(), (ImageRect{0, 0, 299, 99}));
        QCOMPARE(s.outlineInColumn(left + 16), 0);

        // No selection before: none after, and nothing is drawn.
        s.frame.action(ID_SELECT_NONE)->trigger();
        s.runDialog([&](CSizeDialog& d) {
            QVERIFY(s.doc().tracker().present());
            d.reject();
        });
        QVERIFY(!s.doc().tracker().present());
        QCOMPARE(s.outlineInColumn(left + 256), 0);
    }
};

QTEST_MAIN(SelectionDialogTest)
#include "SelectionDialogTest.moc"
