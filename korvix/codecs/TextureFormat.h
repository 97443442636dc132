// The game's texture file: a 36-byte header, then the maps' pixel data without
// gaps, smallest map first.
//
//   offset  field                       read back
//   0       "KTEX"                      all four bytes must match
//   4       version (0)                 ignored
//   8       format code                 only the byte at 8
//   12, 16  width, height               ignored
//   20      number of maps              only the byte at 20, signed
//   24, 28  reference width, height     the size of the largest map
//   32      average colour (~0)         ignored
//
// Every field is a little-endian 32-bit integer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace texture {

constexpr std::size_t HEADER_SIZE = 36;
constexpr int MAX_MAPS = 10;

enum class Format : std::uint8_t {
    Rgba8888 = 2,
    Rgba4444 = 6,
    Rgb565 = 8,
    Dxt1 = 10,
    Dxt3 = 12,
};

struct FormatInfo {
    Format format;
    std::string_view label;       // the name the user sees
    int compressorCode;           // what compressImage takes for it
    bool hasAlpha;
};

// Indexed by the writer's format index 0 ... 4, the order of the export dialog.
inline constexpr std::array<FormatInfo, 5> FORMATS = {{
    {Format::Dxt1, "DXT1", 10, false},
    {Format::Dxt3, "DXT3", 12, true},
    {Format::Rgba4444, "RGBA 4444", 14, true},
    {Format::Rgb565, "RGB 565", 16, false},
    {Format::Rgba8888, "RGBA 8888", 17, true},
}};

constexpr const FormatInfo* infoOf(Format f)
{
    for (const FormatInfo& i : FORMATS)
        if (i.format == f)
            return &i;
    return nullptr;
}

// The format of a header's code byte, or nothing for a code the game does not know.
constexpr std::optional<Format> formatFromCode(std::uint8_t code)
{
    switch (code) {
    case 2: case 6: case 8: case 10: case 12:
        return static_cast<Format>(code);
    default:
        return std::nullopt;
    }
}

// Bytes of pixel data of a w x h map. Block formats use the reader's rule
// (w * h) / 2 and ((w * h) / 2) * 2, which for maps below 4 x 4 is shorter than
// a whole block (0 bytes for a 1 x 1 map, 2 for a 2 x 2 DXT1 map).
constexpr std::uint64_t mapDataSize(Format f, std::int64_t w, std::int64_t h)
{
    const auto pixels = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    switch (f) {
    case Format::Rgba8888: return pixels * 4;
    case Format::Rgba4444:
    case Format::Rgb565: return pixels * 2;
    case Format::Dxt1: return pixels / 2;
    case Format::Dxt3: return (pixels / 2) * 2;
    }
    return 0;
}

constexpr bool isBlockFormat(Format f) { return f == Format::Dxt1 || f == Format::Dxt3; }
constexpr std::size_t blockBytes(Format f) { return f == Format::Dxt1 ? 8 : 16; }

struct MapSize {
    std::int32_t width;
    std::int32_t height;
};

// Size of map i (0 = smallest) of a texture of `count` maps whose largest map is
// W x H: the smallest is W / 2^(count-1) x H / 2^(count-1), each next one twice
// as wide and high. A count of 1 or less is one map of W x H.
constexpr MapSize mapSize(std::int32_t W, std::int32_t H, int count, int i)
{
    if (count <= 1)
        return {W, H};
    const int shift = count - 1;
    return {(W >> shift) << i, (H >> shift) << i};
}

// The sides a texture may have, for the game to use it: powers of two from 4
// to 2048. The size dialog offers exactly these; the writer refuses others.
constexpr int SMALLEST_SIDE = 4;
constexpr int LARGEST_SIDE = 2048;

constexpr bool isTextureSide(std::int64_t side)
{
    return side >= SMALLEST_SIDE && side <= LARGEST_SIDE && (side & (side - 1)) == 0;
}

// The texture side nearest to `side`; halfway goes up, keeping detail.
constexpr int nearestTextureSide(std::int64_t side)
{
    int best = SMALLEST_SIDE;
    for (int p = SMALLEST_SIDE; p <= LARGEST_SIDE; p *= 2)
        if ((p > side ? p - side : side - p) <= (best > side ? best - side : side - best))
            best = p;
    return best;
}

// How many maps an image of width x height allows: the smaller side is halved
// while it is above 4 (a 256 x 256 image allows 7, a 256 x 64 one 5).
constexpr int mapsPossible(std::int32_t width, std::int32_t height)
{
    std::int32_t s = width < height ? width : height;
    int n = 1;
    while (s > 4) {
        s /= 2;
        ++n;
    }
    return n;
}

inline std::uint32_t readLe32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

inline void writeLe32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

}  // namespace texture
