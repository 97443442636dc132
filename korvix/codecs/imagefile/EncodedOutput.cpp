#include "EncodedOutput.h"

#include "codecs/CTextException.h"
#include "common/AtomicFile.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace imagefile {

namespace {

std::size_t capacityFor(const PixelBitmap& bitmap)
{
    const std::size_t used = bitmap.memoryUsed();
    const std::size_t scaled = used + used / 5;
    return scaled > 19999 ? scaled : used + 4096;
}

}  // namespace

EncodedOutput::EncodedOutput(const PixelBitmap& bitmap) : EncodedOutput(capacityFor(bitmap)) {}

EncodedOutput::EncodedOutput(std::size_t capacity) : m_nCapacity(capacity)
{
    m_pData.reset(new (std::nothrow) std::uint8_t[capacity]);
    if (!m_pData)
        throw CTextException(10, "out of memory for the output buffer");
}

void EncodedOutput::save(const std::string& path, std::size_t size) const
{
    try {
        AtomicFile file(path);
        file.write(m_pData.get(), size);
        file.commit();
    } catch (const std::runtime_error& e) {
        throw CTextException(5, e.what());
    }
}

void EncodedOutput::overflow()
{
    throw CTextException(11, "Buffer overflow while encoding.\n");
}

void bitmapRowBgrx(const PixelBitmap& bitmap, int y, std::uint32_t* out)
{
    const std::uint8_t* in = bitmap.row(y);
    const int w = bitmap.width();
    if (bitmap.bitsPerPixel() == 32) {
        std::memcpy(out, in, static_cast<std::size_t>(w) * 4);
        return;
    }
    const std::uint32_t* table = bitmap.colourTable();
    for (int x = 0; x < w; ++x)
        out[x] = table[in[x]];
}

}  // namespace imagefile
