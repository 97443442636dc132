// Builders for hand-made volumes and scratch directories used by the tests.
#pragma once

#include <qorbm.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

constexpr std::uint32_t DIR = tarvos::QORB_FLAG_DIRECTORY;
constexpr std::uint32_t LAST = tarvos::QORB_FLAG_LAST;

struct RawEntry {
    std::string name;
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    std::uint32_t flags = 0;
    std::uint32_t attributes = 0;
};

struct VolumeSpec {
    std::string comment;                  // copied over a block of 0x1A fill
    std::optional<std::array<unsigned char, 256>> rawComment;  // replaces the block when set
    std::string signature = "KRMTLW_V2.00";
    std::array<unsigned char, 4> signatureTail{};
    std::optional<std::uint32_t> entryCount;  // defaults to entries.size()
    std::optional<std::uint32_t> fileCount;   // defaults to the number of file entries
    std::uint32_t timestamp = 0;
    std::vector<RawEntry> entries;
    std::vector<unsigned char> data;  // appended after the catalogue
};

inline void put32(unsigned char* p, std::uint32_t v)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    std::memcpy(p, bytes, 4);
}

// The catalogue ends at this offset; data offsets of file entries count from the file start.
inline std::uint32_t dataStart(std::size_t entries)
{
    return static_cast<std::uint32_t>(tarvos::QORB_CATALOGUE_OFFSET + 80 * entries);
}

inline std::vector<unsigned char> volumeBytes(const VolumeSpec& spec)
{
    std::vector<unsigned char> out(tarvos::QORB_CATALOGUE_OFFSET + 80 * spec.entries.size(), 0);
    if (spec.rawComment) {
        std::memcpy(out.data(), spec.rawComment->data(), 256);
    } else {
        std::memset(out.data(), 0x1A, 256);
        std::memcpy(out.data(), spec.comment.data(), std::min<std::size_t>(256, spec.comment.size()));
    }
    std::memcpy(out.data() + 256, spec.signature.data(), std::min<std::size_t>(12, spec.signature.size()));
    std::memcpy(out.data() + 268, spec.signatureTail.data(), 4);
    std::uint32_t files = 0;
    for (const RawEntry& e : spec.entries)
        files += (e.flags & DIR) ? 0 : 1;
    put32(out.data() + 272, spec.entryCount.value_or(static_cast<std::uint32_t>(spec.entries.size())));
    put32(out.data() + 276, spec.fileCount.value_or(files));
    put32(out.data() + 280, spec.timestamp);
    for (std::size_t i = 0; i < spec.entries.size(); ++i) {
        unsigned char* rec = out.data() + tarvos::QORB_CATALOGUE_OFFSET + 80 * i;
        const RawEntry& e = spec.entries[i];
        std::memset(rec, ' ', 64);
        std::memcpy(rec, e.name.data(), std::min<std::size_t>(64, e.name.size()));
        put32(rec + 64, e.offset);
        put32(rec + 68, e.size);
        put32(rec + 72, e.flags);
        put32(rec + 76, e.attributes);
    }
    out.insert(out.end(), spec.data.begin(), spec.data.end());
    return out;
}

inline void writeFile(const std::filesystem::path& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<unsigned char> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh directory below the system's temporary directory, removed with the object.
class TempDir {
public:
    TempDir()
    {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("korvix-test-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace testsupport
