#include "common/AtomicFile.h"

#include "common/SyncBatch.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// A new file of this process's own beside the target, created with the usual
// mode (the process's umask applies): ".NAME.XXXXXX", where XXXXXX never
// repeats within the process and differs between processes.
int createTemporary(const std::filesystem::path& dir, const std::string& name, std::filesystem::path& path)
{
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = static_cast<std::uint64_t>(getpid()) * 0x9E3779B97F4A7C15ull
                                      ^ static_cast<std::uint64_t>(
                                          std::chrono::steady_clock::now().time_since_epoch().count());
    static constexpr char digits[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::uint64_t v = (seed + counter.fetch_add(1, std::memory_order_relaxed)) * 0xD6E8FEB86659FD93ull;
        v ^= v >> 32;
        std::string suffix(6, '0');
        for (char& c : suffix) {
            c = digits[v % (sizeof digits - 1)];
            v /= sizeof digits - 1;
        }
        path = dir / ("." + name + "." + suffix);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target, SyncBatch* batch) : m_target(std::move(target)), m_pBatch(batch)
{
    const std::filesystem::path dir = m_target.has_parent_path() ? m_target.parent_path() : ".";
    const int fd = createTemporary(dir, m_target.filename().string(), m_tempPath);
    if (fd < 0)
        throw std::runtime_error(systemError("cannot create a file in " + dir.string()));
    m_fFile = fdopen(fd, "wb");
    if (!m_fFile) {
        close(fd);
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
        throw std::runtime_error(systemError("cannot write " + m_tempPath.string()));
    }
}

AtomicFile::~AtomicFile()
{
    if (m_fFile)
        std::fclose(m_fFile);
    if (!m_bCommitted) {
        std::error_code ec;
        std::filesystem::remove(m_tempPath, ec);
    }
}

void AtomicFile::write(const void* data, std::size_t size)
{
    if (size > 0 && std::fwrite(data, 1, size, m_fFile) != size)
        throw std::runtime_error(systemError("cannot write " + m_target.string()));
}

void AtomicFile::commit()
{
    bool flushed = std::fflush(m_fFile) == 0;
    if (flushed) {
        if (m_pBatch)
            m_pBatch->note(fileno(m_fFile));
        else
            flushed = fsync(fileno(m_fFile)) == 0;
    }
    // The first failure's reason is the one to tell.
    const int error = errno;
    const bool closed = std::fclose(m_fFile) == 0;
    m_fFile = nullptr;
    if (!flushed)
        errno = error;
    if (!flushed || !closed)
        throw std::runtime_error(systemError("cannot write " + m_target.string()));
    if (std::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        throw std::runtime_error(systemError("cannot replace " + m_target.string()));
    m_bCommitted = true;
    if (!m_pBatch) {
        // The rename itself lives in the directory. A directory that cannot be
        // opened for reading, or a file system that cannot sync directories,
        // leaves nothing more to do; an error of the disk is the write's failure.
        const std::filesystem::path dir = m_target.has_parent_path() ? m_target.parent_path() : ".";
        const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            const bool synced = fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP;
            const int error = errno;
            close(fd);
            errno = error;
            if (!synced)
                throw std::runtime_error(systemError("cannot sync " + dir.string()));
        }
    }
}
