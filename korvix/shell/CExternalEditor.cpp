#include "shell/CExternalEditor.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/stat.h>

CExternalEditor::CExternalEditor(QSettings& settings, QObject* parent) : QObject(parent), m_settings(settings)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(SETTLE_MS);
    connect(&m_settleTimer, &QTimer::timeout, this, &CExternalEditor::settle);
    // Every event restarts the wait: a file still being written is not read.
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settleTimer, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settleTimer, qOverload<>(&QTimer::start));
}

CExternalEditor::~CExternalEditor() = default;

std::optional<QString> CExternalEditor::folder()
{
    if (!m_pFolder) {
        QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (base.isEmpty())
            base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (base.isEmpty() || !QDir().mkpath(base))
            return std::nullopt;
        auto dir = std::make_unique<QTemporaryDir>(QDir(base).filePath(QStringLiteral("korvix-edit-XXXXXX")));
        if (!dir->isValid())
            return std::nullopt;
        m_pFolder = std::move(dir);
    }
    return m_pFolder->path();
}

bool CExternalEditor::start(const QString& path)
{
    stop();
    // The watch is armed before the program starts: a quick first save is
    // not missed.
    m_strPath = path;
    m_seen = stampOf(path);
    m_watcher.addPath(path);
    m_watcher.addPath(QFileInfo(path).absolutePath());
    const QString command = m_settings.value(QString::fromLatin1(SETTING)).toString().trimmed();
    bool started = false;
    if (command.isEmpty()) {
        started = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    } else {
        QStringList args = QProcess::splitCommand(command);
        if (!args.isEmpty()) {
            const QString program = args.takeFirst();
            bool placed = false;
            for (QString& a : args) {
                if (a.contains(QLatin1String("%f"))) {
                    a.replace(QLatin1String("%f"), path);
                    placed = true;
                }
            }
            if (!placed)
                args << path;
            started = QProcess::startDetached(program, args);
        }
    }
    if (!started)
        stop();
    return started;
}

void CExternalEditor::stop()
{
    m_settleTimer.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_strPath.clear();
    m_seen = {};
}

CExternalEditor::Stamp CExternalEditor::stampOf(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

void CExternalEditor::settle()
{
    if (m_strPath.isEmpty())
        return;
    const Stamp now = stampOf(m_strPath);
    // Between the old file's removal and the new one's arrival nothing is
    // there: wait for the folder's next event.
    if (!now.exists)
        return;
    // A file renamed into place is a new one that the watch has not seen.
    if (!m_watcher.files().contains(m_strPath))
        m_watcher.addPath(m_strPath);
    if (now == m_seen)
        return;
    m_seen = now;
    emit saved();
}
