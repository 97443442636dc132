#include "codecs/TextureWriter.h"

#include "codecs/DxtBlock.h"
#include "codecs/DxtTables.h"
#include "codecs/TextureFormat.h"
#include "common/AtomicFile.h"
#include "filters/ImageFilters.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct OutputSlot {
    std::FILE* file = nullptr;
    int counter = 0;  // survives between textures; every compressImage delivers three pieces
    bool failed = false;
};

OutputSlot& outputSlot()
{
    thread_local OutputSlot slot;
    return slot;
}

std::optional<texture::Format> formatOfCompressorCode(int code)
{
    for (const texture::FormatInfo& f : texture::FORMATS)
        if (f.compressorCode == code)
            return f.format;
    return std::nullopt;
}

// The 124-byte description the compressor delivers before a map: a plain
// surface header (size, flags, height, width, data size, pixel format, caps).
std::array<std::uint8_t, 124> describeSurface(int width, int height, texture::Format format, std::uint64_t size)
{
    std::array<std::uint8_t, 124> d{};
    texture::writeLe32(&d[0], 124);
    texture::writeLe32(&d[4], 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000);
    texture::writeLe32(&d[8], static_cast<std::uint32_t>(height));
    texture::writeLe32(&d[12], static_cast<std::uint32_t>(width));
    texture::writeLe32(&d[16], static_cast<std::uint32_t>(size));
    texture::writeLe32(&d[72], 32);
    switch (format) {
    case texture::Format::Dxt1:
    case texture::Format::Dxt3:
        texture::writeLe32(&d[76], 0x4);
        std::memcpy(&d[80], format == texture::Format::Dxt1 ? "DXT1" : "DXT3", 4);
        break;
    case texture::Format::Rgb565:
        texture::writeLe32(&d[76], 0x40);
        texture::writeLe32(&d[84], 16);
        texture::writeLe32(&d[88], 0xF800);
        texture::writeLe32(&d[92], 0x07E0);
        texture::writeLe32(&d[96], 0x001F);
        break;
    case texture::Format::Rgba4444:
        texture::writeLe32(&d[76], 0x41);
        texture::writeLe32(&d[84], 16);
        texture::writeLe32(&d[88], 0x0F00);
        texture::writeLe32(&d[92], 0x00F0);
        texture::writeLe32(&d[96], 0x000F);
        texture::writeLe32(&d[100], 0xF000);
        break;
    case texture::Format::Rgba8888:
        texture::writeLe32(&d[76], 0x41);
        texture::writeLe32(&d[84], 32);
        texture::writeLe32(&d[88], 0x00FF0000);
        texture::writeLe32(&d[92], 0x0000FF00);
        texture::writeLe32(&d[96], 0x000000FF);
        texture::writeLe32(&d[100], 0xFF000000);
        break;
    }
    texture::writeLe32(&d[104], 0x1000);
    return d;
}

// One map's rows as the encoders read them: image row y from the top at rows[y],
// 4 * width bytes of blue, green, red, alpha. With `opaque` every alpha byte is
// read as 255, whatever the rows hold.
struct MapRows {
    const std::uint8_t* const* rows;
    int width;
    int height;
    bool opaque;
};

// Rows [top, top + count) of the map, top-down without gaps, into `out`.
void gatherRows(const MapRows& map, int top, int count, std::uint8_t* out)
{
    const std::size_t bytes = 4 * static_cast<std::size_t>(map.width);
    for (int y = 0; y < count; ++y, out += bytes) {
        std::memcpy(out, map.rows[top + y], bytes);
        if (map.opaque)
            for (int x = 0; x < map.width; ++x)
                out[4 * x + 3] = 255;
    }
}

