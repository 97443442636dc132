#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// Writes a file without ever leaving a half-written one: the bytes go to a
// temporary file beside the target, which replaces the target only on commit().
// Destroyed without commit(), the temporary file is removed and an existing
// target stays untouched. Throws std::runtime_error with a readable detail.
class AtomicFile {
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::FILE* stream() { return m_fFile; }
    const std::filesystem::path& tempPath() const { return m_tempPath; }
    void write(const void* data, std::size_t size);
    // Flushes, syncs and renames the temporary file over the target.
    void commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_tempPath;
    std::FILE* m_fFile = nullptr;
    bool m_bCommitted = false;
};
