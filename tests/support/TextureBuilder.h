// Hand-made texture files for the tests: the 36-byte header and the maps,
// smallest first, in RGBA 8888 (code 2), RGB 565 (code 8) or DXT1 (code 10,
// every block black).
#pragma once

#include "VolumeBuilder.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport {

using PixelFn = std::function<std::uint32_t(int map, int x, int y)>;  // 0xAARRGGBB

inline std::vector<unsigned char> textureBytes(int width, int height, int maps, int format, const PixelFn& pixel = {})
{
    std::vector<unsigned char> out(36);
    std::memcpy(out.data(), "KTEX", 4);
    const std::uint32_t fields[] = {0, static_cast<std::uint32_t>(format), static_cast<std::uint32_t>(width),
                                    static_cast<std::uint32_t>(height), static_cast<std::uint32_t>(maps),
                                    static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                    0xFFFFFFFFu};
    for (int i = 0; i < 8; ++i)
        put32(out.data() + 4 + 4 * i, fields[i]);
    const int n = maps < 1 ? 1 : maps;
    int w = width >> (n - 1), h = height >> (n - 1);
    for (int m = 0; m < n; ++m, w *= 2, h *= 2) {
        if (format == 10) {
            out.resize(out.size() + static_cast<std::size_t>(w) * h / 2, 0);
            continue;
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t v = pixel ? pixel(m, x, y) : 0xFF808080u;
                if (format == 2) {
                    for (int b = 0; b < 4; ++b)
                        out.push_back(static_cast<unsigned char>(v >> (8 * b)));
                } else {
                    const std::uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, bl = v & 0xFF;
                    const std::uint32_t c = (r >> 3) << 11 | (g >> 2) << 5 | (bl >> 3);
                    out.push_back(static_cast<unsigned char>(c));
                    out.push_back(static_cast<unsigned char>(c >> 8));
                }
            }
        }
    }
    return out;
}

}  // namespace testsupport