// Blocks of a map below 4 x 4 keep only their leading bytes in the file; there the
// colour block becomes c0 = c1 = the mean colour with all indices 0, so that the
// bytes that survive carry the colour.
void meanColourBlock(const MapRows& map, int bx, int by, std::uint8_t* colourBlock)
{
    std::uint32_t sum[3] = {0, 0, 0}, n = 0;
    for (int y = 4 * by; y < std::min(map.height, 4 * by + 4); ++y)
        for (int x = 4 * bx; x < std::min(map.width, 4 * bx + 4); ++x, ++n)
            for (int c = 0; c < 3; ++c)
                sum[c] += map.rows[y][4 * static_cast<std::size_t>(x) + static_cast<std::size_t>(c)];
    const auto mean = [&](int c) { return static_cast<int>((sum[c] + n / 2) / n); };
    const int v = dxt::tables::kNearestField5[mean(2)] << 11 | dxt::tables::kNearestField6[mean(1)] << 5
                  | dxt::tables::kNearestField5[mean(0)];
    colourBlock[0] = colourBlock[2] = static_cast<std::uint8_t>(v);
    colourBlock[1] = colourBlock[3] = static_cast<std::uint8_t>(v >> 8);
    std::memset(colourBlock + 4, 0, 4);
}

// With this many blocks or more per thread a map is shared out (a 256 x 256 map).
constexpr std::size_t BLOCKS_PER_THREAD = 4096;

// The block rows are shared out among the threads, each gathering its four image
// rows into a small buffer of its own (the map's rows may lie in any order, and
// alpha may need setting) and encoding them there; every block depends on its own
// texels only, so the output is the same for any thread count.
PixelMemory encodeBlocks(const MapRows& map, texture::Format format, dxt::Quality quality)
{
    const bool dxt3 = format == texture::Format::Dxt3;
    const std::size_t bytes = texture::blockBytes(format);
    const int width = map.width, height = map.height;
    const int blocksX = (width + 3) / 4, blocksY = (height + 3) / 4;
    const std::size_t blocks = static_cast<std::size_t>(blocksX) * static_cast<std::size_t>(blocksY);
    PixelMemory grid(blocks * bytes);

    const std::size_t useful = std::max<std::size_t>(1, blocks / BLOCKS_PER_THREAD);
    const std::size_t threads = std::min({std::max<std::size_t>(1, std::thread::hardware_concurrency()), useful,
                                          static_cast<std::size_t>(blocksY)});
    const std::size_t bandBytes = 16 * static_cast<std::size_t>(width);
    std::vector<std::uint8_t> bands(threads * bandBytes);  // allocated here: no thread throws
    std::atomic<int> nextRow{0};
    const auto work = [&](std::size_t t) {
        std::uint8_t* band = bands.data() + t * bandBytes;
        for (int by = nextRow++; by < blocksY; by = nextRow++) {
            const int count = std::min(4, height - 4 * by);
            gatherRows(map, 4 * by, count, band);
            dxt::encodeImage(band, width, count, 4 * static_cast<std::size_t>(width), dxt3,
                             grid.data() + static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksX) * bytes,
                             quality, 1);
        }
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(work, t);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the ones running and this one finish the map
        }
    }
    work(0);
    for (std::thread& t : helpers)
        t.join();

    const std::uint64_t size = texture::mapDataSize(format, width, height);
    if (size >= grid.size())
        return grid;
    const std::size_t share = static_cast<std::size_t>(size / blocks);
    PixelMemory out(static_cast<std::size_t>(size));
    if (share == 0)
        return out;  // a 1 x 1 map holds no bytes
    for (int by = 0; by < blocksY; ++by)
        for (int bx = 0; bx < blocksX; ++bx) {
            const std::size_t b = static_cast<std::size_t>(by) * static_cast<std::size_t>(blocksX) + static_cast<std::size_t>(bx);
            std::uint8_t* block = grid.data() + b * bytes;
            meanColourBlock(map, bx, by, block + (dxt3 ? 8 : 0));
            std::memcpy(out.data() + b * share, block, share);
        }
    return out;
}

