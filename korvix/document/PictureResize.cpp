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
    } else {
        clearFilterError();
        const std::unique_ptr<FilterImage> from = imageFromBitmap(source);
        const std::unique_ptr<FilterImage> to = newBgraImage(width, height);
        if (!from || !to)
            return std::nullopt;
        if (width > source.width() || height > source.height())
            resampleCubic(*from, *to);
        else
            decimateArea(*from, *to);
        if (lastFilterError() != FilterError::None)
            return std::nullopt;
        imageToBitmap(*to, out);
    }
    out.setHasAlpha(source.hasAlpha());
    return out;
}
