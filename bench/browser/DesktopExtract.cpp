// korvix-desktop-extract VOLUME DIR: the desktop program's "Volume
// exportieren…" on VOLUME into DIR, through the main frame as the user runs
// it (the document's command, the extraction engine on a worker thread behind
// the progress dialog, the one sync at the end). Prints the seconds from the
// command to its end; bench/browser/extract.sh times the whole process as well.
#include "document/CKestrelDoc.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopPanes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvix-desktop-extract VOLUME DIR\n");
        return 2;
    }
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath("k.ini"), QSettings::IniFormat);
    CMainFrame frame(settings);
    DesktopPanes panes(frame);
    frame.show();
    if (!frame.openStartupFile(QString::fromLocal8Bit(argv[1])))
        return 1;
    const std::string folder = argv[2];
    frame.folderHook = [&](const std::string&) { return std::optional<std::string>(folder); };
    frame.overwriteHook = [](const std::string&) { return OverwriteAnswer::Skip; };
    int failures = 0;
    frame.messageHook = [&](const std::string& text, const std::string&, MessageIcon, MessageButtons) {
        std::fprintf(stderr, "%s\n", text.c_str());
        ++failures;
        return MessageAnswer::Ok;
    };
    QElapsedTimer clock;
    clock.start();
    frame.document().exportDirectory(ITEM_VOLUME_ROOT);
    std::printf("%.3f\n", static_cast<double>(clock.nsecsElapsed()) / 1e9);
    return failures == 0 ? 0 : 1;
}
