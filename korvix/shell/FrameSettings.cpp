#include "shell/FrameSettings.h"

#include <QSettings>
#include <QtEndian>

#include <cstdint>
#include <limits>

namespace {

const char* const GROUP = "Settings";
const char* const TOOLBARS = "Toolbars";
const char* const RECENT_GROUP = "Recent File List";

// An INI file keeps every value as text; the registry keeps types.
bool keepsText(const QSettings& s)
{
    return s.format() != QSettings::NativeFormat || QSysInfo::productType() != "windows";
}

int readNumber(QSettings& s, const char* name, int fallback, int lowest, int highest)
{
    const auto v = FrameSettings::decodeNumber(s.value(name), keepsText(s));
    if (!v || *v < lowest || *v > highest)
        return fallback;
    return *v;
}

}  // namespace

std::optional<QRect> FrameSettings::decodeWindowRect(const QVariant& value)
{
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    const QByteArray bytes = value.toByteArray();
    if (bytes.size() != 16)
        return std::nullopt;
    std::int32_t v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = qFromLittleEndian<std::int32_t>(bytes.constData() + 4 * i);
    // A rectangle without area would make an invisible window.
    if (v[2] <= v[0] || v[3] <= v[1])
        return std::nullopt;
    return QRect(QPoint(v[0], v[1]), QSize(v[2] - v[0], v[3] - v[1]));
}

QByteArray FrameSettings::encodeWindowRect(const QRect& rect)
{
    QByteArray bytes(16, '\0');
    const std::int32_t v[4] = {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<std::int32_t>(v[i], bytes.data() + 4 * i);
    return bytes;
}

std::optional<int> FrameSettings::decodeNumber(const QVariant& value, bool textualStore)
{
    qint64 n = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        n = value.toLongLong();
        break;
    case QMetaType::QString: {
        if (!textualStore)
            return std::nullopt;
        const QString text = value.toString();
        bool ok = false;
        if (text.isEmpty() || text.trimmed() != text)
            return std::nullopt;
        n = text.toLongLong(&ok, 10);
        if (!ok)
            return std::nullopt;
        break;
    }
    default:
        return std::nullopt;
    }
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<int>(n);
}

std::optional<bool> FrameSettings::decodeFlag(const QVariant& value, bool textualStore)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (textualStore && value.typeId() == QMetaType::QString) {
        const QString text = value.toString();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        return std::nullopt;
    }
    // A registry number 0 or 1.
    const auto n = decodeNumber(value, textualStore);
    if (n && (*n == 0 || *n == 1))
        return *n == 1;
    return std::nullopt;
}

FrameSettings FrameSettings::load(QSettings& s)
{
    FrameSettings f;
    s.beginGroup(GROUP);
    f.firstRun = s.childKeys().isEmpty() && s.childGroups().isEmpty();
    f.mainWinPos = decodeWindowRect(s.value("MainWinPos"));
    // Negative pane sizes are as meaningless as a missing value.
    constexpr int big = std::numeric_limits<std::int32_t>::max();
    f.paneWidth = readNumber(s, "PaneWidth", DEFAULT_PANE_WIDTH, 0, big);
    f.paneHeight = readNumber(s, "PaneHeight", DEFAULT_PANE_HEIGHT, 0, big);
    f.pane2Height = readNumber(s, "Pane2Height", DEFAULT_PANE2_HEIGHT, 0, big);
    f.background = readNumber(s, "Background", DEFAULT_BACKGROUND, 0, 255);
    f.askBeforeDiscard = decodeFlag(s.value("AskBeforeDiscard"), keepsText(s)).value_or(true);
    f.keepBackup = decodeFlag(s.value("KeepBackup"), keepsText(s)).value_or(true);
    s.endGroup();

    const QVariant state = s.value(TOOLBARS);
    if (state.typeId() == QMetaType::QByteArray)
        f.toolbarState = state.toByteArray();

    s.beginGroup(RECENT_GROUP);
    for (int i = 1; i <= RECENT_FILES; ++i) {
        const QVariant v = s.value(QStringLiteral("File%1").arg(i));
        if (v.typeId() == QMetaType::QString && !v.toString().isEmpty() && !f.recentFiles.contains(v.toString()))
            f.recentFiles.append(v.toString());
    }
    s.endGroup();
    return f;
}

void FrameSettings::save(QSettings& s) const
{
    s.setValue(TOOLBARS, toolbarState);
    s.beginGroup(GROUP);
    if (mainWinPos)
        s.setValue("MainWinPos", encodeWindowRect(*mainWinPos));
    s.setValue("PaneWidth", paneWidth);
    s.setValue("PaneHeight", paneHeight);
    s.setValue("Pane2Height", pane2Height);
    s.setValue("Background", background);
    s.setValue("KeepBackup", keepBackup);
    s.endGroup();
    s.sync();
}

void FrameSettings::saveRecentFiles(QSettings& s, const QStringList& files)
{
    s.beginGroup(RECENT_GROUP);
    for (int i = 1; i <= RECENT_FILES; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= files.size())
            s.setValue(key, files[i - 1]);
        else
            s.remove(key);
    }
    s.endGroup();
    s.sync();
}
