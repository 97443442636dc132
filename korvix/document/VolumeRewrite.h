// Rewriting a volume as one transaction: the plan (RewritePlan.h) is written
// as a complete new volume into a temporary file beside the volume, read back
// and compared with what every entry must hold, brought to disk, and renamed
// over the volume, which keeps its permissions. Until that rename the volume
// is not touched; every failure before it (a write, a full disk, a read-back
// that differs, a cancel, a volume changed on disk) leaves it byte for byte as
// it was and removes the temporary file.
//
// How to use it:
//   RewriteOptions options;
//   options.backup = true;                                   // keeps base.qrb.bak
//   options.progress = [](const RewriteProgress& p) { ... }; // optional
//   options.cancel = &cancelFlag;                            // optional
//   RewriteResult r = rewriteVolume(volume, identity, plan, options);
//
// `volume` is the open volume the plan was loaded from and `identity` what it
// was when opened or last written: a volume that changed on disk since, or one
// that cannot be written, is refused before anything is written. Unchanged
// data is copied from file to file inside the kernel (copy_file_range) where
// the system can, else read and written in pieces. With `backup` the volume
// as it was stays beside the new one, its whole name with ".bak" appended,
// replacing an older backup of that name. A volume reached through a symbolic
// link is rewritten where the link leads.
//
// Afterwards `volume` still holds the old file (or nothing of it); the caller
// opens the volume again.
//
// Threads: runs on the caller's thread, which may be any; the callbacks run on
// it too. `volume` must not be used elsewhere meanwhile. `cancel` may be set
// from any thread; the rewrite stops before the next piece of data, and is no
// longer cancelled once the new volume is on disk.
#pragma once

#include "document/RewritePlan.h"
#include "document/VolumeIdentity.h"

#include <qorbm.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct RewriteProgress {
    enum class Stage { Writing, Checking, Syncing };
    Stage stage = Stage::Writing;
    // Of the stage at hand: the files written or checked and their bytes.
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
};

// The points at which a test may make the rewrite fail as the system would.
enum class RewriteFault {
    NoCopyFileRange,  // the system has no copy_file_range: data goes through a buffer
    CorruptWritten,   // one byte of the new file comes back different when read
    Sync,             // bringing the new file to disk fails
    Backup,           // the backup cannot be made
    Replace,          // the new file cannot be renamed over the volume
};

struct RewriteOptions {
    bool backup = false;
    // Once before the first piece of each stage and after every piece of data.
    std::function<void(const RewriteProgress&)> progress;
    const std::atomic<bool>* cancel = nullptr;
    // For tests: asked at each fault point; true makes the rewrite fail there.
    std::function<bool(RewriteFault)> fault;
};

struct RewriteResult {
    enum class Status {
        Written,
        Changed,    // the volume changed on disk since it was opened: nothing written
        ReadOnly,   // the volume cannot be written: nothing written
        Refused,    // the plan cannot be written (detail says why): nothing written
        Failed,     // a step failed (file and detail say which and why): the volume is unchanged
        Cancelled,  // the volume is unchanged
    };
    Status status = Status::Failed;
    std::string file;    // the file a failure concerns
    std::string detail;  // why, in the chosen language
    std::string written;     // the volume's path as written (where a link led)
    std::string backupPath;  // where the old volume stays, with backup
    std::uint32_t entries = 0;
    std::uint32_t files = 0;
    std::uint64_t size = 0;  // the new volume's length
    bool ok() const { return status == Status::Written; }
};

RewriteResult rewriteVolume(tarvos::GGroup& volume, const VolumeIdentity& identity, const RewritePlan& plan,
                            const RewriteOptions& options = {});
