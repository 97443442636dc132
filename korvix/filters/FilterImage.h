#pragma once

#include "filters/ProcessRegion.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The working image of the image filters: width x height pixels of four
// interleaved 8-bit channels blue, green, red, alpha (channels 1 ... 4), the
// byte order of a 32-bit PixelBitmap.
//
// An image either owns its pixels, rows stored top-down without gaps, so that
// pixels() is a top-down BGRA buffer that the block compressor takes as it is;
// or it is a view over rows that someone else owns (a bitmap's storage, which
// may run bottom-up), so that a filter works on them where they lie. Row y of
// a view starts rowStep * y bytes from its top row; only row() reaches every
// row of both kinds.
class FilterImage {
public:
    // How neighbourhood filters read pixels outside the image. Replication (the
    // nearest edge pixel) is the one mode the system uses, and the default.
    enum class EdgeMode { Replicate };

    // Pixel contents are undefined. Throws std::bad_alloc when memory is short
    // (the primitives catch it and record an error instead).
    FilterImage(int width, int height);
    // A view over width x height pixels whose top row starts at `top`; the rows
    // stay the owner's and must outlive the view. rowStep may be negative.
    static FilterImage view(std::uint8_t* top, int width, int height, std::ptrdiff_t rowStep);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // The bytes of one row's pixels (not the distance between rows of a view).
    std::size_t stride() const { return static_cast<std::size_t>(m_width) * 4; }
    bool ownsPixels() const { return m_pixels != nullptr; }
    // The top row; a top-down contiguous buffer only when ownsPixels().
    std::uint8_t* pixels() { return m_top; }
    const std::uint8_t* pixels() const { return m_top; }
    std::uint8_t* row(int y) { return m_top + m_rowStep * y; }
    const std::uint8_t* row(int y) const { return m_top + m_rowStep * y; }

    // Not owned: the caller keeps the region alive while it is attached.
    const ProcessRegion* region() const { return m_pRegion; }
    void setRegion(const ProcessRegion* region) { m_pRegion = region; }
    EdgeMode edgeMode() const { return m_edgeMode; }
    void setEdgeMode(EdgeMode mode) { m_edgeMode = mode; }

private:
    FilterImage() = default;

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::unique_ptr<std::uint8_t[]> m_pixels;
    std::uint8_t* m_top = nullptr;
    std::ptrdiff_t m_rowStep = 0;
    const ProcessRegion* m_pRegion = nullptr;
    EdgeMode m_edgeMode = EdgeMode::Replicate;
};
