// Renders arbitrary bytes as a Windows metafile (first byte even) or an
// enhanced metafile (odd), the way a file named .wmf or .emf is rendered: the
// header probe, then the renderers within a budget of 1 megapixel. Metafiles
// are found by file name only, so the image harness never gets here.
#include "SystemMetafileRenderer.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <cstdint>
#include <new>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const int type = (data[0] & 1) ? IMAGE_EMF : IMAGE_WMF;
    ++data;
    --size;
    try {
        probeImage(type, data, size, 32);
    } catch (const CTextException&) {
    }
    static SystemMetafileRenderer renderer;
    PixelBitmap bitmap;
    try {
        renderer.render(type, data, size, bitmap, DecodeLimits{std::int64_t{1} << 20, 4096});
    } catch (const CTextException&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
