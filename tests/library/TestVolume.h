// The one volume most library tests need, built with the shared test support.
#pragma once

#include "VolumeBuilder.h"

#include <string>
#include <vector>

namespace testvolume {

// One top-level file "a.txt" holding `data`, which starts at file offset 376.
inline std::vector<unsigned char> oneFileVolume(const std::string& data)
{
    testsupport::VolumeSpec volume;
    volume.entries = {{"a.txt", testsupport::dataStart(1), static_cast<std::uint32_t>(data.size()), testsupport::LAST}};
    volume.data.assign(data.begin(), data.end());
    return testsupport::volumeBytes(volume);
}

// A scratch directory holding files written for one test.
class Scratch {
public:
    std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const
    {
        testsupport::writeFile(m_dir / name, bytes);
        return (m_dir / name).string();
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }

private:
    testsupport::TempDir m_dir;
};

}  // namespace testvolume
