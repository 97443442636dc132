// The picture view's reduced zooms (1:2 ... 1:16): every view pixel is the
// area average of a block of picture pixels, so a reduced picture keeps its
// fine detail as an even tone instead of the moire of skipped pixels.
#pragma once

#include "codecs/PixelBitmap.h"

// `source` (32 bits) reduced by `factor` (2 ... 16): ceil(width / factor) x
// ceil(height / factor) pixels, each the rounded mean of the factor x factor
// block it stands for, over all four bytes; a block at the right or bottom
// edge averages the pixels it has. The result has the source's alpha flag.
PixelBitmap reducedPicture(const PixelBitmap& source, int factor);
