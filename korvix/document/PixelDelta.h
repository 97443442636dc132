// The change of a picture's rows, kept small: the old bytes minus the new
// (modulo 256), in bands of rows, a band the change did not touch kept as
// nothing at all.
//
// One record serves both directions: adding the difference to the changed
// rows gives the old ones back, subtracting it from the old rows gives the
// changed ones again, exactly. A change that moves many bytes by the same
// amount (brightness) leaves a difference of a few repeating values, which
// compresses to a few per cent of the picture; a change limited to a selection
// costs only the bands of its rows.
//
// Making a record costs one pass over the rows; the bands are compressed (LZ4)
// afterwards on a background thread, so that a command is not held up by it.
// Until then the record keeps the plain difference and is applied from that;
// bytes() tells which it holds now. Records are independent of each other and
// of the thread: applying one, measuring it or dropping it is safe at any time.
//
// The picture a record is applied to must have the size and depth of the one
// it was made from, in the state it was left in (after the change to undo it,
// before the change to redo it); anything else gives garbage, never an access
// out of bounds.
#pragma once

#include "codecs/PixelBitmap.h"
#include "common/PixelMemory.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class PixelDelta {
public:
    PixelDelta() = default;

    // The difference between two pictures of the same size and depth.
    static PixelDelta between(const PixelBitmap& before, const PixelBitmap& after);
    // The difference for rows y0 ... y0 + rows - 1 of `after`, whose old
    // content `beforeRows` holds, one row after the other (the picture's
    // bytesPerLine() each, top row first). The block becomes the record's.
    static PixelDelta between(PixelMemory&& beforeRows, int y0, int rows, const PixelBitmap& after);

    // The changed picture back to its old bytes (undo).
    void restore(PixelBitmap& picture) const;
    // The old picture to its changed bytes (redo).
    void reapply(PixelBitmap& picture) const;

    // No byte differs.
    bool empty() const;
    // Memory held now: the plain difference until it is compressed, then the
    // compressed bands.
    std::size_t bytes() const;
    // Waits until the record is compressed (tests and benchmarks).
    void settle() const;

    struct Record;

private:
    void apply(PixelBitmap& picture, bool add) const;

    std::shared_ptr<Record> m_record;
};
