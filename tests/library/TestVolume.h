// A small volume file written for one test and removed afterwards.
#pragma once

#include "qorbm.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace testvolume {

inline std::filesystem::path scratchPath(const std::string& name)
{
    static int counter = 0;
    return std::filesystem::temp_directory_path()
           / ("qorbm-lib-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" + name);
}

inline void put32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out[at + static_cast<std::size_t>(k)] = static_cast<unsigned char>(v >> (8 * k));
}

class ScratchFile {
public:
    explicit ScratchFile(const std::vector<unsigned char>& bytes, const std::string& name = "vol.qrb")
        : m_path(scratchPath(name))
    {
        std::ofstream(m_path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                      static_cast<std::streamsize>(bytes.size()));
    }
    ~ScratchFile() { std::filesystem::remove(m_path); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    std::string path() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};

// A volume with one top-level file "a.txt" holding `data`.
inline std::vector<unsigned char> oneFileVolume(const std::string& data)
{
    std::vector<unsigned char> v(296 + 80, 0);
    std::memset(v.data(), 0x1A, 256);
    std::memcpy(v.data() + 256, "KRMTLW_V2.00", 12);
    put32(v, 272, 1);
    put32(v, 276, 1);
    const std::size_t entry = 296;
    std::memset(v.data() + entry, ' ', 64);
    std::memcpy(v.data() + entry, "a.txt", 5);
    put32(v, entry + 64, static_cast<std::uint32_t>(v.size()));
    put32(v, entry + 68, static_cast<std::uint32_t>(data.size()));
    put32(v, entry + 72, tarvos::QORB_FLAG_LAST);
    v.resize(v.size() + data.size());
    std::memcpy(v.data() + 376, data.data(), data.size());
    return v;
}

}  // namespace testvolume