PixelMemory encodeMap(const MapRows& map, texture::Format format, dxt::Quality quality)
{
    const std::size_t width = static_cast<std::size_t>(map.width);
    const std::size_t count = width * static_cast<std::size_t>(map.height);
    PixelMemory out;
    switch (format) {
    case texture::Format::Rgba8888:
        out = PixelMemory(count * 4);
        for (int y = 0; y < map.height; ++y)
            gatherRows(map, y, 1, out.data() + static_cast<std::size_t>(y) * width * 4);
        break;
    case texture::Format::Rgb565:
    case texture::Format::Rgba4444:
        out = PixelMemory(count * 2);
        for (int y = 0; y < map.height; ++y) {
            const std::uint8_t* p = map.rows[y];
            std::uint8_t* o = out.data() + static_cast<std::size_t>(y) * width * 2;
            for (std::size_t x = 0; x < width; ++x, p += 4, o += 2) {
                const unsigned a = map.opaque ? 255 : p[3];
                const unsigned v = format == texture::Format::Rgb565
                                       ? (p[2] >> 3) << 11 | (p[1] >> 2) << 5 | p[0] >> 3
                                       : (a >> 4) << 12 | (p[2] >> 4) << 8 | (p[1] >> 4) << 4 | p[0] >> 4;
                o[0] = static_cast<std::uint8_t>(v);
                o[1] = static_cast<std::uint8_t>(v >> 8);
            }
        }
        break;
    case texture::Format::Dxt1:
    case texture::Format::Dxt3:
        out = encodeBlocks(map, format, quality);
        break;
    }
    return out;
}

// Encodes one map and delivers it as the compressor does: tag, description, data.
// Throws std::bad_alloc when the output cannot be had.
void deliverMap(const MapRows& map, texture::Format format, dxt::Quality quality)
{
    const PixelMemory data = encodeMap(map, format, quality);
    const auto description = describeSurface(map.width, map.height, format, data.size());
    writeCompressedChunk(4, "DDS ");
    writeCompressedChunk(description.size(), description.data());
    writeCompressedChunk(data.size(), data.data());
}

bool isPowerOfTwo(int v)
{
    return v > 0 && std::has_single_bit(static_cast<unsigned>(v));
}


}  // namespace

void setCompressedOutput(std::FILE* file)
{
    outputSlot().file = file;
    outputSlot().failed = false;
}

bool compressedOutputFailed()
{
    return outputSlot().failed;
}

void writeCompressedChunk(std::size_t length, const void* data)
{
    OutputSlot& slot = outputSlot();
    if (!slot.file)
        return;
    if (slot.counter != 2) {
        ++slot.counter;
        return;
    }
    slot.counter = 0;
    if (length > 0 && std::fwrite(data, 1, length, slot.file) != length)
        slot.failed = true;
}

int compressImage(const std::uint8_t* pixels, int width, int height, int compressorCode, bool generateMaps,
                  bool dither, int bytesPerPixel, dxt::Quality quality)
{
    if (!pixels)
        return COMPRESS_NO_PIXELS;
    if (bytesPerPixel != 3 && bytesPerPixel != 4)
        return COMPRESS_BAD_PIXEL_SIZE;
    if (!isPowerOfTwo(width) || !isPowerOfTwo(height))
        return COMPRESS_NOT_POWER_OF_TWO;
    const auto format = formatOfCompressorCode(compressorCode);
    if (!format || generateMaps || dither)
        return COMPRESS_UNSUPPORTED;

    try {
        std::vector<std::uint8_t> expanded;
        if (bytesPerPixel == 3) {
            const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
            expanded.resize(count * 4);
            for (std::size_t i = 0; i < count; ++i) {
                std::memcpy(&expanded[4 * i], pixels + 3 * i, 3);
                expanded[4 * i + 3] = 255;
            }
            pixels = expanded.data();
        }
        std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y)
            rows[static_cast<std::size_t>(y)] = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4;
        deliverMap(MapRows{rows.data(), width, height, false}, *format, quality);
    } catch (const std::bad_alloc&) {
        return COMPRESS_OUT_OF_MEMORY;
    }
    return COMPRESS_OK;
}

namespace {

// Clears the output slot on every way out of writeTexture.
struct OutputGuard {
    explicit OutputGuard(std::FILE* file) { setCompressedOutput(file); }
    ~OutputGuard() { outputSlot().file = nullptr; }
    OutputGuard(const OutputGuard&) = delete;
    OutputGuard& operator=(const OutputGuard&) = delete;
};

TextureWriteStatus compressInto(const std::uint8_t* pixels, int width, int height, int code, dxt::Quality quality)
{
    if (compressImage(pixels, width, height, code, false, false, 4, quality) != COMPRESS_OK)
        return TextureWriteStatus::CompressFailed;
    return compressedOutputFailed() ? TextureWriteStatus::WriteFailed : TextureWriteStatus::Ok;
}

}  // namespace

