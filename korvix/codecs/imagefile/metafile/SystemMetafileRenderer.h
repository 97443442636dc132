// The metafile renderer of the desktop and command-line programs: Windows
// metafiles through libwmf (its raster device), enhanced metafiles through
// libemf2svg and librsvg, both onto white at the size metafileSize() gives.
#pragma once

#include "codecs/imagefile/ImageFile.h"

class SystemMetafileRenderer : public MetafileRenderer {
public:
    void render(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                const DecodeLimits& limits) override;
};
