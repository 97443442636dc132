// Textures, volumes and bad input for the thumbnail tests, made in code.
#pragma once

#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include "codecs/PixelBitmap.h"
#include "codecs/TextureWriter.h"
#include "document/Thumbnail.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// One texture per format the writer knows (texture::FORMATS order).
struct TextureCase {
    const char* name;
    int formatIndex;
    bool alpha;
};
inline constexpr TextureCase TEXTURE_CASES[] = {
    {"dxt1", 0, false}, {"dxt3", 1, true}, {"rgba4444", 2, true}, {"rgb565", 3, false}, {"rgba8888", 4, true},
};

// A 64 x 32 picture of four uniform quadrants (with four alpha levels), written
// in the case's format with three maps.
inline bool writeQuadrantTexture(const std::filesystem::path& path, const TextureCase& c)
{
    constexpr std::uint32_t colours[4] = {0xFFE03010u, 0xC010C040u, 0x802060F0u, 0x40F0F0F0u};
    PixelBitmap picture;
    picture.create(64, 32, 32, c.alpha);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x) {
            std::uint32_t v = colours[(y / 16) * 2 + x / 32];
            if (!c.alpha)
                v |= 0xFF000000u;
            std::memcpy(picture.row(y) + 4 * x, &v, 4);
        }
    return writeTexture(path, MapOption::Generate, c.alpha, 3, picture, c.formatIndex) == TextureWriteStatus::Ok;
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path)
{
    const auto bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// A 2 x 1 uncompressed 24-bit TGA: (3, 2, 1) and (0x10, 0x20, 0x30) as red, green, blue.
inline const std::vector<unsigned char>& tinyTga()
{
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> b(18, 0);
        b[2] = 2;
        b[12] = 2;
        b[14] = 1;
        b[16] = 24;
        b[17] = 0x20;  // top row first
        for (const unsigned char v : {1, 2, 3, 0x30, 0x20, 0x10})
            b.push_back(v);
        return b;
    }();
    return bytes;
}

// A texture header alone, with the given fields.
inline std::vector<unsigned char> textureHeader(std::uint32_t format, std::uint32_t width, std::uint32_t height,
                                                std::uint32_t maps)
{
    std::vector<unsigned char> b(36, 0);
    std::memcpy(b.data(), "KTEX", 4);
    put32(b.data() + 8, format);
    put32(b.data() + 12, width);
    put32(b.data() + 16, height);
    put32(b.data() + 20, maps);
    put32(b.data() + 24, width);
    put32(b.data() + 28, height);
    return b;
}

inline std::vector<unsigned char> volumeWith(const std::vector<std::pair<std::string, std::vector<unsigned char>>>& files)
{
    VolumeSpec spec;
    std::uint32_t at = dataStart(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [name, bytes] = files[i];
        spec.entries.push_back({name, at, static_cast<std::uint32_t>(bytes.size()), i + 1 == files.size() ? LAST : 0});
        spec.data.insert(spec.data.end(), bytes.begin(), bytes.end());
        at += static_cast<std::uint32_t>(bytes.size());
    }
    return volumeBytes(spec);
}

// Files that give no thumbnail, and the status each gives.
struct BadInput {
    std::string name;
    std::vector<unsigned char> bytes;
    thumbnail::Status status;
};
inline std::vector<BadInput> badInputs()
{
    using thumbnail::Status;
    auto withData = [](std::vector<unsigned char> header, std::size_t data) {
        header.resize(header.size() + data, 0x5A);
        return header;
    };
    const std::string tex = "\\documentclass{article}\n\\begin{document}\nKTEX is not \\TeX.\n\\end{document}\n";
    VolumeSpec hugeCatalogue;
    hugeCatalogue.entryCount = 0x7FFFFFFu;  // 10 GiB of catalogue in a file of 296 bytes
    VolumeSpec emptyVolume;
    return {
        {"truncated.tex", withData(textureHeader(2, 64, 64, 1), 100), Status::TextureRejected},
        {"huge-declared.tex", withData(textureHeader(2, 65536, 65536, 1), 64), Status::TextureRejected},
        {"negative-size.tex", withData(textureHeader(12, 0x80000000u, 16, 1), 64), Status::TextureRejected},
        {"too-many-maps.tex", withData(textureHeader(10, 64, 64, 11), 4096), Status::TextureRejected},
        {"unknown-format.tex", withData(textureHeader(3, 4, 4, 1), 64), Status::TextureRejected},
        {"wider-than-2048.tex", withData(textureHeader(10, 4096, 8, 1), 4096 * 8 / 2), Status::TooLarge},
        {"no-pixels.tex", withData(textureHeader(2, 0, 16, 1), 0), Status::EmptyPicture},
        {"paper.tex", {tex.begin(), tex.end()}, Status::NotSupported},
        {"empty.tex", {}, Status::NotSupported},
        {"no-textures.qrb", volumeWith({{"a.wav", {'R', 'I', 'F', 'F'}}, {"b.tga", tinyTga()}}), Status::NoTexture},
        {"empty.qrb", volumeBytes(emptyVolume), Status::NoTexture},
        {"huge-catalogue.qrb", volumeBytes(hugeCatalogue), Status::VolumeRejected},
        {"broken-texture.mod", volumeWith({{"t.tex", withData(textureHeader(2, 64, 64, 1), 16)}}),
         Status::TextureRejected},
    };
}

}  // namespace testsupport
