// Which mounted file systems the disk file tree shows as its top level: the
// real ones a user stores files on ("/", /home, /media/*, /mnt/*, ...), not
// the kernel's pseudo file systems, the run-time tmpfs below /run and /dev,
// or the image and overlay mounts that packaging tools create.
#pragma once

#include <QList>
#include <QString>

#include <string_view>

class MountFilter {
public:
    struct Mount {
        std::string_view mountPoint;  // where it is mounted, "/" for the root
        std::string_view fsType;      // as the kernel names it: "ext4", "tmpfs", "fuse.sshfs"
        bool ready = true;            // mounted and readable
    };

    // "/" is always shown; otherwise a mount is shown when it is ready, of a
    // real file-system type, and not below one of the system's own trees.
    static bool isShown(const Mount& mount);

    struct Volume {
        QString path;   // the mount point
        QString label;  // what the tree shows for it
    };
    // The shown mounts of this machine, "/" first, then by mount point.
    static QList<Volume> shownVolumes();
    // A mount's label: its volume name beside the mount point when it has
    // one ("Daten (/mnt/daten)"), the mount point alone otherwise.
    static QString label(const QString& mountPoint, const QString& volumeName);
};
