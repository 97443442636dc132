// Decodes arbitrary bytes as an image of any type the image-file layer reads,
// at the source's depth and at 32 bits.
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <cstdint>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const int bits : {0, 32}) {
        PixelBitmap bitmap;
        try {
            decodeMemory(data, size, bitmap, bits);
        } catch (const CTextException&) {
        } catch (const std::bad_alloc&) {
        }
    }
    return 0;
}
