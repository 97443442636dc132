// Renders the main window in a few states to PNG files, through whatever Qt
// platform is active (offscreen in scripts/screenshots.sh):
//   korvix-screenshots OUTDIR TEXTURE
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/PixelReadout.h"
#include "shell/CMainFrame.h"
#include "shell/KorvixApplication.h"
#include "views/CPictureView.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

void hover(CMainFrame& frame, int px, int py)
{
    CPictureView* view = frame.pictureView();
    const QRect r = view->imageRectOnScreen();
    const int z = static_cast<int>(view->zoom());
    const QPointF at(r.left() + px * z + z / 2, r.top() + py * z + z / 2);
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    settle();
}

bool shoot(CMainFrame& frame, const QString& dir, const char* name)
{
    settle();
    const QString path = QDir(dir).filePath(QString::fromLatin1(name) + ".png");
    if (!frame.grab().save(path)) {
        std::fprintf(stderr, "korvix-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installQtTranslations(app);
    qRegisterMetaType<PixelReadout>();
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvix-screenshots OUTDIR TEXTURE\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir home;
    QSettings settings(home.filePath(QStringLiteral("korvix.ini")), QSettings::IniFormat);
    CMainFrame frame(settings);
    frame.messageHook = [](const std::string& text, const std::string&, MessageIcon, MessageButtons) {
        std::fprintf(stderr, "korvix-screenshots: message: %s\n", text.c_str());
        return MessageAnswer::Ok;
    };
    frame.resize(1200, 800);
    frame.show();
    bool ok = shoot(frame, out, "empty");

    if (!frame.openStartupFile(QString::fromLocal8Bit(argv[2])))
        return 1;
    frame.setWindowTitle(QDir::toNativeSeparators(QFileInfo(QString::fromLocal8Bit(argv[2])).fileName()).toStdString() +
                         CKestrelDoc::TITLE_SUFFIX);
    frame.action(ID_ZOOM_IN)->trigger();  // 2
    frame.action(ID_VIEW_RGB)->trigger();
    hover(frame, 20, 30);
    ok = shoot(frame, out, "texture-rgb") && ok;
    frame.action(ID_VIEW_RGBA)->trigger();
    hover(frame, 21, 30);
    ok = shoot(frame, out, "texture-rgba") && ok;
    frame.action(ID_VIEW_ALPHA)->trigger();
    hover(frame, 22, 30);
    ok = shoot(frame, out, "texture-alpha") && ok;
    frame.action(ID_VIEW_RGBA)->trigger();
    frame.action(ID_ZOOM_IN)->trigger();  // 4
    frame.setBackgroundLevel(90);
    hover(frame, 40, 12);
    ok = shoot(frame, out, "zoom4") && ok;
    return ok ? 0 : 1;
}
