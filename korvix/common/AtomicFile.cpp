#include "common/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : m_target(std::move(target))
{
    const std::filesystem::path dir = m_target.has_parent_path() ? m_target.parent_path() : ".";
    std::string pattern = (dir / ("." + m_target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw std::runtime_error(systemError("cannot create a file in " + dir.string()));
    // mkstemp creates the file private to its owner; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    m_tempPath = pattern;
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
    const bool flushed = std::fflush(m_fFile) == 0 && fsync(fileno(m_fFile)) == 0;
    const bool closed = std::fclose(m_fFile) == 0;
    m_fFile = nullptr;
    if (!flushed || !closed)
        throw std::runtime_error(systemError("cannot write " + m_target.string()));
    if (std::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        throw std::runtime_error(systemError("cannot replace " + m_target.string()));
    m_bCommitted = true;
}
