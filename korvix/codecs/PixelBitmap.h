#pragma once

#include "common/PixelMemory.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One in-memory image held as a device-independent bitmap: one block with a
// 40-byte BITMAPINFOHEADER, a colour table at 8 bits per pixel, then the pixel
// rows. Rows are stored bottom-up and reached top-down through rows(): rows()[0]
// is the top image row. At 32 bits a pixel is blue, green, red, alpha in memory
// (0xAARRGGBB read as a little-endian word).
//
// The block comes from PixelMemory: a large one is fetched in huge pages.
// A default-constructed bitmap is 16 x 16 at 8 bits with a grey colour table.
// Failures throw CTextException (10 out of memory, 5 file cannot be opened).
class PixelBitmap {
public:
    static constexpr std::size_t HEADER_SIZE = 40;

    PixelBitmap();
    PixelBitmap(const PixelBitmap& other);
    PixelBitmap& operator=(const PixelBitmap& other);
    // A moved-from bitmap is 0 x 0: still valid, with no rows.
    PixelBitmap(PixelBitmap&& other) noexcept;
    PixelBitmap& operator=(PixelBitmap&& other) noexcept;
    ~PixelBitmap() = default;

    // Discards the content and builds a width x height bitmap; pixel bytes
    // start as zeros. bitsPerPixel is 8 or 32.
    void create(int width, int height, int bitsPerPixel, bool hasAlpha);
    // Makes this a copy of source; bitsPerPixel 0 keeps the source's depth,
    // 32 from an 8-bit source expands through the colour table.
    void copyFrom(const PixelBitmap& source, int bitsPerPixel = 0);
    // Keeps columns [left, right) of rows [top, bottom); the rectangle is clipped
    // to the bitmap (an inverted one keeps nothing).
    void crop(int left, int right, int top, int bottom);
    // The same part as a new bitmap; this one stays as it is.
    PixelBitmap cropped(int left, int right, int top, int bottom) const;
    // Writes a Windows bitmap file: 24 bits from a 32-bit bitmap (alpha dropped,
    // rows padded with blanks), the stored layout at 8 bits. The file appears only
    // when complete; an existing file stays untouched on failure (code 5).
    void saveAsBmp(const std::string& path) const;

    // 32 bits: the pixel value 0xAARRGGBB; 8 bits: the colour-table index.
    std::uint32_t pixelAt(int x, int y) const;
    std::size_t memoryUsed() const;
    int bytesPerLine() const { return strideFor(m_width, m_bitsPerPixel); }

    int width() const { return m_width; }
    int height() const { return m_height; }
    int bitsPerPixel() const { return m_bitsPerPixel; }
    bool hasAlpha() const { return m_hasAlpha; }
    void setHasAlpha(bool alpha) { m_hasAlpha = alpha; }
    std::uint8_t* const* rows() { return m_rows.data(); }
    const std::uint8_t* const* rows() const { return m_rows.data(); }
    std::uint8_t* row(int y) { return m_rows[static_cast<std::size_t>(y)]; }
    const std::uint8_t* row(int y) const { return m_rows[static_cast<std::size_t>(y)]; }
    // The first stored row, which is the bottom image row.
    std::uint8_t* pixels() { return m_pixels; }
    const std::uint8_t* pixels() const { return m_pixels; }
    std::uint32_t* colourTable() { return m_colourTable; }
    const std::uint32_t* colourTable() const { return m_colourTable; }
    // The header followed by the colour table and the pixel rows.
    const std::uint8_t* storage() const { return m_storage.data(); }
    std::size_t storageSize() const { return m_storageSize; }

    static int strideFor(int width, int bitsPerPixel)
    {
        return static_cast<int>(((static_cast<std::int64_t>(width) * bitsPerPixel + 31) / 32) * 4);
    }

private:
    void release();
    void rebuildRows();

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint16_t m_bitsPerPixel = 0;
    std::uint32_t* m_colourTable = nullptr;
    std::uint8_t* m_pixels = nullptr;
    bool m_hasAlpha = false;
    std::vector<std::uint8_t*> m_rows;
    PixelMemory m_storage;
    std::size_t m_storageSize = 0;
};
