#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

#include <sys/types.h>

// Durability paid once per run instead of once per file. A run that writes many
// files (an extraction, a pack) hands one SyncBatch to each AtomicFile it
// commits: the file is renamed into place without a sync of its own, and the
// batch remembers the file system it landed on. sync() then flushes each of
// those file systems once (syncfs), so that after a successful sync() every
// file, every rename and every directory of the run is on disk. sync() also
// reports a write that the disk refused after the fact (the kernel keeps such
// errors for it), which makes the run a failure.
//
// Every file still lands whole: a reader never sees a half-written file under
// its name, and a failed or cancelled run leaves no temporary file. Before
// sync() has returned, a crash of the machine (not of the program) may leave
// files of the run empty or missing; that is the price of not syncing each one.
//
// A batch belongs to one run on one thread.
class SyncBatch {
public:
    SyncBatch() = default;
    ~SyncBatch();
    SyncBatch(const SyncBatch&) = delete;
    SyncBatch& operator=(const SyncBatch&) = delete;

    // Remembers the file system of the open file `fd` (AtomicFile::commit calls it).
    void note(int fd);
    // Remembers the file system of a directory the run made.
    void note(const std::filesystem::path& directory);
    // Flushes every file system remembered, once each. Empty on success; the
    // system's error otherwise. The batch is empty afterwards either way.
    std::error_code sync();

private:
    struct FileSystem {
        dev_t device;
        int fd;  // a descriptor on that file system, for syncfs
    };
    bool known(dev_t device) const;

    std::vector<FileSystem> m_fileSystems;
    bool m_bEverything = false;  // a file system could not be held: sync() flushes all of them
};
