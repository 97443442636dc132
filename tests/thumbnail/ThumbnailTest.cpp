// Thumbnails of textures, volumes and volume entries: the largest map reduced
// by area averaging, the first texture of a volume in catalogue order, and the
// refusals of input that cannot give one.
#include "ThumbnailFixtures.h"

#include "codecs/TextureLoader.h"
#include "document/Thumbnail.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>

using namespace testsupport;
using thumbnail::Status;

namespace {

std::uint32_t pixel(const PixelBitmap& b, int x, int y)
{
    std::uint32_t v;
    std::memcpy(&v, b.row(y) + 4 * x, 4);
    return v;
}

}  // namespace

TEST(ThumbnailSize, TheLongerSideComesDownToTheSizeAndNothingGrows)
{
    const struct {
        int width, height, size, wantWidth, wantHeight;
    } cases[] = {
        {2048, 256, 128, 128, 16},
        {256, 2048, 64, 8, 64},
        {100, 50, 128, 100, 50},   // never enlarged
        {128, 128, 128, 128, 128},
        {1000, 1, 64, 64, 1},      // the shorter side keeps at least one pixel
        {3, 1000, 64, 1, 64},
        {33, 100, 10, 3, 10},      // rounded: 3.3
        {35, 100, 10, 4, 10},      // 3.5 rounds up
    };
    for (const auto& c : cases) {
        const thumbnail::Size s = thumbnail::reducedSize(c.width, c.height, c.size);
        EXPECT_EQ(s.width, c.wantWidth) << c.width << "x" << c.height << " at " << c.size;
        EXPECT_EQ(s.height, c.wantHeight) << c.width << "x" << c.height << " at " << c.size;
    }
}

// Every format: the thumbnail is the decoded largest map, each quadrant's
// colour kept whole (it is uniform, so averaging must not change it), with
// alpha exactly when the format carries it.
TEST(Thumbnail, EveryFormatGivesItsLargestMapReduced)
{
    TempDir dir;
    for (const TextureCase& c : TEXTURE_CASES) {
        const std::filesystem::path path = dir / (std::string(c.name) + ".tex");
        ASSERT_TRUE(writeQuadrantTexture(path, c)) << c.name;
        const LoadedTexture whole = loadTexture(readBytes(path).data(), readBytes(path).size());
        ASSERT_TRUE(whole.ok()) << c.name;
        const PixelBitmap& largest = whole.maps[whole.count() - 1];

        const thumbnail::Result r = thumbnail::ofFile(path.string(), 16);
        ASSERT_TRUE(r.ok()) << c.name << ": " << r.detail;
        ASSERT_EQ(r.picture.width(), 16) << c.name;
        ASSERT_EQ(r.picture.height(), 8) << c.name;
        EXPECT_EQ(r.picture.hasAlpha(), c.alpha) << c.name;
        for (const auto& [x, y] : {std::pair{2, 2}, {13, 2}, {2, 5}, {13, 5}})
            EXPECT_EQ(pixel(r.picture, x, y), pixel(largest, x * 4 + 2, y * 4 + 2)) << c.name << " at " << x << "," << y;
    }
}

// The smaller maps do not take part: here each map has a colour of its own.
TEST(Thumbnail, TheLargestMapIsDrawnNotASmallerOne)
{
    TempDir dir;
    const auto bytes = textureBytes(32, 32, 4, 2, [](int map, int, int) { return map == 3 ? 0xFF00FF00u : 0xFFFF0000u; });
    writeFile(dir / "maps.tex", bytes);
    const thumbnail::Result r = thumbnail::ofFile((dir / "maps.tex").string(), 8);
    ASSERT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(r.picture.width(), 8);
    EXPECT_EQ(pixel(r.picture, 4, 4), 0xFF00FF00u);
    // A small texture keeps its size.
    EXPECT_EQ(thumbnail::ofFile((dir / "maps.tex").string(), 256).picture.width(), 32);
}

