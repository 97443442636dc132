// The main frame's settings below Software\Tessarin\Korvix (an INI file on
// Linux): window rectangle, pane sizes, background grey, toolbar state and the
// recent-file list. A value of the wrong type, length or range counts as
// absent and its default is used; a failed write is ignored.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QStringList>
#include <QVariant>

#include <optional>

class QSettings;

struct FrameSettings {
    static constexpr int DEFAULT_PANE_WIDTH = 278;
    static constexpr int DEFAULT_PANE_HEIGHT = 350;
    static constexpr int DEFAULT_PANE2_HEIGHT = 250;
    static constexpr int DEFAULT_BACKGROUND = 192;
    static constexpr int RECENT_FILES = 8;

    std::optional<QRect> mainWinPos;  // left, top, right, bottom in screen coordinates
    int paneWidth = DEFAULT_PANE_WIDTH;
    int paneHeight = DEFAULT_PANE_HEIGHT;
    int pane2Height = DEFAULT_PANE2_HEIGHT;
    int background = DEFAULT_BACKGROUND;
    // The Settings key holds neither values nor subkeys.
    bool firstRun = true;
    QByteArray toolbarState;  // empty when none was saved
    QStringList recentFiles;  // newest first, at most eight
    // "AskBeforeDiscard": whether a changed picture is asked about before it is
    // given up. Read only; true unless the value is false (a boolean, or the
    // text "false" or "0" in an INI file).
    bool askBeforeDiscard = true;
    // "KeepBackup", the menu's "Sicherung anlegen": a rewrite of the volume
    // keeps the old one as NAME.bak. On unless the value is false.
    bool keepBackup = true;

    static FrameSettings load(QSettings& settings);
    // Writes the window rectangle, the pane sizes, the background and the toolbar state.
    void save(QSettings& settings) const;
    static void saveRecentFiles(QSettings& settings, const QStringList& files);

    // Four signed 32-bit little-endian integers: left, top, right, bottom.
    // Anything but exactly 16 bytes, or an empty rectangle, is absent.
    static std::optional<QRect> decodeWindowRect(const QVariant& value);
    static QByteArray encodeWindowRect(const QRect& rect);
    // A 32-bit number. An INI file keeps numbers as text, so there a string of
    // decimal digits that fits 32 bits counts as a number; other strings,
    // byte arrays and out-of-range values are absent.
    static std::optional<int> decodeNumber(const QVariant& value, bool textualStore);
    // A boolean, or in an INI file the text "true", "false", "1" or "0".
    static std::optional<bool> decodeFlag(const QVariant& value, bool textualStore);
};
