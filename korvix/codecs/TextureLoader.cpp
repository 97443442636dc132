#include "codecs/TextureLoader.h"

#include "codecs/CTextException.h"
#include "codecs/DxtBlock.h"

#include <algorithm>
#include <cstring>
#include <vector>

using texture::Format;

namespace {

std::uint16_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void decodeRgba8888(const std::uint8_t* data, PixelBitmap& map)
{
    const std::size_t rowBytes = static_cast<std::size_t>(map.width()) * 4;
    for (int y = 0; y < map.height(); ++y)
        std::memcpy(map.row(y), data + rowBytes * static_cast<std::size_t>(y), rowBytes);
}

template <typename Expand>
void decode16(const std::uint8_t* data, PixelBitmap& map, Expand expand)
{
    const std::size_t w = static_cast<std::size_t>(map.width());
    for (int y = 0; y < map.height(); ++y) {
        const std::uint8_t* in = data + 2 * w * static_cast<std::size_t>(y);
        std::uint8_t* out = map.row(y);
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t v = expand(le16(in + 2 * x));
            std::memcpy(out + 4 * x, &v, 4);
        }
    }
}

// 0xAARRGGBB words, stored little-endian: blue, green, red, alpha in memory.
std::uint32_t expand4444(std::uint32_t v)
{
    const std::uint32_t b = (v & 15) * 17, g = ((v >> 4) & 15) * 17, r = ((v >> 8) & 15) * 17,
                        a = ((v >> 12) & 15) * 17;
    return a << 24 | r << 16 | g << 8 | b;
}

std::uint32_t expand565(std::uint32_t v)
{
    const std::uint32_t r = (v >> 8) & 0xF8, g = (v >> 3) & 0xFC, b = (v << 3) & 0xF8;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

void decodeBlocks(Format format, const std::uint8_t* data, std::uint64_t dataSize, PixelBitmap& map)
{
    const int w = map.width(), h = map.height();
    const int blocksX = (w + 3) / 4, blocksY = (h + 3) / 4;
    const std::size_t bytes = texture::blockBytes(format);
    const std::uint64_t gridBytes = std::uint64_t{bytes} * static_cast<std::uint64_t>(blocksX) * static_cast<std::uint64_t>(blocksY);

    // A map below 4 pixels on a side holds fewer bytes than its blocks: each
    // block gets an equal share of the data as its leading bytes, the rest zero,
    // so that no read leaves the map's data.
    std::vector<std::uint8_t> padded;
    if (dataSize < gridBytes) {
        const std::uint64_t blocks = gridBytes / bytes;
        const std::size_t share = static_cast<std::size_t>(dataSize / blocks);
        padded.assign(static_cast<std::size_t>(gridBytes), 0);
        for (std::size_t b = 0; b < blocks; ++b)
            std::copy_n(data + b * share, share, padded.begin() + static_cast<std::ptrdiff_t>(b * bytes));
        data = padded.data();
    }

    dxt::decodeImage(data, w, h, format == Format::Dxt3, map.rows());
}

void decodeMap(Format format, const std::uint8_t* data, std::uint64_t dataSize, PixelBitmap& map)
{
    switch (format) {
    case Format::Rgba8888: decodeRgba8888(data, map); break;
    case Format::Rgba4444: decode16(data, map, expand4444); break;
    case Format::Rgb565: decode16(data, map, expand565); break;
    case Format::Dxt1:
    case Format::Dxt3: decodeBlocks(format, data, dataSize, map); break;
    }
}

LoadedTexture failed(TextureLoadStatus status)
{
    LoadedTexture result;
    result.status = status;
    return result;
}

}  // namespace

TextureLayout textureLayout(const std::uint8_t* bytes, std::size_t length)
{
    TextureLayout layout;
    if (!bytes || length < 4 || std::memcmp(bytes, "KTEX", 4) != 0)
        return layout;
    layout.status = TextureLoadStatus::Truncated;
    if (length < texture::HEADER_SIZE)
        return layout;

    const int count = static_cast<std::int8_t>(bytes[20]);
    layout.status = TextureLoadStatus::TooManyMaps;
    if (count > texture::MAX_MAPS)
        return layout;
    const auto format = texture::formatFromCode(bytes[8]);
    layout.status = TextureLoadStatus::UnknownFormat;
    if (!format)
        return layout;

    const auto W = static_cast<std::int32_t>(texture::readLe32(bytes + 24));
    const auto H = static_cast<std::int32_t>(texture::readLe32(bytes + 28));
    layout.status = TextureLoadStatus::BadSize;
    if (W < 0 || H < 0 || W > texture::MAX_SIDE || H > texture::MAX_SIDE)
        return layout;

    const int maps = std::max(count, 1);
    std::uint64_t end = texture::HEADER_SIZE;
    for (int i = 0; i < maps; ++i) {
        const texture::MapSize s = texture::mapSize(W, H, count, i);
        layout.largest = s;
        layout.largestOffset = end;
        layout.largestBytes = texture::mapDataSize(*format, s.width, s.height);
        end += layout.largestBytes;
    }
    layout.status = TextureLoadStatus::Ok;
    layout.format = *format;
    layout.hasAlpha = texture::infoOf(*format)->hasAlpha;
    layout.count = maps;
    layout.end = end;
    return layout;
}

void decodeTextureMap(Format format, const std::uint8_t* data, std::uint64_t dataSize, PixelBitmap& map)
{
    decodeMap(format, data, dataSize, map);
}

LoadedTexture loadTexture(const std::uint8_t* bytes, std::size_t length)
{
    const TextureLayout layout = textureLayout(bytes, length);
    if (!layout.ok())
        return failed(layout.status);
    // Every map's data must lie inside the bytes before anything is allocated.
    if (layout.end > length)
        return failed(TextureLoadStatus::Truncated);

    const int count = static_cast<std::int8_t>(bytes[20]);
    const auto W = static_cast<std::int32_t>(texture::readLe32(bytes + 24));
    const auto H = static_cast<std::int32_t>(texture::readLe32(bytes + 28));
    LoadedTexture result;
    try {
        MapSet set(layout.count);
        std::size_t pos = texture::HEADER_SIZE;
        for (int i = 0; i < layout.count; ++i) {
            const texture::MapSize s = texture::mapSize(W, H, count, i);
            const std::uint64_t size = texture::mapDataSize(layout.format, s.width, s.height);
            set[i].create(s.width, s.height, 32, true);
            decodeMap(layout.format, bytes + pos, size, set[i]);
            pos += static_cast<std::size_t>(size);
        }
        result.maps = std::move(set);
    } catch (const CTextException&) {
        return failed(TextureLoadStatus::DecodeFailed);
    } catch (const std::bad_alloc&) {
        return failed(TextureLoadStatus::DecodeFailed);
    }
    result.status = TextureLoadStatus::Ok;
    result.format = layout.format;
    result.hasAlpha = layout.hasAlpha;
    return result;
}

const char* describe(TextureLoadStatus status)
{
    switch (status) {
    case TextureLoadStatus::Ok: return "ok";
    case TextureLoadStatus::NotTexture: return "not a texture (no KTEX magic)";
    case TextureLoadStatus::TooManyMaps: return "map count above 10";
    case TextureLoadStatus::UnknownFormat: return "unsupported texture format";
    case TextureLoadStatus::Truncated: return "texture data shorter than its header announces";
    case TextureLoadStatus::BadSize: return "texture size out of range";
    case TextureLoadStatus::DecodeFailed: return "not enough memory to decode the texture";
    }
    return "unknown error";
}
