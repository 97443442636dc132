#include "codecs/PixelBitmap.h"

#include "codecs/CTextException.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

std::uint32_t tableEntries(int bitsPerPixel)
{
    return bitsPerPixel <= 15 ? (1u << bitsPerPixel) : 0u;
}

}  // namespace

PixelBitmap::PixelBitmap()
{
    create(16, 16, 8, false);
}

PixelBitmap::PixelBitmap(const PixelBitmap& other)
{
    copyFrom(other, 0);
}

PixelBitmap& PixelBitmap::operator=(const PixelBitmap& other)
{
    copyFrom(other, 0);
    return *this;
}

PixelBitmap::PixelBitmap(PixelBitmap&& other) noexcept
{
    *this = std::move(other);
}

PixelBitmap& PixelBitmap::operator=(PixelBitmap&& other) noexcept
{
    if (&other == this)
        return *this;
    m_width = std::exchange(other.m_width, 0);
    m_height = std::exchange(other.m_height, 0);
    m_bitsPerPixel = other.m_bitsPerPixel;
    m_colourTable = std::exchange(other.m_colourTable, nullptr);
    m_pixels = std::exchange(other.m_pixels, nullptr);
    m_hasAlpha = other.m_hasAlpha;
    m_rows = std::move(other.m_rows);
    other.m_rows.clear();
    m_storage = std::move(other.m_storage);
    m_storageSize = std::exchange(other.m_storageSize, 0);
    return *this;
}

void PixelBitmap::release()
{
    m_storage.reset();
    m_storageSize = 0;
    m_rows.clear();
    m_pixels = nullptr;
    m_colourTable = nullptr;
}

void PixelBitmap::rebuildRows()
{
    const std::size_t stride = static_cast<std::size_t>(bytesPerLine());
    m_rows.resize(static_cast<std::size_t>(m_height));
    for (std::int32_t y = 0; y < m_height; ++y)
        m_rows[static_cast<std::size_t>(y)] = m_pixels + static_cast<std::size_t>(m_height - 1 - y) * stride;
}

void PixelBitmap::create(int width, int height, int bitsPerPixel, bool hasAlpha)
{
    release();
    if (width < 0 || height < 0 || bitsPerPixel <= 0 || bitsPerPixel > 32)
        throw CTextException(10, "Can't create bitmap.");
    const std::uint32_t entries = tableEntries(bitsPerPixel);
    // The row stride must fit the header's 32-bit fields and bytesPerLine().
    const std::uint64_t stride = ((static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitsPerPixel) + 31) / 32) * 4;
    if (stride > 0x7FFFFFFF)
        throw CTextException(10, "Can't create bitmap.");
    const std::uint64_t size = HEADER_SIZE + std::uint64_t{entries} * 4 + stride * static_cast<std::uint64_t>(height);
    try {
        m_rows.reserve(static_cast<std::size_t>(height));
        m_storage = PixelMemory(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        release();
        throw CTextException(10, "Can't create bitmap.");
    }
    m_storageSize = static_cast<std::size_t>(size);

    std::uint8_t* header = m_storage.data();
    put32(header + 0, HEADER_SIZE);
    put32(header + 4, static_cast<std::uint32_t>(width));
    put32(header + 8, static_cast<std::uint32_t>(height));
    put16(header + 12, 1);
    put16(header + 14, static_cast<std::uint32_t>(bitsPerPixel));

    m_colourTable = entries ? reinterpret_cast<std::uint32_t*>(header + HEADER_SIZE) : nullptr;
    m_pixels = header + HEADER_SIZE + entries * 4;
    m_width = width;
    m_height = height;
    m_bitsPerPixel = static_cast<std::uint16_t>(bitsPerPixel);
    m_hasAlpha = hasAlpha;
    rebuildRows();

    if (entries) {
        const std::uint32_t step = 255 / (entries - 1);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::uint32_t g = step * i;
            m_colourTable[i] = 0xFF000000u | (g << 16) | (g << 8) | g;
        }
    }
}

