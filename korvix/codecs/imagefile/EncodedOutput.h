// The output buffer of the JPEG and TIFF encoders and the final write. The
// buffer's capacity follows the bitmap's memory size (x 1.2, or + 4096 for small
// bitmaps); an encoder that would overflow it fails with code 11. The bytes go
// to the file through a temporary file beside it.
#pragma once

#include "codecs/PixelBitmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace imagefile {

class EncodedOutput {
public:
    explicit EncodedOutput(const PixelBitmap& bitmap);
    // A buffer of any size, for encoders without the limit.
    explicit EncodedOutput(std::size_t capacity);

    std::uint8_t* data() { return m_pData.get(); }
    std::size_t capacity() const { return m_nCapacity; }
    // Writes the first size bytes to path; throws CTextException code 5 on failure.
    void save(const std::string& path, std::size_t size) const;

    [[noreturn]] static void overflow();

private:
    std::unique_ptr<std::uint8_t[]> m_pData;
    std::size_t m_nCapacity = 0;
};

// Fills out (width entries, blue-green-red-x) from row y of a bitmap of any depth.
void bitmapRowBgrx(const PixelBitmap& bitmap, int y, std::uint32_t* out);

}  // namespace imagefile
