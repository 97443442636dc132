#pragma once

#include "codecs/PixelBitmap.h"

#include <vector>

// The maps of one texture, smallest first as they lie in a texture file; the
// last element is the largest, full-size map. An ordinary image is a set of one.
class MapSet {
public:
    static constexpr int MAX_MAPS = 10;

    MapSet() = default;
    explicit MapSet(int count) : m_maps(static_cast<std::size_t>(count)) {}

    int count() const { return static_cast<int>(m_maps.size()); }
    PixelBitmap& operator[](int i) { return m_maps[static_cast<std::size_t>(i)]; }
    const PixelBitmap& operator[](int i) const { return m_maps[static_cast<std::size_t>(i)]; }
    PixelBitmap& largest() { return m_maps.back(); }
    const PixelBitmap& largest() const { return m_maps.back(); }

private:
    std::vector<PixelBitmap> m_maps;
};
