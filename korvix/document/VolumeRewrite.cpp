#include "document/VolumeRewrite.h"

#include "common/MessageTable.h"
#include "document/CatalogueTree.h"
#include "document/VolumeFailure.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using korvix::MessageId;
using korvix::MessageTable;
using Status = RewriteResult::Status;

namespace {

// Kernel copies and checks go a piece at a time, so that progress and a
// cancel are seen often; the buffers of the fallback and the check stay small.
constexpr std::uint64_t COPY_PIECE = std::uint64_t{8} << 20;
// A quarter megabyte each: the two pieces compared stay in the processor's cache.
constexpr std::size_t BUFFER = std::size_t{256} << 10;

std::string systemText(int error)
{
    return std::generic_category().message(error);
}

template <class... Args>
std::string said(MessageId id, Args... args)
{
    return MessageTable::format(id, args...);
}

// How a step ended the rewrite.
struct Stop {
    Status status;
    std::string file;
    std::string detail;
};

[[noreturn]] void fail(const std::string& file, std::string detail)
{
    throw Stop{Status::Failed, file, std::move(detail)};
}

// A file of our own beside `target`, ".NAME.XXXXXX", removed again unless kept.
class TempFile {
public:
    TempFile(const fs::path& target, const std::string& suffix)
    {
        std::string pattern = (target.parent_path() / ("." + target.filename().string() + suffix + ".XXXXXX")).string();
        m_nFd = mkostemp(pattern.data(), O_CLOEXEC);
        if (m_nFd >= 0)
            m_strPath = pattern;
    }
    ~TempFile()
    {
        if (m_nFd >= 0)
            close(m_nFd);
        if (!m_bKept && !m_strPath.empty())
            unlink(m_strPath.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    bool valid() const { return m_nFd >= 0; }
    int fd() const { return m_nFd; }
    const std::string& path() const { return m_strPath; }
    // The name now belongs to something else (it was renamed away, or is a link we keep).
    void keep() { m_bKept = true; }

private:
    int m_nFd = -1;
    std::string m_strPath;
    bool m_bKept = false;
};

// A descriptor closed with the object.
class Fd {
public:
    explicit Fd(int fd = -1) : m_nFd(fd) {}
    ~Fd()
    {
        if (m_nFd >= 0)
            close(m_nFd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_nFd; }
    bool valid() const { return m_nFd >= 0; }

private:
    int m_nFd;
};

class Rewrite {
public:
    Rewrite(tarvos::GGroup& volume, const VolumeIdentity& identity, const RewritePlan& plan,
            const RewriteOptions& options)
        : m_volume(volume), m_identity(identity), m_plan(plan), m_options(options)
    {
    }

    RewriteResult run();

private:
    bool faulty(RewriteFault fault) const { return m_options.fault && m_options.fault(fault); }
    void checkCancel() const;
    void checkUnchanged() const;
    void startStage(RewriteProgress::Stage stage, std::uint64_t files, std::uint64_t bytes);
    void advance(std::uint64_t bytes, std::uint64_t endOfPiece);
    void writeHead(int fd);
    // Copies `size` bytes from `from` at `fromOffset` to `to` at `toOffset`;
    // `source` names the source in messages. Stops early (false) at its end.
    bool copyRange(int from, std::uint64_t fromOffset, std::uint64_t size, int to, std::uint64_t toOffset,
                   const std::string& source, const std::string& target, bool progress);
    void writeData(int fd);
    void corruptOneByte(int fd) const;
    void check(const std::string& path);
    bool same(int a, std::uint64_t aOffset, int b, std::uint64_t bOffset, std::uint64_t size, bool progress);
    // With a backup: a second name for the volume as it is (a link, or a
    // copy where the file system has none), to be renamed into place after.
    void prepareBackup();
    void placeBackup(RewriteResult& result);

    tarvos::GGroup& m_volume;
    const VolumeIdentity& m_identity;
    const RewritePlan& m_plan;
    const RewriteOptions& m_options;

    fs::path m_target;  // the volume's real path
    std::unique_ptr<Fd> m_original;
    RewritePlan::Layout m_layout;
    RewriteProgress m_progress;
    std::size_t m_nNextPiece = 0;  // for counting files done
    bool m_bNoKernelCopy = false;
    std::vector<std::uint8_t> m_buffer, m_other;
    std::string m_strBackupLink;
    std::unique_ptr<TempFile> m_backupCopy;
};

void Rewrite::checkCancel() const
{
    if (m_options.cancel && m_options.cancel->load(std::memory_order_relaxed))
        throw Stop{Status::Cancelled, m_identity.path(), korvix::msg(MessageId::RewriteCancelled)};
}

void Rewrite::checkUnchanged() const
{
    if (!m_identity.unchanged(m_volume))
        throw Stop{Status::Changed, m_identity.path(),
                   said(MessageId::VolumeChangedFormat, m_identity.path().c_str()) + " "
                       + korvix::msg(MessageId::NothingWritten)};
}

void Rewrite::startStage(RewriteProgress::Stage stage, std::uint64_t files, std::uint64_t bytes)
{
    m_progress = {stage, 0, files, 0, bytes};
    m_nNextPiece = 0;
    if (m_options.progress)
        m_options.progress(m_progress);
}

// `endOfPiece` is how far into the data the stage has come: every piece that
// ends there or before counts as done.
void Rewrite::advance(std::uint64_t bytes, std::uint64_t endOfPiece)
{
    m_progress.bytesDone += bytes;
    const auto& pieces = m_layout.pieces;
    while (m_nNextPiece < pieces.size() && pieces[m_nNextPiece].to + pieces[m_nNextPiece].size <= endOfPiece) {
        ++m_nNextPiece;
        ++m_progress.filesDone;
    }
    if (m_options.progress)
        m_options.progress(m_progress);
}

void Rewrite::writeHead(int fd)
{
    const std::uint8_t* p = m_layout.head.data();
    std::size_t left = m_layout.head.size();
    off_t at = 0;
    while (left > 0) {
        const ssize_t n = pwrite(fd, p, left, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(m_target.string(), said(MessageId::RewriteCannotWriteFormat, m_target.c_str(),
                                         systemText(n < 0 ? errno : EIO).c_str()));
        p += n;
        at += n;
        left -= static_cast<std::size_t>(n);
    }
}

bool Rewrite::copyRange(int from, std::uint64_t fromOffset, std::uint64_t size, int to, std::uint64_t toOffset,
                        const std::string& source, const std::string& target, bool progress)
{
    std::uint64_t done = 0;
    const auto writeFailed = [&](int error) {
        fail(target, said(MessageId::RewriteCannotWriteFormat, target.c_str(), systemText(error).c_str()));
    };
    while (done < size) {
        checkCancel();
        const std::uint64_t want = std::min(COPY_PIECE, size - done);
        std::uint64_t moved = 0;
        if (!m_bNoKernelCopy) {
            if (faulty(RewriteFault::NoCopyFileRange)) {
                m_bNoKernelCopy = true;
                continue;
            }
            auto in = static_cast<off_t>(fromOffset + done);
            auto out = static_cast<off_t>(toOffset + done);
            const ssize_t n = copy_file_range(from, &in, to, &out, static_cast<std::size_t>(want), 0);
            if (n < 0) {
                const int error = errno;
                if (error == EINTR)
                    continue;
                // Not for these two files on this system: the buffer does it.
                if (error == ENOSYS || error == EXDEV || error == EOPNOTSUPP || error == EINVAL || error == ETXTBSY) {
                    m_bNoKernelCopy = true;
                    continue;
                }
                writeFailed(error);
            }
            if (n == 0)
                return false;
            moved = static_cast<std::uint64_t>(n);
        } else {
            if (m_buffer.size() < BUFFER)
                m_buffer.resize(BUFFER);
            const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(want, BUFFER));
            const ssize_t n = pread(from, m_buffer.data(), chunk, static_cast<off_t>(fromOffset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                fail(source, said(MessageId::RewriteCannotReadFormat, source.c_str(), systemText(errno).c_str()));
            if (n == 0)
                return false;
            std::size_t written = 0;
            while (written < static_cast<std::size_t>(n)) {
                const ssize_t w = pwrite(to, m_buffer.data() + written, static_cast<std::size_t>(n) - written,
                                         static_cast<off_t>(toOffset + done + written));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    writeFailed(w < 0 ? errno : EIO);
                written += static_cast<std::size_t>(w);
            }
            moved = static_cast<std::uint64_t>(n);
        }
        done += moved;
        if (progress)
            advance(moved, toOffset + done);
    }
    return true;
}

void Rewrite::writeData(int fd)
{
    const auto& pieces = m_layout.pieces;
    startStage(RewriteProgress::Stage::Writing, pieces.size(), m_layout.dataBytes);
    const std::string volumePath = m_identity.path();
    for (std::size_t k = 0; k < pieces.size();) {
        const RewritePlan::Piece& p = pieces[k];
        if (p.fromVolume) {
            // A run of entries whose data lies back to back in the volume is one copy.
            std::uint64_t size = p.size;
            std::size_t end = k + 1;
            while (end < pieces.size() && pieces[end].fromVolume && pieces[end].from == p.from + size) {
                size += pieces[end].size;
                ++end;
            }
            if (!copyRange(m_original->get(), p.from, size, fd, p.to, volumePath, m_target.string(), true))
                fail(volumePath, said(MessageId::RewriteCannotReadFormat, volumePath.c_str(), systemText(EIO).c_str()));
            k = end;
            continue;
        }
        const Fd in(open(p.file.c_str(), O_RDONLY | O_CLOEXEC));
        if (!in.valid())
            fail(p.file, said(MessageId::RewriteCannotReadFileFormat, systemText(errno).c_str()));
        struct stat st {};
        if (fstat(in.get(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != p.size
            || !copyRange(in.get(), 0, p.size, fd, p.to, p.file, m_target.string(), true))
            fail(p.file, korvix::msg(MessageId::RewriteFileChanged));
        ++k;
    }
}

void Rewrite::corruptOneByte(int fd) const
{
    const std::uint64_t at = m_layout.dataBytes > 0 ? m_layout.pieces.front().to + m_layout.pieces.front().size / 2
                                                    : m_layout.head.size() / 2;
    std::uint8_t byte = 0;
    if (pread(fd, &byte, 1, static_cast<off_t>(at)) == 1) {
        byte ^= 0x5A;
        if (pwrite(fd, &byte, 1, static_cast<off_t>(at)) != 1)
            return;
    }
}

bool Rewrite::same(int a, std::uint64_t aOffset, int b, std::uint64_t bOffset, std::uint64_t size, bool progress)
{
    if (m_buffer.size() < BUFFER)
        m_buffer.resize(BUFFER);
    if (m_other.size() < BUFFER)
        m_other.resize(BUFFER);
    const auto readFully = [](int fd, std::uint8_t* into, std::size_t n, std::uint64_t at) {
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = pread(fd, into + got, n - got, static_cast<off_t>(at + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    };
    for (std::uint64_t done = 0; done < size;) {
        checkCancel();
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(BUFFER, size - done));
        if (!readFully(a, m_buffer.data(), n, aOffset + done) || !readFully(b, m_other.data(), n, bOffset + done)
            || std::memcmp(m_buffer.data(), m_other.data(), n) != 0)
            return false;
        done += n;
        if (progress)
            advance(n, aOffset + done);
    }
    return true;
}

void Rewrite::check(const std::string& path)
{
    const auto mismatch = [&](const std::string& what) {
        fail(m_target.string(), said(MessageId::RewriteCheckFailedFormat, what.c_str()));
    };
    // Read back through a file of its own, as any reader would.
    const Fd written(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!written.valid() || fstat(written.get(), &st) != 0)
        fail(m_target.string(), said(MessageId::RewriteCannotReadFormat, path.c_str(), systemText(errno).c_str()));
    if (static_cast<std::uint64_t>(st.st_size) != m_layout.size)
        mismatch(korvix::msg(MessageId::RewriteCheckLength));

    // The library opens it and walks its catalogue as every reader will.
    tarvos::GGroup reader;
    const int opened = reader.open(path.c_str(), true);
    if (opened != tarvos::GGroup::G_OK)
        mismatch(volumeOpenFailure(reader, opened, MessageTable::language()));
    if (m_buffer.size() < BUFFER)
        m_buffer.resize(BUFFER);
    for (std::size_t at = 0; at < m_layout.head.size(); at += BUFFER) {
        const std::size_t n = std::min(BUFFER, m_layout.head.size() - at);
        if (!reader.getDataBlock(static_cast<unsigned long>(at), n, m_buffer.data())
            || std::memcmp(m_buffer.data(), m_layout.head.data() + at, n) != 0)
            mismatch(korvix::msg(MessageId::RewriteCheckHead));
    }
    CatalogueTree tree;
    if (!tree.walk(reader, m_layout.entries) || tree.walkOrder().size() != m_layout.entries)
        mismatch(korvix::msg(MessageId::RewriteCheckWalk));
    for (std::uint32_t k = 0; k < m_layout.entries; ++k)
        if (tree.parent(static_cast<int>(k)) != m_layout.parents[k])
            mismatch(korvix::msg(MessageId::RewriteCheckWalk));
    tree.clear();
    reader.close();

    // Every entry's bytes against where they came from.
    startStage(RewriteProgress::Stage::Checking, m_layout.pieces.size(), m_layout.dataBytes);
    for (const RewritePlan::Piece& p : m_layout.pieces) {
        bool ok = false;
        if (p.fromVolume) {
            ok = same(written.get(), p.to, m_original->get(), p.from, p.size, true);
        } else {
            const Fd in(open(p.file.c_str(), O_RDONLY | O_CLOEXEC));
            ok = in.valid() && same(written.get(), p.to, in.get(), 0, p.size, true);
        }
        if (!ok)
            mismatch(said(MessageId::RewriteCheckEntryFormat, m_plan.entryPath(m_layout, p.entry).c_str()));
    }
}

void Rewrite::prepareBackup()
{
    if (!m_options.backup)
        return;
    const std::string backup = m_target.string() + ".bak";
    const auto backupFailed = [&](int error) {
        fail(backup, said(MessageId::RewriteCannotBackUpFormat, backup.c_str(), systemText(error).c_str()));
    };
    if (faulty(RewriteFault::Backup))
        backupFailed(EIO);
    // A second name for the volume's file, under a name of our own until the
    // new volume is in place; only then does it replace an older backup.
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name;
        {
            const TempFile probe(m_target, ".bak");
            if (!probe.valid())
                backupFailed(errno);
            name = probe.path();
        }
        if (link(m_target.c_str(), name.c_str()) == 0) {
            m_strBackupLink = name;
            return;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != EXDEV && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK)
            backupFailed(errno);
        break;
    }
    // A file system without hard links gets a copy, on disk before it counts.
    m_backupCopy = std::make_unique<TempFile>(m_target, ".bak");
    if (!m_backupCopy->valid())
        backupFailed(errno);
    struct stat st {};
    if (fstat(m_original->get(), &st) != 0)
        backupFailed(errno);
    if (!copyRange(m_original->get(), 0, static_cast<std::uint64_t>(st.st_size), m_backupCopy->fd(), 0,
                   m_identity.path(), backup, false))
        backupFailed(EIO);
    if (fchmod(m_backupCopy->fd(), st.st_mode & 07777) != 0 || fsync(m_backupCopy->fd()) != 0)
        backupFailed(errno);
}

void Rewrite::placeBackup(RewriteResult& result)
{
    const std::string from = !m_strBackupLink.empty() ? m_strBackupLink : m_backupCopy ? m_backupCopy->path() : "";
    if (from.empty())
        return;
    const std::string backup = m_target.string() + ".bak";
    if (std::rename(from.c_str(), backup.c_str()) == 0) {
        result.backupPath = backup;
        m_strBackupLink.clear();
        if (m_backupCopy)
            m_backupCopy->keep();
    } else {
        // The new volume is in place; only the backup is missing.
        result.detail = said(MessageId::RewriteCannotBackUpFormat, backup.c_str(), systemText(errno).c_str());
    }
}

RewriteResult Rewrite::run()
{
    RewriteResult result;
    try {
        checkUnchanged();
        std::error_code ec;
        m_target = fs::canonical(m_identity.path(), ec);
        if (ec)
            fail(m_identity.path(), said(MessageId::RewriteCannotReadFormat, m_identity.path().c_str(),
                                         ec.message().c_str()));
        // The file we read is the file that was opened, not one put there since.
        m_original = std::make_unique<Fd>(open(m_target.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!m_original->valid() || fstat(m_original->get(), &st) != 0)
            fail(m_identity.path(), said(MessageId::RewriteCannotReadFormat, m_identity.path().c_str(),
                                         systemText(errno).c_str()));
        const auto handle = VolumeIdentity::stateOf(m_volume);
        if (!handle || handle->device != static_cast<std::uint64_t>(st.st_dev)
            || handle->inode != static_cast<std::uint64_t>(st.st_ino))
            throw Stop{Status::Changed, m_identity.path(),
                       said(MessageId::VolumeChangedFormat, m_identity.path().c_str()) + " "
                           + korvix::msg(MessageId::NothingWritten)};
        if (access(m_target.c_str(), W_OK) != 0)
            throw Stop{Status::ReadOnly, m_identity.path(), korvix::msg(MessageId::VolumeReadOnly)};

        m_layout = m_plan.layout(static_cast<std::uint64_t>(st.st_size));
        if (!m_layout.ok())
            throw Stop{Status::Refused, m_identity.path(), m_layout.failure};

        TempFile temp(m_target, "");
        if (!temp.valid())
            fail(m_target.parent_path().string(), said(MessageId::RewriteCannotCreateFormat,
                                                       m_target.parent_path().c_str(), systemText(errno).c_str()));
        // The new volume gets the old one's permissions, and its owner where we may give it.
        if (fchmod(temp.fd(), st.st_mode & 07777) != 0)
            fail(temp.path(), said(MessageId::RewriteCannotWriteFormat, temp.path().c_str(), systemText(errno).c_str()));
        if ((st.st_uid != geteuid() || st.st_gid != getegid()) && fchown(temp.fd(), st.st_uid, st.st_gid) != 0) {
            // Only the owner may be kept: the file stays ours, as any editor's would.
        }

        writeHead(temp.fd());
        writeData(temp.fd());
        if (faulty(RewriteFault::CorruptWritten))
            corruptOneByte(temp.fd());
        // The disk takes the new file while it is read back: the two wait on
        // different things, and the rename comes only after both. (Declared
        // after `temp`, the sync is waited for before its file is closed.)
        const bool syncFails = faulty(RewriteFault::Sync);
        std::future<int> synced = std::async(std::launch::async, [fd = temp.fd(), syncFails] {
            return syncFails ? EIO : fsync(fd) == 0 ? 0 : errno;
        });
        check(temp.path());

        checkCancel();
        startStage(RewriteProgress::Stage::Syncing, 0, 0);
        const int syncError = synced.get();
        if (syncError != 0)
            fail(m_target.string(), said(MessageId::RewriteCannotSyncFormat, temp.path().c_str(),
                                         systemText(syncError).c_str()));
        checkUnchanged();
        prepareBackup();

        const int renameError = faulty(RewriteFault::Replace)                          ? EIO
                                : std::rename(temp.path().c_str(), m_target.c_str()) == 0 ? 0
                                                                                       : errno;
        if (renameError != 0)
            fail(m_target.string(), said(MessageId::RewriteCannotReplaceFormat, m_target.c_str(),
                                         systemText(renameError).c_str()));
        temp.keep();
        result.status = Status::Written;
        placeBackup(result);
        // The renames live in the directory.
        const Fd dir(open(m_target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.valid() && fsync(dir.get()) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EOPNOTSUPP
            && result.detail.empty())
            result.detail = said(MessageId::RewriteCannotSyncFormat, m_target.parent_path().c_str(),
                                 systemText(errno).c_str());
        result.written = m_target.string();
        result.entries = m_layout.entries;
        result.files = m_layout.files;
        result.size = m_layout.size;
    } catch (const Stop& stop) {
        result.status = stop.status;
        result.file = stop.file;
        result.detail = stop.detail;
    } catch (const std::bad_alloc&) {
        result.status = Status::Failed;
        result.file = m_identity.path();
        result.detail = korvix::msg(MessageId::OutOfMemory);
    }
    // A link made for a backup that was not placed goes again.
    if (!m_strBackupLink.empty())
        unlink(m_strBackupLink.c_str());
    return result;
}

}  // namespace

RewriteResult rewriteVolume(tarvos::GGroup& volume, const VolumeIdentity& identity, const RewritePlan& plan,
                            const RewriteOptions& options)
{
    return Rewrite(volume, identity, plan, options).run();
}