// The walk reports b.tex (index 6) before a.tex (index 5): the thumbnail is
// the first in catalogue order. Entries before it that are no texture (a
// sound, a TGA named .tex, a tag without a header) are passed over.
TEST(Thumbnail, AVolumeShowsItsFirstTextureInCatalogueOrder)
{
    TempDir dir;
    const auto red = textureBytes(8, 8, 1, 2, [](int, int, int) { return 0xFFFF0000u; });
    const auto green = textureBytes(8, 8, 1, 2, [](int, int, int) { return 0xFF00FF00u; });
    const std::vector<unsigned char> sound = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    const std::vector<unsigned char> shortTag = {'K', 'T', 'E', 'X', 0, 0, 0, 0};
    const std::vector<const std::vector<unsigned char>*> data = {&sound, &tinyTga(), &shortTag, &red, &green};
    std::vector<std::uint32_t> at;
    std::uint32_t next = dataStart(7);
    VolumeSpec spec;
    for (const auto* d : data) {
        at.push_back(next);
        next += static_cast<std::uint32_t>(d->size());
        spec.data.insert(spec.data.end(), d->begin(), d->end());
    }
    auto size = [&](std::size_t i) { return static_cast<std::uint32_t>(data[i]->size()); };
    // The top level holds A (its list is [2 ... 5]) and B, last (its list is
    // [6]); B is descended at once, A after it.
    spec.entries = {
        {"A", 2, 0, DIR},
        {"B", 6, 0, DIR | LAST},
        {"s.wav", at[0], size(0), 0},
        {"image.tex", at[1], size(1), 0},
        {"short.tex", at[2], size(2), 0},
        {"a.tex", at[3], size(3), LAST},
        {"b.tex", at[4], size(4), LAST},
    };
    writeFile(dir / "v.qrb", volumeBytes(spec));

    const thumbnail::Result r = thumbnail::ofFile((dir / "v.qrb").string(), 64);
    ASSERT_TRUE(r.ok()) << r.detail;
    EXPECT_EQ(pixel(r.picture, 0, 0), 0xFFFF0000u) << "a.tex (index 5), not b.tex (walked before it)";
}

// The browser's entries: a texture by its tag, a TGA image as the program
// shows it, anything else no thumbnail.
TEST(Thumbnail, VolumeEntriesAreTexturesOrTgaImages)
{
    TempDir dir;
    const auto tex = textureBytes(16, 16, 1, 8, [](int, int, int) { return 0xFF0000FFu; });
    const std::vector<unsigned char> other = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<unsigned char> file(100, 0);
    for (const auto* part : {&tex, &tinyTga(), &other})
        file.insert(file.end(), part->begin(), part->end());
    writeFile(dir / "v.bin", file);
    const std::string path = (dir / "v.bin").string();
    const std::uint64_t texAt = 100, tgaAt = texAt + tex.size(), otherAt = tgaAt + tinyTga().size();

    const thumbnail::Result t = thumbnail::ofVolumeEntry(path, texAt, tex.size(), 8);
    ASSERT_TRUE(t.ok()) << t.detail;
    EXPECT_EQ(t.picture.width(), 8);
    EXPECT_FALSE(t.picture.hasAlpha());
    EXPECT_EQ(pixel(t.picture, 3, 3), 0xFF0000F8u);

    const thumbnail::Result i = thumbnail::ofVolumeEntry(path, tgaAt, tinyTga().size(), 8);
    ASSERT_TRUE(i.ok()) << i.detail;
    EXPECT_EQ(i.picture.width(), 2);
    EXPECT_EQ(pixel(i.picture, 1, 0), 0xFF102030u);

    EXPECT_EQ(thumbnail::ofVolumeEntry(path, otherAt, other.size(), 8).status, Status::NotSupported);
    EXPECT_EQ(thumbnail::ofVolumeEntry(path, otherAt, other.size() + 1, 8).status, Status::OpenFailed)
        << "an entry past the end of the volume";
}

TEST(Thumbnail, InputThatGivesNoPictureIsRefused)
{
    TempDir dir;
    for (const BadInput& bad : badInputs()) {
        writeFile(dir / bad.name, bad.bytes);
        const thumbnail::Result r = thumbnail::ofFile((dir / bad.name).string(), 128);
        EXPECT_EQ(r.status, bad.status) << bad.name << ": " << r.detail;
    }
    EXPECT_EQ(thumbnail::ofFile((dir / "missing.tex").string(), 128).status, Status::OpenFailed);
    // Nothing but plain files: a pipe would block the reader, a device never end.
    ASSERT_EQ(mkfifo((dir / "pipe.tex").c_str(), 0600), 0);
    for (const std::string& path : {(dir / "pipe.tex").string(), dir.path().string(), std::string("/dev/zero")})
        EXPECT_EQ(thumbnail::ofFile(path, 128).status, Status::OpenFailed) << path;
}
