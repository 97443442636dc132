// The change of a picture's rows, kept small: the old bytes minus the new
// (modulo 256), in bands of rows that are compressed one by one, a band the
// change did not touch kept as nothing at all.
//
// One record serves both directions: adding the difference to the changed
// rows gives the old ones back, subtracting it from the old rows gives the
// changed ones again, exactly. A change that moves many bytes by the same
// amount (brightness) leaves a difference of a few repeating values, which
// compresses to a few per cent of the picture; a change limited to a selection
// costs only the bands of its rows.
//
// The picture a record is applied to must have the size and depth of the one
// it was made from, in the state it was left in (after the change to undo it,
// before the change to redo it); anything else gives garbage, never an
// access out of bounds. Not thread-safe; distinct records may be used on
// distinct threads.
#pragma once

#include "codecs/PixelBitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class PixelDelta {
public:
    PixelDelta() = default;

    // The difference between two pictures of the same size and depth.
    static PixelDelta between(const PixelBitmap& before, const PixelBitmap& after);
    // The difference for rows y0 ... y0 + rows - 1 of `after`, whose old
    // content lies in `beforeRows`, one row after the other (the picture's
    // bytesPerLine() each, top row first).
    static PixelDelta between(const std::uint8_t* beforeRows, int y0, int rows, const PixelBitmap& after);

    // The changed picture back to its old bytes (undo).
    void restore(PixelBitmap& picture) const;
    // The old picture to its changed bytes (redo).
    void reapply(PixelBitmap& picture) const;

    // No byte differs.
    bool empty() const { return m_nChangedBands == 0; }
    // Memory held, compressed data and band table.
    std::size_t bytes() const;

private:
    struct Band {
        int y0 = 0;
        int rows = 0;
        std::size_t offset = 0;  // into m_data
        std::size_t size = 0;    // compressed bytes; 0 for a band without a change
    };
    template <typename OldRow>
    static PixelDelta build(OldRow oldRow, int y0, int rows, const PixelBitmap& after);
    void apply(PixelBitmap& picture, bool add) const;

    int m_nWidth = 0, m_nHeight = 0, m_nRowBytes = 0;
    std::vector<Band> m_bands;
    std::vector<std::uint8_t> m_data;
    int m_nChangedBands = 0;
};
