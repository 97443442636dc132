#include "shell/KorvixApplication.h"

#include "document/EntryReadout.h"
#include "document/PixelReadout.h"
#include "shell/CMainFrame.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>

int runKorvix(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessarin"));
    QApplication::setApplicationName(QStringLiteral("Korvix"));
    QApplication::setApplicationVersion(QStringLiteral("0.93"));
    qRegisterMetaType<PixelReadout>();
    qRegisterMetaType<EntryReadout>();

    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->depth() < 16) {
        QMessageBox::critical(nullptr, QStringLiteral("Korvix"), QStringLiteral("Mindestens 16Bit-Farbmodus notwendig."));
        return 0;
    }

    QSettings settings(QStringLiteral("Tessarin"), QStringLiteral("Korvix"));
    CMainFrame frame(settings);
    const QStringList args = QApplication::arguments();
    // The window is shown first, so a message about a file that fails to load
    // has its owner on the screen; the program goes on without the file.
    frame.show();
    if (args.size() > 1)
        frame.openStartupFile(args.at(1));
    return QApplication::exec();
}
