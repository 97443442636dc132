#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

class SyncBatch;

// Writes a file without ever leaving a half-written one: the bytes go to a
// temporary file beside the target, which replaces the target only on commit().
// Destroyed without commit(), the temporary file is removed and an existing
// target stays untouched. Throws std::runtime_error with a readable detail.
//
// Durability: on its own, commit() syncs the file, renames it over the target
// and syncs the directory, so the new file is on disk when commit() returns.
// Given a SyncBatch, commit() only renames and leaves the syncing to the
// batch's one sync() at the end of the run.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target, SyncBatch* batch = nullptr);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::FILE* stream() { return m_fFile; }
    const std::filesystem::path& tempPath() const { return m_tempPath; }
    void write(const void* data, std::size_t size);
    // Flushes, syncs (or leaves that to the batch) and renames the temporary
    // file over the target.
    void commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_tempPath;
    std::FILE* m_fFile = nullptr;
    SyncBatch* m_pBatch = nullptr;
    bool m_bCommitted = false;
};
