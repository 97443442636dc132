#include "filetree/MountFilter.h"

#include <QStorageInfo>

#include <algorithm>
#include <array>

namespace {

bool isBelow(std::string_view path, std::string_view folder)
{
    return path == folder || (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

// Kernel interfaces, image mounts and desktop helper mounts: nothing a user
// keeps files on. Overlay mounts besides "/" belong to containers and snaps.
constexpr std::array<std::string_view, 27> kPseudoTypes = {
    "proc",      "sysfs",        "cgroup",   "cgroup2",  "devpts",     "devtmpfs",  "debugfs",
    "tracefs",   "securityfs",   "pstore",   "bpf",      "configfs",   "fusectl",   "mqueue",
    "hugetlbfs", "autofs",       "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",   "selinuxfs",
    "ramfs",     "squashfs",     "overlay",  "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",
};

// The system's own trees; removable media that the desktop mounts below
// /run/media stay visible.
constexpr std::array<std::string_view, 7> kSystemTrees = {
    "/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker", "/var/snap",
};

}  // namespace

bool MountFilter::isShown(const Mount& mount)
{
    if (mount.mountPoint == "/")
        return true;
    if (!mount.ready || mount.mountPoint.empty() || mount.mountPoint.front() != '/')
        return false;
    if (std::find(kPseudoTypes.begin(), kPseudoTypes.end(), mount.fsType) != kPseudoTypes.end())
        return false;
    if (isBelow(mount.mountPoint, "/run/media"))
        return mount.mountPoint != "/run/media";
    return std::none_of(kSystemTrees.begin(), kSystemTrees.end(),
                        [&](std::string_view tree) { return isBelow(mount.mountPoint, tree); });
}

QString MountFilter::label(const QString& mountPoint, const QString& volumeName)
{
    if (volumeName.isEmpty() || volumeName == mountPoint)
        return mountPoint;
    return QStringLiteral("%1 (%2)").arg(volumeName, mountPoint);
}

QList<MountFilter::Volume> MountFilter::shownVolumes()
{
    QList<Volume> out;
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        const QByteArray path = s.rootPath().toUtf8();
        const QByteArray type = s.fileSystemType();
        if (!s.isValid() || !isShown({std::string_view(path.constData(), size_t(path.size())),
                                       std::string_view(type.constData(), size_t(type.size())), s.isReady()}))
            continue;
        // A file system mounted twice (a bind mount) is shown once per mount point.
        if (std::any_of(out.begin(), out.end(), [&](const Volume& v) { return v.path == s.rootPath(); }))
            continue;
        out.push_back({s.rootPath(), label(s.rootPath(), s.name())});
    }
    if (std::none_of(out.begin(), out.end(), [](const Volume& v) { return v.path == QLatin1String("/"); }))
        out.push_back({QStringLiteral("/"), QStringLiteral("/")});
    std::sort(out.begin(), out.end(), [](const Volume& a, const Volume& b) {
        if ((a.path == QLatin1String("/")) != (b.path == QLatin1String("/")))
            return a.path == QLatin1String("/");
        return a.path < b.path;
    });
    return out;
}
