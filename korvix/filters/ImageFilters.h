// The image filter primitives: neighbourhood filters, resamplers and
// per-channel arithmetic on FilterImage. They know no bitmap class; the
// conversion from and to PixelBitmap is the codecs' (codecs/BitmapFilterImage.h).
//
// Processed channels: those named by the region's channel (0 = blue, green and
// red), or the three colour channels without a region; the resamplers always
// process all four. Processed pixels: those inside the region's rectangle, or all.
// A destination pixel or channel that is not processed keeps its value. The
// destination's region is used (the source's when the destination has none).
//
// No primitive throws. A failure (a missing image, sizes that do not fit, an
// argument out of range, memory short) records a FilterError, which the caller
// reads with lastFilterError(); in the report mode it is also handed to the
// report function. The document switches to the silent mode once, at start.
// The error state and mode belong to the calling thread.
#pragma once

#include "filters/FilterImage.h"

#include <memory>

enum class FilterError { None, NoImage, SizeMismatch, BadArgument, OutOfMemory };

using FilterReportFn = void (*)(FilterError error, const char* operation);

// Silent: record the error and return. Otherwise: record it and call `report`
// (by default a line on the error stream).
void setFilterSilentMode(bool silent, FilterReportFn report = nullptr);
FilterError lastFilterError();
void clearFilterError();
// Records a failure of `operation` as the primitives do (for the layers above
// that build on them, such as the bitmap conversion).
void recordFilterError(FilterError error, const char* operation);

// Four channels, pixels undefined; nothing when memory is short.
std::unique_ptr<FilterImage> newBgraImage(int width, int height);
// An exact copy of size and pixels (no region attached); nothing when memory is short.
std::unique_ptr<FilterImage> cloneImage(const FilterImage& image);
void releaseImage(std::unique_ptr<FilterImage>& image);
void setEdgeReplicate(FilterImage& image);

// n x n mean (n = 1 ... 15, 0 <= anchor < n), rounded to nearest; the cost per
// pixel does not depend on n.
void boxBlur(const FilterImage& src, FilterImage& dst, int n, int anchor);
// 16 at the centre, -1 at the eight neighbours, divided by 8 (rounded to
// nearest) and clamped to 0 ... 255.
void sharpen3x3(const FilterImage& src, FilterImage& dst);

enum class MirrorAxis {
    Vertical,    // left-right: d(x, y) = s(width - 1 - x, y)
    Horizontal,  // top-bottom: d(x, y) = s(x, height - 1 - y)
};
void mirrorImage(const FilterImage& src, FilterImage& dst, MirrorAxis axis);

// Bicubic resampling (Keys' kernel, a = -0.5) to the destination's size; pixel
// centres are aligned, samples outside the source replicate its edge, results
// are rounded and clamped to 0 ... 255.
void resampleCubic(const FilterImage& src, FilterImage& dst);
// Each destination pixel is the mean of the source area it covers, partly
// covered pixels weighted by the covered part, rounded to nearest. The
// destination must not be larger than the source in either dimension.
void decimateArea(const FilterImage& src, FilterImage& dst);

// d = min(255, s + value) and d = max(0, s - value), value 0 ... 255.
void addConstant(const FilterImage& src, FilterImage& dst, int value);
void subtractConstant(const FilterImage& src, FilterImage& dst, int value);
// d = s for the processed channels of the processed pixels.
void copyChannels(const FilterImage& src, FilterImage& dst);
