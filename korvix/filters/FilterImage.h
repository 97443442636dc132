#pragma once

#include "filters/ProcessRegion.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// The working image of the image filters: width x height pixels of four
// interleaved 8-bit channels blue, green, red, alpha (channels 1 ... 4), the
// byte order of a 32-bit PixelBitmap. Rows are stored top-down without gaps,
// so pixels() is a top-down BGRA buffer that the block compressor takes as it is.
class FilterImage {
public:
    // How neighbourhood filters read pixels outside the image. Replication (the
    // nearest edge pixel) is the one mode the system uses, and the default.
    enum class EdgeMode { Replicate };

    // Pixel contents are undefined. Throws std::bad_alloc when memory is short
    // (the primitives catch it and record an error instead).
    FilterImage(int width, int height);

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t stride() const { return static_cast<std::size_t>(m_width) * 4; }
    std::uint8_t* pixels() { return m_pixels.get(); }
    const std::uint8_t* pixels() const { return m_pixels.get(); }
    std::uint8_t* row(int y) { return m_pixels.get() + stride() * static_cast<std::size_t>(y); }
    const std::uint8_t* row(int y) const { return m_pixels.get() + stride() * static_cast<std::size_t>(y); }

    // Not owned: the caller keeps the region alive while it is attached.
    const ProcessRegion* region() const { return m_pRegion; }
    void setRegion(const ProcessRegion* region) { m_pRegion = region; }
    EdgeMode edgeMode() const { return m_edgeMode; }
    void setEdgeMode(EdgeMode mode) { m_edgeMode = mode; }

private:
    std::int32_t m_width;
    std::int32_t m_height;
    std::unique_ptr<std::uint8_t[]> m_pixels;
    const ProcessRegion* m_pRegion = nullptr;
    EdgeMode m_edgeMode = EdgeMode::Replicate;
};
