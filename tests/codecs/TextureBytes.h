// Hand-made texture files for the codec tests.
#pragma once

#include "codecs/TextureFormat.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace testsupport {

struct TextureHeader {
    std::uint32_t format = 2;
    std::int32_t width = 4, height = 4;     // offsets 12, 16 (ignored by the reader)
    std::uint32_t count = 1;
    std::int32_t refWidth = 4, refHeight = 4;  // offsets 24, 28
};

inline std::vector<std::uint8_t> textureBytes(const TextureHeader& h, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> bytes(texture::HEADER_SIZE);
    std::memcpy(bytes.data(), "KTEX", 4);
    const std::uint32_t fields[8] = {0, h.format, static_cast<std::uint32_t>(h.width), static_cast<std::uint32_t>(h.height),
                                     h.count, static_cast<std::uint32_t>(h.refWidth), static_cast<std::uint32_t>(h.refHeight),
                                     0xFFFFFFFFu};
    for (int i = 0; i < 8; ++i)
        texture::writeLe32(bytes.data() + 4 + 4 * i, fields[i]);
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// A header with both size pairs set to w x h.
inline std::vector<std::uint8_t> textureBytes(std::uint32_t format, int w, int h, std::uint32_t count,
                                              const std::vector<std::uint8_t>& data)
{
    return textureBytes({format, w, h, count, w, h}, data);
}

}  // namespace testsupport
