#include "shell/KorvixApplication.h"

#include "common/MessageTable.h"
#include "document/EntryReadout.h"
#include "document/PixelReadout.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QTranslator>

#include <memory>

bool installQtTranslations(QCoreApplication& app)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    translator->setParent(&app);  // the application owns it from here on
    return QCoreApplication::installTranslator(translator.release());
}

int runKorvix(int argc, char* argv[])
{
    // Whole-number device pixel ratios only: on a high-DPI screen every picture
    // pixel then covers exactly zoom x ratio device pixels, never a blurred or
    // uneven fraction.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Tessarin"));
    QApplication::setApplicationName(QStringLiteral("Korvix"));
    QApplication::setApplicationVersion(QStringLiteral("0.93"));
    // The desktop entry's name: Wayland shells match the window to its entry and icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("de.tessarin.Korvix"));
    installQtTranslations(app);
    qRegisterMetaType<PixelReadout>();
    qRegisterMetaType<EntryReadout>();

    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->depth() < 16) {
        QMessageBox::critical(nullptr, QString::fromUtf8(korvix::msg(korvix::MessageId::CaptionProgram)),
                              QString::fromUtf8(korvix::msg(korvix::MessageId::ColourDepthTooLow)));
        return 0;
    }

    QSettings settings(QStringLiteral("Tessarin"), QStringLiteral("Korvix"));
    CMainFrame frame(settings);
    DesktopPanes panes(frame);
    const QStringList args = QApplication::arguments();
    // The window is shown first, so a message about a file that fails to load
    // has its owner on the screen; the program goes on without the file.
    frame.show();
    if (args.size() > 1)
        frame.openStartupFile(args.at(1));
    return QApplication::exec();
}
