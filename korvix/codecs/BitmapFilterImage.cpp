#include "codecs/BitmapFilterImage.h"

#include "codecs/PixelBitmap.h"
#include "filters/ImageFilters.h"

#include <cstring>

std::unique_ptr<FilterImage> imageFromBitmap(const PixelBitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 32) {
        recordFilterError(FilterError::BadArgument, "imageFromBitmap");
        return nullptr;
    }
    auto image = newBgraImage(bitmap.width(), bitmap.height());
    if (!image)
        return nullptr;
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(image->row(y), bitmap.row(y), image->stride());
    return image;
}

FilterImage bitmapView(PixelBitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 32 || bitmap.height() < 1) {
        if (bitmap.bitsPerPixel() != 32)
            recordFilterError(FilterError::BadArgument, "bitmapView");
        return FilterImage::view(nullptr, 0, 0, 0);
    }
    // Rows are stored bottom-up: the top row is the last one in storage.
    const std::ptrdiff_t step = bitmap.height() > 1 ? bitmap.row(1) - bitmap.row(0) : -static_cast<std::ptrdiff_t>(bitmap.bytesPerLine());
    return FilterImage::view(bitmap.row(0), bitmap.width(), bitmap.height(), step);
}

void imageToBitmap(const FilterImage& image, PixelBitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 32 || bitmap.width() != image.width() || bitmap.height() != image.height()) {
        recordFilterError(FilterError::SizeMismatch, "imageToBitmap");
        return;
    }
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.row(y), image.row(y), image.stride());
}
