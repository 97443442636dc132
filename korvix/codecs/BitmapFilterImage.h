// Conversion between the 32-bit PixelBitmap and the filters' FilterImage. Both
// hold blue, green, red, alpha per pixel; rows are copied top-down. Failures are
// recorded as the filter primitives record theirs (lastFilterError()).
#pragma once

#include "filters/FilterImage.h"

#include <memory>

class PixelBitmap;

// A new image with the bitmap's size and pixels; nothing when the bitmap is not
// 32 bits per pixel or memory is short.
std::unique_ptr<FilterImage> imageFromBitmap(const PixelBitmap& bitmap);
// A view over the bitmap's own rows, so that a filter reads and writes the
// pixels where they lie (no copy); the bitmap must outlive it and keep its size.
// A bitmap that is not 32 bits per pixel gives an empty view and an error.
FilterImage bitmapView(PixelBitmap& bitmap);
// Writes every byte of the image into a 32-bit bitmap of the same size that the
// caller has created; a bitmap of another size or depth is an error.
void imageToBitmap(const FilterImage& image, PixelBitmap& bitmap);
