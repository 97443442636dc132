#include "common/SyncBatch.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SyncBatch::~SyncBatch()
{
    for (const FileSystem& fs : m_fileSystems)
        close(fs.fd);
}

bool SyncBatch::known(dev_t device) const
{
    return std::any_of(m_fileSystems.begin(), m_fileSystems.end(),
                       [device](const FileSystem& fs) { return fs.device == device; });
}

void SyncBatch::note(int fd)
{
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        m_bEverything = true;
        return;
    }
    if (known(st.st_dev))
        return;
    // A second descriptor of the same open file: syncfs reports the write
    // errors of its file system from the time that file was opened on, which
    // is before anything of the run was written there.
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy >= 0)
        m_fileSystems.push_back({st.st_dev, copy});
    else
        m_bEverything = true;
}

void SyncBatch::note(const std::filesystem::path& directory)
{
    struct stat st {};
    if (stat(directory.c_str(), &st) != 0 || known(st.st_dev))
        return;
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        m_fileSystems.push_back({st.st_dev, fd});
    else
        m_bEverything = true;
}

std::error_code SyncBatch::sync()
{
    std::error_code first;
    for (const FileSystem& fs : m_fileSystems) {
#ifdef __linux__
        if (syncfs(fs.fd) != 0 && !first)
            first.assign(errno, std::generic_category());
#else
        if (fsync(fs.fd) != 0 && !first)
            first.assign(errno, std::generic_category());
        m_bEverything = true;
#endif
        close(fs.fd);
    }
    m_fileSystems.clear();
    // A file system the batch could not hold on to is flushed with all others.
    if (m_bEverything)
        ::sync();
    m_bEverything = false;
    return first;
}
