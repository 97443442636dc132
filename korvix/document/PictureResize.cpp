#include "document/PictureResize.h"

#include "codecs/BitmapFilterImage.h"
#include "filters/ImageFilters.h"

#include <cstring>
#include <exception>

std::optional<PixelBitmap> resampledPicture(const PixelBitmap& source, int width, int height)
{
    PixelBitmap out;
    try {
        out.create(width, height, 32, false);
    } catch (const std::exception&) {  // memory short
        return std::nullopt;
    }
    if (source.width() == width && source.height() == height) {
        for (int y = 0; y < height; ++y)
            std::memcpy(out.row(y), source.row(y), 4 * static_cast<std::size_t>(width));
    } else if (!resampleByRule(source, out)) {
        return std::nullopt;
    }
    out.setHasAlpha(source.hasAlpha());
    return out;
}

bool resampleByRule(const PixelBitmap& source, PixelBitmap& target)
{
    clearFilterError();
    // The resamplers only read their source; the view needs a mutable bitmap.
    const FilterImage from = bitmapView(const_cast<PixelBitmap&>(source));
    FilterImage to = bitmapView(target);
    if (target.width() > source.width() || target.height() > source.height())
        resampleCubic(from, to);
    else
        decimateArea(from, to);
    return lastFilterError() == FilterError::None;
}
