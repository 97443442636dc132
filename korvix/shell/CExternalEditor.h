// Editing the shown picture in another program, the desktop's side of it: a
// folder of the program's own for the files handed out, starting the other
// program, and a watch on the file that reports each save.
//
// The folder is made on first use below the user's runtime directory (or the
// cache directory where there is none), readable by the user alone, and
// removed with everything in it when this object goes (at the program's end).
//
// The program is the one the setting "Settings/ExternalEditor" names: a
// command line in which "%f" stands for the file (appended when absent), or,
// without the setting, the desktop's default program for the file's type.
//
// Most editors save by writing a new file and renaming it over the old one,
// which drops an inotify watch on the file: the folder is watched too, the
// file is watched again whenever it is back, and a save is reported once the
// events have settled and the file is another than the one last reported.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QSettings;
class QTemporaryDir;

class CExternalEditor : public QObject {
    Q_OBJECT
public:
    static constexpr const char* SETTING = "Settings/ExternalEditor";
    // How long the file's events must rest before a save is reported.
    static constexpr int SETTLE_MS = 200;

    explicit CExternalEditor(QSettings& settings, QObject* parent = nullptr);
    ~CExternalEditor() override;

    // The folder for the files handed out, made on first use; nothing when
    // it cannot be made.
    std::optional<QString> folder();
    // Starts the other program on `path` and watches the file; false when no
    // program started (nothing is watched then).
    bool start(const QString& path);
    // Stops watching; the file stays until the folder goes.
    void stop();
    // The file watched, empty for none.
    const QString& watched() const { return m_strPath; }

signals:
    // The file was saved (its contents are another file than before).
    void saved();

private:
    // What tells one version of the file from the next: a save that renames
    // a new file over the old one changes the inode, one that writes in place
    // the time or the size.
    struct Stamp {
        bool exists = false;
        unsigned long long inode = 0;
        long long size = 0;
        long long modifiedNs = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    static Stamp stampOf(const QString& path);
    void settle();

    QSettings& m_settings;
    std::unique_ptr<QTemporaryDir> m_pFolder;
    QFileSystemWatcher m_watcher;
    QTimer m_settleTimer;
    QString m_strPath;
    Stamp m_seen;
};
