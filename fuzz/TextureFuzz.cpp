// Decodes arbitrary bytes as a texture file, and as a volume entry's
// thumbnail (its largest map alone, or a TGA image).
#include "codecs/TextureLoader.h"
#include "document/Thumbnail.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const LoadedTexture loaded = loadTexture(data, size);
    const thumbnail::ReadAt read = [&](std::uint64_t offset, std::size_t n, std::uint8_t* out) {
        if (offset > size || n > size - offset)
            return false;
        std::memcpy(out, data + offset, n);
        return true;
    };
    const thumbnail::Result small = thumbnail::ofEntry(read, size, 64);
    return loaded.ok() && small.ok() ? 0 : 0;
}
