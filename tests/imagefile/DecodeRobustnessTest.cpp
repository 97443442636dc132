// Truncated and corrupted fixtures: every decoder either decodes or throws
// CTextException; no crash, no read past the data (run under ASan to see the
// latter), no other exception.
#include "ImageTestSupport.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

using namespace imagetest;

namespace {

std::vector<std::string> fixtureFiles()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(KORVIX_IMAGE_FIXTURES)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".pam" && ext != ".sh" && ext != ".py" && ext != ".md")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Decodes from a copy of exactly the given bytes, so that ASan sees any read
// beyond them; returns whether the decode got through.
bool decodeSurvives(const std::vector<std::uint8_t>& bytes)
{
    const std::unique_ptr<std::uint8_t[]> exact(new std::uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), exact.get());
    PixelBitmap bitmap;
    try {
        decodeMemory(exact.get(), bytes.size(), bitmap, 32);
        return true;
    } catch (const CTextException&) {
        return false;
    }
}

TEST(DecodeRobustness, EveryTruncationIsRefusedOrDecoded)
{
    for (const std::string& name : fixtureFiles()) {
        const std::vector<std::uint8_t> bytes = readBytes(fixture(name));
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
            EXPECT_NO_THROW(decodeSurvives(cut)) << name << " cut to " << length;
        }
    }
}

// Cut files whose pixel data is incomplete must not pass for whole images.
TEST(DecodeRobustness, CutPixelDataIsRefused)
{
    for (const char* name : {"bmp_24bit.bmp", "tga_32_rle.tga", "png_rgb.png", "jpg_rgb.jpg", "tif_rgb.tif",
                             "pcx_24bit.pcx", "pgm_p5.pgm", "pict_direct.pict"}) {
        std::vector<std::uint8_t> bytes = readBytes(fixture(name));
        // Without the last third, whatever trails the pixels is gone too.
        bytes.resize(bytes.size() * 2 / 3);
        EXPECT_FALSE(decodeSurvives(bytes)) << name;
    }
}

TEST(DecodeRobustness, ByteFlipsAreRefusedOrDecoded)
{
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (const std::string& name : fixtureFiles()) {
        const std::vector<std::uint8_t> original = readBytes(fixture(name));
        if (original.empty())
            continue;
        for (int round = 0; round < 200; ++round) {
            std::vector<std::uint8_t> bytes = original;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i)
                bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
            EXPECT_NO_THROW(decodeSurvives(bytes)) << name << " round " << round;
        }
    }
}

}  // namespace