void PixelBitmap::copyFrom(const PixelBitmap& source, int bitsPerPixel)
{
    if (bitsPerPixel == 0 || bitsPerPixel == source.m_bitsPerPixel) {
        if (&source == this)
            return;
        create(source.m_width, source.m_height, source.m_bitsPerPixel, source.m_hasAlpha);
        const std::size_t stride = static_cast<std::size_t>(bytesPerLine());
        if (stride * static_cast<std::size_t>(m_height) > 0)
            std::memcpy(m_pixels, source.m_pixels, stride * static_cast<std::size_t>(m_height));
        if (m_colourTable)
            std::memcpy(m_colourTable, source.m_colourTable, tableEntries(m_bitsPerPixel) * 4);
        return;
    }
    // Expanding an indexed source to 32 bits through its colour table; a copy
    // onto itself works on a snapshot of the source.
    const PixelBitmap snapshot = &source == this ? PixelBitmap(source) : PixelBitmap();
    const PixelBitmap& src = &source == this ? snapshot : source;
    create(src.m_width, src.m_height, 32, src.m_hasAlpha);
    for (int y = 0; y < m_height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(row(y));
        for (int x = 0; x < m_width; ++x)
            out[x] = src.pixelAt(x, y) < tableEntries(src.m_bitsPerPixel) ? src.m_colourTable[src.pixelAt(x, y)] : 0;
    }
}

void PixelBitmap::crop(int left, int right, int top, int bottom)
{
    *this = cropped(left, right, top, bottom);
}

PixelBitmap PixelBitmap::cropped(int left, int right, int top, int bottom) const
{
    left = std::clamp(left, 0, m_width);
    right = std::clamp(right, left, m_width);
    top = std::clamp(top, 0, m_height);
    bottom = std::clamp(bottom, top, m_height);
    PixelBitmap part;
    part.create(right - left, bottom - top, m_bitsPerPixel, m_hasAlpha);
    const std::size_t bytesPerPixel = m_bitsPerPixel / 8;
    for (int y = top; y < bottom; ++y)
        std::memcpy(part.row(y - top), row(y) + static_cast<std::size_t>(left) * bytesPerPixel,
                    static_cast<std::size_t>(right - left) * bytesPerPixel);
    if (m_colourTable)
        std::memcpy(part.m_colourTable, m_colourTable, tableEntries(m_bitsPerPixel) * 4);
    return part;
}

std::uint32_t PixelBitmap::pixelAt(int x, int y) const
{
    const std::uint8_t* p = row(y);
    if (m_bitsPerPixel == 32) {
        std::uint32_t v;
        std::memcpy(&v, p + static_cast<std::size_t>(x) * 4, 4);
        return v;
    }
    return p[x];
}

std::size_t PixelBitmap::memoryUsed() const
{
    return m_storageSize + sizeof(*this);
}

void PixelBitmap::saveAsBmp(const std::string& path) const
{
    std::optional<AtomicFile> file;
    try {
        file.emplace(path);
    } catch (const std::runtime_error&) {
        throw CTextException(5, "SaveAsBmp:Can't open file.");
    }
    std::FILE* f = file->stream();

    std::uint8_t fileHeader[14] = {'B', 'M'};
    bool ok = true;
    if (m_bitsPerPixel > 8) {
        const std::size_t stride = (3 * static_cast<std::size_t>(m_width) + 3) & ~std::size_t{3};
        put32(fileHeader + 2, static_cast<std::uint32_t>(54 + stride * static_cast<std::size_t>(m_height)));
        put32(fileHeader + 10, 54);
        std::uint8_t info[HEADER_SIZE];
        std::memcpy(info, m_storage.data(), HEADER_SIZE);
        put16(info + 14, 24);
        std::vector<std::uint8_t> line(stride, 0x20);
        ok = std::fwrite(fileHeader, 1, 14, f) == 14 && std::fwrite(info, 1, HEADER_SIZE, f) == HEADER_SIZE;
        for (int y = m_height - 1; ok && y >= 0; --y) {
            const std::uint8_t* p = row(y);
            for (int x = 0; x < m_width; ++x) {
                line[3 * static_cast<std::size_t>(x)] = p[4 * x];
                line[3 * static_cast<std::size_t>(x) + 1] = p[4 * x + 1];
                line[3 * static_cast<std::size_t>(x) + 2] = p[4 * x + 2];
            }
            ok = std::fwrite(line.data(), 1, stride, f) == stride;
        }
    } else {
        const std::size_t table = tableEntries(m_bitsPerPixel) * 4;
        const std::size_t pixelBytes = static_cast<std::size_t>(bytesPerLine()) * static_cast<std::size_t>(m_height);
        put32(fileHeader + 2, static_cast<std::uint32_t>(54 + table + pixelBytes));
        put32(fileHeader + 10, static_cast<std::uint32_t>(54 + table));
        ok = std::fwrite(fileHeader, 1, 14, f) == 14 && std::fwrite(m_storage.data(), 1, m_storageSize, f) == m_storageSize;
    }
    try {
        if (ok)
            file->commit();
    } catch (const std::runtime_error&) {
        ok = false;
    }
    if (!ok)
        throw CTextException(5, "SaveAsBmp:Can't write file.");
}
