// The loader the document and the command line share: what entry bytes may
// hold for each, and how refusals are told apart.
#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include "document/PictureLoader.h"

#include <gtest/gtest.h>

using namespace testsupport;
using Status = LoadedPicture::Status;

namespace {

std::vector<std::uint8_t> encoded(const std::string& name, bool alpha)
{
    TempDir dir;
    PixelBitmap bmp;
    bmp.create(8, 4, 32, alpha);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            std::memcpy(bmp.row(y) + 4 * x, "\x10\x20\x30\x80", 4);
    writeImageFile((dir / name).string(), bmp);
    const auto bytes = readFile(dir / name);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(PictureLoader, EntryBytesByContentAndByWhatTheCallerAdmits)
{
    const auto texture = textureBytes(8, 8, 2, 2);
    auto truncated = texture;
    truncated.resize(40);
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        Status tgaOnly, any;
    } cases[] = {
        {"texture", {texture.begin(), texture.end()}, Status::Ok, Status::Ok},
        {"truncated texture", {truncated.begin(), truncated.end()}, Status::TextureRejected, Status::TextureRejected},
        {"tga", encoded("a.tga", true), Status::Ok, Status::Ok},
        {"png", encoded("a.png", false), Status::NotPicture, Status::Ok},
        {"text", {'h', 'e', 'l', 'l', 'o'}, Status::NotPicture, Status::NotPicture},
    };
    for (const auto& c : cases) {
        const LoadedPicture shown = loadEntryBytes(c.bytes, documentLimits(), EntryImages::TgaOnly);
        const LoadedPicture converted = loadEntryBytes(c.bytes, documentLimits(), EntryImages::Any);
        EXPECT_EQ(shown.status, c.tgaOnly) << c.what;
        EXPECT_EQ(converted.status, c.any) << c.what;
    }
    const LoadedPicture t = loadEntryBytes({texture.begin(), texture.end()}, documentLimits(), EntryImages::TgaOnly);
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(t.maps->count(), 2);
    EXPECT_TRUE(t.rawTexture && t.alpha);
    EXPECT_EQ(t.bytes.size(), texture.size()) << "a texture keeps its bytes as loaded";
    EXPECT_EQ(loadEntryBytes({truncated.begin(), truncated.end()}, documentLimits(), EntryImages::Any).textureStatus,
              TextureLoadStatus::Truncated);
}

TEST(PictureLoader, APictureBeyondTheLimitsIsRefusedFromItsHeader)
{
    const auto tga = encoded("wide.tga", false);
    const LoadedPicture p = loadEntryBytes(tga, DecodeLimits{16, 4}, EntryImages::Any);
    EXPECT_EQ(p.status, Status::TooLarge);
    EXPECT_EQ(p.errorCode, 12);
    EXPECT_FALSE(p.maps);
}
