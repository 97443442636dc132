// Decodes arbitrary bytes as a texture file.
#include "codecs/TextureLoader.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const LoadedTexture loaded = loadTexture(data, size);
    return loaded.ok() ? 0 : 0;
}
