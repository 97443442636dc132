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

// A header claiming 16000 x 16000 pixels over a few hundred bytes of data is
// refused as short data (code 1) before a gigabyte is allocated.
TEST(DecodeRobustness, HugeSizeOverTinyDataIsRefusedUpFront)
{
    const auto put16le = [](std::vector<std::uint8_t>& b, std::size_t at, unsigned v) {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    std::vector<std::uint8_t> bmp = readBytes(fixture("bmp_24bit.bmp"));
    put16le(bmp, 18, 16000);
    put16le(bmp, 22, 16000);
    std::vector<std::uint8_t> tga = readBytes(fixture("tga_32_rle.tga"));
    put16le(tga, 12, 16000);
    put16le(tga, 14, 16000);
    std::vector<std::uint8_t> pcx = readBytes(fixture("pcx_24bit.pcx"));
    put16le(pcx, 8, 15999);
    put16le(pcx, 10, 15999);
    std::vector<std::uint8_t> jpeg = readBytes(fixture("jpg_rgb.jpg"));
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // start of frame: height, width big-endian
            jpeg[i + 5] = jpeg[i + 7] = 16000 >> 8;
            jpeg[i + 6] = jpeg[i + 8] = 16000 & 0xFF;
            break;
        }
    const std::string pgmText = "P5\n16000 16000\n255\n" + std::string(91, '\x40');
    const std::vector<std::uint8_t> pgm(pgmText.begin(), pgmText.end());
    for (const auto& [name, bytes] : {std::pair{"bmp", bmp}, {"tga", tga}, {"pcx", pcx}, {"jpeg", jpeg}, {"pgm", pgm}}) {
        PixelBitmap bitmap;
        try {
            decodeMemory(bytes.data(), bytes.size(), bitmap, 32);
            ADD_FAILURE() << name << " decoded";
        } catch (const CTextException& e) {
            EXPECT_EQ(e.code(), 1) << name << ": " << e.message();
        }
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
