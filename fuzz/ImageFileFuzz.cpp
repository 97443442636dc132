// Decodes arbitrary bytes as an image of whatever type they look like, at both
// depths; a refusal is a CTextException, anything else is a finding.
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const int bits : {0, 32}) {
        PixelBitmap bitmap;
        try {
            decodeMemory(data, size, bitmap, bits);
        } catch (const CTextException&) {
        }
    }
    return 0;
}
