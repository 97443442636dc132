// Decodes arbitrary bytes as an image of any type the image-file layer reads,
// at the source's depth and at 32 bits, within a budget that keeps a decode
// far below the memory limit the fuzzer runs under (-rss_limit_mb=512): a file
// that allocates more than its budget allows is a finding. The header probe
// runs first and must agree with the decode about the size.
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <cstdint>
#include <cstdlib>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // 4 megapixels: a 16 MiB bitmap and 32 MiB of codec working memory.
    const DecodeLimits limits{std::int64_t{1} << 22, std::int64_t{1} << 20};
    const int type = detectImageType(data, size);
    for (const int bits : {0, 32}) {
        ImageHeader header;
        bool probed = false;
        try {
            header = probeImage(type, data, size, bits);
            probed = true;
        } catch (const CTextException&) {
        }
        PixelBitmap bitmap;
        try {
            decodeMemory(data, size, bitmap, bits, limits);
        } catch (const CTextException&) {
            continue;
        } catch (const std::bad_alloc&) {
            continue;
        }
        // What decoded was announced by the header, at the same size and alpha.
        if (!probed || header.width != bitmap.width() || header.height != bitmap.height()
            || header.hasAlpha != bitmap.hasAlpha() || header.bitsPerPixel != bitmap.bitsPerPixel())
            std::abort();
    }
    return 0;
}
