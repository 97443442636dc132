// Bringing a picture to another size, by the rule the document resizes with:
// area averaging when both sides shrink (or stay), cubic resampling when either
// side grows. Replacing an entry by the shown picture and the command line's
// conversions use it; the sides a texture may take are texture::isTextureSide.
#pragma once

#include "codecs/PixelBitmap.h"

#include <optional>

// The picture at width x height, 32 bits; its colour and alpha bytes are
// resampled alike, and its hasAlpha is the source's. The same size gives a
// copy. Nothing when the working images cannot be had (memory short).
std::optional<PixelBitmap> resampledPicture(const PixelBitmap& source, int width, int height);

// Resamples source into target (both 32 bits; target already at its new size)
// by the same rule, straight from the one's rows into the other's. False when
// the resampler could not have its working memory; target is then unspecified.
bool resampleByRule(const PixelBitmap& source, PixelBitmap& target);
