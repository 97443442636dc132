// Helpers of the imagefile tests: fixture paths, reference decodes (PAM files
// written by the fixture script) and pixel comparison.
#pragma once

#include "codecs/PixelBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace imagetest {

inline std::string fixture(const std::string& name)
{
    return std::string(KORVIX_IMAGE_FIXTURES) + "/" + name;
}

inline std::vector<std::uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A reference image: top-down 0xAARRGGBB pixels.
struct Reference {
    int width = 0;
    int height = 0;
    bool hasAlpha = false;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Reads the 8-bit PAM (P7) files of the fixture script: depth 1 to 4.
inline Reference readPam(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = readBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t end = text.find("ENDHDR\n");
    Reference ref;
    if (text.rfind("P7\n", 0) != 0 || end == std::string::npos)
        return ref;
    std::istringstream header(text.substr(3, end - 3));
    std::string key;
    int depth = 0;
    while (header >> key) {
        if (key == "WIDTH") header >> ref.width;
        else if (key == "HEIGHT") header >> ref.height;
        else if (key == "DEPTH") header >> depth;
        else header.ignore(1000, '\n');
    }
    ref.hasAlpha = depth == 2 || depth == 4;
    const std::uint8_t* p = bytes.data() + end + 7;
    const std::size_t count = static_cast<std::size_t>(ref.width) * ref.height;
    if (bytes.size() < end + 7 + count * depth)
        return Reference{};
    for (std::size_t i = 0; i < count; ++i, p += depth) {
        const std::uint32_t r = p[0], g = depth >= 3 ? p[1] : p[0], b = depth >= 3 ? p[2] : p[0];
        const std::uint32_t a = depth == 2 ? p[1] : depth == 4 ? p[3] : 255;
        ref.pixels.push_back((a << 24) | (r << 16) | (g << 8) | b);
    }
    return ref;
}

// The pixel of a bitmap as 0xAARRGGBB, through the colour table at 8 bits.
inline std::uint32_t argbAt(const PixelBitmap& bitmap, int x, int y)
{
    const std::uint32_t v = bitmap.pixelAt(x, y);
    return bitmap.bitsPerPixel() == 8 ? bitmap.colourTable()[v] : v;
}

// The largest difference of any colour channel (and alpha when asked) between
// the bitmap and the reference; -1 when the sizes differ.
inline int maxDifference(const PixelBitmap& bitmap, const Reference& ref, bool withAlpha)
{
    if (bitmap.width() != ref.width || bitmap.height() != ref.height)
        return -1;
    int worst = 0;
    for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
            const std::uint32_t a = argbAt(bitmap, x, y), b = ref.at(x, y);
            for (int shift = 0; shift < (withAlpha ? 32 : 24); shift += 8) {
                const int d = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
                worst = d > worst ? d : worst;
            }
        }
    return worst;
}

// A scratch directory removed with the object.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx-imagefile-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    std::string file(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

}  // namespace imagetest
