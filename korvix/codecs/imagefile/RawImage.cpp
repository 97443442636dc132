// RawImage and the TGA writer.
#include "codecs/imagefile/ImageFile.h"

#include "common/AtomicFile.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

std::unique_ptr<RawImage> createRawImage(int width, int height, int channels, int sampleType, int bitsPerSample)
{
    static constexpr int bitsOfType[] = {0, 1, 8, 16, 32};
    if (sampleType < 1 || sampleType > 4 || bitsOfType[sampleType] != bitsPerSample)
        return nullptr;
    if (width <= 0 || height <= 0 || channels <= 0)
        return nullptr;
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(channels)
                                        * static_cast<std::uint64_t>(bitsPerSample) - 1) / 8 + 1;
    const std::uint64_t total = rowBytes * static_cast<std::uint64_t>(height);
    if (rowBytes > 0x7FFFFFFF || total > (std::uint64_t{1} << 40))
        return nullptr;
    auto image = std::unique_ptr<RawImage>(new (std::nothrow) RawImage);
    if (!image)
        return nullptr;
    image->data.reset(new (std::nothrow) std::uint8_t[total]());
    if (!image->data)
        return nullptr;
    image->width = width;
    image->height = height;
    image->sampleType = sampleType;
    image->channels = channels;
    image->bitsPerSample = bitsPerSample;
    image->bytesPerRow = static_cast<std::int32_t>(rowBytes);
    return image;
}

std::unique_ptr<RawImage> rawImageFromBitmap(const PixelBitmap& bitmap)
{
    return rawImageFromBitmap(bitmap, bitmap.hasAlpha());
}

std::unique_ptr<RawImage> rawImageFromBitmap(const PixelBitmap& bitmap, bool withAlpha)
{
    if (bitmap.bitsPerPixel() != 32)
        return nullptr;
    const int channels = withAlpha ? 4 : 3;
    auto image = createRawImage(bitmap.width(), bitmap.height(), channels, 2, 8);
    if (!image)
        return nullptr;
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* in = bitmap.row(y);
        std::uint8_t* out = image->row(y);
        for (int x = 0; x < bitmap.width(); ++x, in += 4, out += channels) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            if (channels == 4)
                out[3] = in[3];
        }
    }
    return image;
}

int writeTga(const RawImage& image, const std::string& path)
{
    if (image.sampleType != 2 || image.bitsPerSample != 8 || (image.channels != 3 && image.channels != 4))
        return 1;
    if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF || !image.data)
        return 1;
    try {
        AtomicFile file(path);
        const int channels = image.channels;
        std::uint8_t header[18] = {};
        header[2] = 2;
        header[12] = static_cast<std::uint8_t>(image.width);
        header[13] = static_cast<std::uint8_t>(image.width >> 8);
        header[14] = static_cast<std::uint8_t>(image.height);
        header[15] = static_cast<std::uint8_t>(image.height >> 8);
        header[16] = static_cast<std::uint8_t>(channels * 8);
        header[17] = channels == 4 ? 8 : 0;
        file.write(header, sizeof header);

        std::vector<std::uint8_t> line(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(channels));
        for (int y = image.height - 1; y >= 0; --y) {
            const std::uint8_t* in = image.row(y);
            std::uint8_t* out = line.data();
            for (int x = 0; x < image.width; ++x, in += channels, out += channels) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
                if (channels == 4)
                    out[3] = in[3];
            }
            file.write(line.data(), line.size());
        }
        static constexpr char footer[26] = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O',
                                            'N', '-', 'X', 'F', 'I', 'L', 'E', '.', 0};
        file.write(footer, sizeof footer);
        file.commit();
    } catch (const std::exception&) {
        return 1;
    }
    return 0;
}