TextureWriteStatus writeTexture(const std::filesystem::path& path, MapOption option, bool alpha, int mapCount,
                                const PixelBitmap& source, int formatIndex, dxt::Quality quality)
{
    const int W = source.width(), H = source.height();
    if (source.bitsPerPixel() != 32 || !texture::isTextureSide(W) || !texture::isTextureSide(H))
        return TextureWriteStatus::BadSize;
    if (formatIndex < 0 || formatIndex >= static_cast<int>(texture::FORMATS.size()))
        return TextureWriteStatus::AlphaMismatch;
    const texture::FormatInfo& format = texture::FORMATS[static_cast<std::size_t>(formatIndex)];
    if (format.hasAlpha != alpha)
        return TextureWriteStatus::AlphaMismatch;
    if (option == MapOption::Generate
            ? mapCount < 1 || mapCount > texture::MAX_MAPS || (W >> (mapCount - 1)) == 0 || (H >> (mapCount - 1)) == 0
            : mapCount != 1)
        return TextureWriteStatus::BadMapCount;

    try {
        // Generated maps are reduced from a working copy: the image top row first,
        // without gaps, alpha 255 where it is not written. One map is encoded
        // straight from the image's own rows.
        std::unique_ptr<FilterImage> work;
        if (option == MapOption::Generate) {
            work = newBgraImage(W, H);
            if (!work)
                return TextureWriteStatus::FilterFailed;
            for (int y = 0; y < H; ++y) {
                std::uint8_t* out = work->row(y);
                std::memcpy(out, source.row(y), work->stride());
                if (!alpha)
                    for (int x = 0; x < W; ++x)
                        out[4 * x + 3] = 255;
            }
        }

        std::optional<AtomicFile> file;
        try {
            file.emplace(path);
        } catch (const std::runtime_error&) {
            return TextureWriteStatus::OpenFailed;
        }
        const OutputGuard guard(file->stream());

        std::uint8_t header[texture::HEADER_SIZE];
        std::memcpy(header, "KTEX", 4);
        const std::uint32_t fields[8] = {0, static_cast<std::uint32_t>(format.format), static_cast<std::uint32_t>(W),
                                         static_cast<std::uint32_t>(H), static_cast<std::uint32_t>(mapCount),
                                         static_cast<std::uint32_t>(W), static_cast<std::uint32_t>(H), 0xFFFFFFFFu};
        for (std::size_t i = 0; i < 8; ++i)
            texture::writeLe32(header + 4 + 4 * i, fields[i]);
        if (std::fwrite(header, 1, sizeof header, file->stream()) != sizeof header)
            return TextureWriteStatus::WriteFailed;

        if (option != MapOption::Generate) {
            try {
                deliverMap(MapRows{source.rows(), W, H, !alpha}, format.format, quality);
            } catch (const std::bad_alloc&) {
                return TextureWriteStatus::CompressFailed;
            }
            if (compressedOutputFailed())
                return TextureWriteStatus::WriteFailed;
        } else {
            // Every map is reduced straight from the full image, smallest first.
            clearFilterError();
            for (int i = mapCount - 1; i >= 0; --i) {
                const int w = W >> i, h = H >> i;
                std::unique_ptr<FilterImage> reduced;
                const FilterImage* map = work.get();
                if (i > 0) {
                    reduced = newBgraImage(w, h);
                    if (!reduced)
                        return TextureWriteStatus::FilterFailed;
                    decimateArea(*work, *reduced);
                    if (lastFilterError() != FilterError::None)
                        return TextureWriteStatus::FilterFailed;
                    map = reduced.get();
                }
                const TextureWriteStatus status = compressInto(map->pixels(), w, h, format.compressorCode, quality);
                if (status != TextureWriteStatus::Ok)
                    return status;
            }
        }
        try {
            file->commit();
        } catch (const std::runtime_error&) {
            return TextureWriteStatus::WriteFailed;
        }
        return TextureWriteStatus::Ok;
    } catch (const std::bad_alloc&) {
        return TextureWriteStatus::FilterFailed;
    }
}
