// korvix-cli convert and info for textures, run in-process.
#include "ConvertFixtures.h"
#include "RunCli.h"
#include "VolumeBuilder.h"

#include "codecs/TextureLoader.h"
#include "codecs/TextureWriter.h"
#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

PixelBitmap picture(int w, int h, bool alpha)
{
    PixelBitmap bmp;
    bmp.create(w, h, 32, alpha);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = bmp.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x * 4);
            p[1] = static_cast<std::uint8_t>(y * 4);
            p[2] = static_cast<std::uint8_t>((x ^ y) * 4);
            p[3] = alpha ? static_cast<std::uint8_t>(255 - x) : 255;
        }
    return bmp;
}

class Convert : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(Convert, ImagesBecomeTexturesWithTheAlphaRuleAndMapChoices)
{
    writeTgaFile(dir / "alpha.tga", picture(64, 32, true));
    writeTgaFile(dir / "plain.tga", picture(64, 32, false));
    picture(64, 32, false).saveAsBmp((dir / "plain.bmp").string());
    struct Case {
        std::vector<std::string> args;
        const char* format;
        bool alpha;
        int maps;
    };
    const Case cases[] = {
        {{"alpha.tga"}, "DXT3", true, 1},
        {{"plain.tga"}, "DXT1", false, 1},
        {{"plain.bmp", "--format", "rgb565", "--maps", "3"}, "RGB 565", false, 3},
        {{"alpha.tga", "--no-alpha"}, "DXT1", false, 1},
        {{"alpha.tga", "--format", "RGBA8888", "--maps", "4"}, "RGBA 8888", true, 4},
        {{"alpha.tga", "--format", "rgba4444", "--maps", "keep"}, "RGBA 4444", true, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", (dir / c.args[0]).string(), (dir / "out.tex").string()};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        const CliResult r = runCli(args);
        ASSERT_EQ(r.code, 0) << c.args[0] << ": " << r.err;
        const auto j = info(dir / "out.tex");
        EXPECT_EQ(j, (nlohmann::json{{"version", 1}, {"type", "texture"}, {"file", (dir / "out.tex").string()}, {"width", 64}, {"height", 32}, {"maps", c.maps},
                                     {"format", c.format}, {"alpha", c.alpha}}))
            << c.args[0];
    }
}

TEST_F(Convert, RefusalsLeaveNoFileAndKeepAnExistingOne)
{
    writeTgaFile(dir / "alpha.tga", picture(64, 32, true));
    writeTgaFile(dir / "odd.tga", picture(6, 8, false));
    writeFile(dir / "old.tex", {'o', 'l', 'd'});
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {{"alpha.tga", "--format", "dxt1"}, 1, "no alpha channel"},
        {{"alpha.tga", "--no-alpha", "--format", "dxt3"}, 1, "needs an alpha channel"},
        {{"alpha.tga", "--maps", "5"}, 1, "1 to 4 maps"},  // the smaller side 32, 16, 8, 4
        {{"alpha.tga", "--maps", "0"}, 1, "1 to 4 maps"},
        {{"alpha.tga", "--maps", "many"}, 2, "--maps takes"},
        {{"alpha.tga", "--format", "dxt5"}, 2, "unknown format"},
        {{"alpha.tga", "--map", "0"}, 2, "--map applies to image outputs"},
        {{"odd.tga"}, 1, "powers of two"},
        {{"missing.tga"}, 1, "cannot open"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"convert", (dir / c.args[0]).string(), (dir / "new.tex").string()};
        args.insert(args.end(), c.args.begin() + 1, c.args.end());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "new.tex")) << c.message;

        args[2] = (dir / "old.tex").string();
        runCli(args);
        EXPECT_EQ(readFile(dir / "old.tex"), (std::vector<unsigned char>{'o', 'l', 'd'})) << c.message;
    }
    EXPECT_EQ(runCli({"convert", (dir / "alpha.tga").string(), (dir / "x.gif").string()}).code, 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);  // no temporary files left
}

TEST_F(Convert, TexturesBecomeImagesMapByMapAndKeepTheirBytes)
{
    const PixelBitmap image = picture(16, 8, true);
    ASSERT_EQ(writeTexture(dir / "a.tex", MapOption::Generate, true, 3, image, 4), TextureWriteStatus::Ok);
    const auto bytes = readFile(dir / "a.tex");
    const LoadedTexture t = loadTexture(bytes.data(), bytes.size());
    ASSERT_TRUE(t.ok());

    for (int k : {0, 2}) {
        ASSERT_EQ(runCli({"convert", (dir / "a.tex").string(), (dir / "m.tga").string(), "--map", std::to_string(k)}).code, 0);
        PixelBitmap back;
        decodeFile((dir / "m.tga").string(), back, 32);
        const PixelBitmap& map = t.maps[k];
        ASSERT_EQ(back.width(), map.width());
        ASSERT_EQ(back.height(), map.height());
        EXPECT_TRUE(back.hasAlpha());
        for (int y = 0; y < map.height(); ++y)
            EXPECT_EQ(std::memcmp(back.row(y), map.row(y), 4 * static_cast<std::size_t>(map.width())), 0) << k;
    }
    const CliResult bad = runCli({"convert", (dir / "a.tex").string(), (dir / "m.bmp").string(), "--map", "3"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("--map takes 0 to 2"), std::string::npos) << bad.err;
    ASSERT_EQ(runCli({"convert", (dir / "a.tex").string(), (dir / "m.bmp").string()}).code, 0);
    PixelBitmap bmp;
    decodeFile((dir / "m.bmp").string(), bmp, 32);
    EXPECT_EQ(bmp.width(), 16);

    ASSERT_EQ(runCli({"convert", (dir / "a.tex").string(), (dir / "same.tex").string(), "--maps", "keep"}).code, 0);
    EXPECT_EQ(readFile(dir / "same.tex"), bytes);
    EXPECT_EQ(runCli({"convert", (dir / "a.tex").string(), (dir / "same.tex").string(), "--maps", "keep", "--no-alpha"}).code, 2);
}

TEST_F(Convert, ReadsVolumeEntriesAndReportsDamagedTextures)
{
    ASSERT_EQ(writeTexture(dir / "src" / "tex" / "wall.tex", MapOption::LargestOnly, false, 1, picture(8, 8, false), 3),
              TextureWriteStatus::OpenFailed);  // the folder does not exist yet
    fs::create_directories(dir / "src" / "tex");
    ASSERT_EQ(writeTexture(dir / "src" / "tex" / "wall.tex", MapOption::LargestOnly, false, 1, picture(8, 8, false), 3),
              TextureWriteStatus::Ok);
    writeTgaFile(dir / "src" / "logo.tga", picture(4, 4, true));
    ASSERT_EQ(runCli({"pack", (dir / "src").string(), (dir / "v.qrb").string()}).code, 0);

    ASSERT_EQ(runCli({"convert", (dir / "v.qrb").string() + "::tex/WALL.tex", (dir / "w.tex").string(), "--maps", "keep"}).code, 0);
    EXPECT_EQ(readFile(dir / "w.tex"), readFile(dir / "src" / "tex" / "wall.tex"));
    ASSERT_EQ(runCli({"convert", (dir / "v.qrb").string() + "::logo.tga", (dir / "l.tex").string()}).code, 0);
    EXPECT_EQ(info(dir / "l.tex")["format"], "DXT3");
    EXPECT_EQ(runCli({"convert", (dir / "v.qrb").string() + "::tex", (dir / "d.tex").string()}).code, 1);
    EXPECT_EQ(runCli({"convert", (dir / "v.qrb").string() + "::nothing.tex", (dir / "d.tex").string()}).code, 1);

    const CliResult text = runCli({"info", (dir / "w.tex").string()});
    EXPECT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("RGB 565"), std::string::npos);

    auto damaged = readFile(dir / "w.tex");
    damaged.resize(damaged.size() - 1);
    writeFile(dir / "damaged.tex", damaged);
    const CliResult r = runCli({"info", (dir / "damaged.tex").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("shorter"), std::string::npos) << r.err;
    EXPECT_EQ(runCli({"convert", (dir / "damaged.tex").string(), (dir / "x.tga").string()}).code, 1);
}

}  // namespace

// --quality reaches the block compressor and --jpeg-quality the JPEG writer; a
// value they cannot take, or an output that cannot use it, is a usage error.
TEST_F(Convert, EncoderSettingsReachTheEncoders)
{
    // Noise, so that the compressor's settings choose different endpoints.
    PixelBitmap noise;
    noise.create(64, 64, 32, false);
    std::uint32_t seed = 12345;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            seed = seed * 1664525u + 1013904223u;
            noise.row(y)[x] = static_cast<std::uint8_t>(seed >> 24);
        }
    writeTgaFile(dir / "noise.tga", noise);
    const auto convert = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args = {"convert", (dir / "noise.tga").string(), (dir / out).string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return runCli(args);
    };
    for (const auto& [out, extra] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"plain.tex", {}}, {"default.tex", {"--quality", "default"}}, {"fast.tex", {"--quality", "fast"}},
             {"best.tex", {"--quality", "best"}}, {"plain.jpg", {}}, {"q75.jpg", {"--jpeg-quality", "75"}},
             {"q10.jpg", {"--jpeg-quality", "10"}}, {"q95.jpg", {"--jpeg-quality=95"}}}) {
        const CliResult r = convert(out, extra);
        ASSERT_EQ(r.code, 0) << out << ": " << r.err;
    }
    EXPECT_EQ(readFile(dir / "default.tex"), readFile(dir / "plain.tex"));
    EXPECT_NE(readFile(dir / "fast.tex"), readFile(dir / "best.tex"));
    EXPECT_EQ(readFile(dir / "q75.jpg"), readFile(dir / "plain.jpg"));
    EXPECT_LT(fs::file_size(dir / "q10.jpg"), fs::file_size(dir / "q95.jpg"));

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--quality", "ultra"}, {"--jpeg-quality", "0"}, {"--jpeg-quality", "101"}, {"--jpeg-quality", "7x"}}) {
        const CliResult r = convert("bad.jpg", bad);
        EXPECT_EQ(r.code, 2) << bad[0] << " " << bad[1] << ": " << r.err;
    }
    EXPECT_EQ(convert("bad.png", {"--quality", "best"}).code, 2) << "no block compressor for a PNG";
    EXPECT_EQ(convert("bad.tex", {"--jpeg-quality", "50"}).code, 2);
    EXPECT_FALSE(fs::exists(dir / "bad.jpg") || fs::exists(dir / "bad.png") || fs::exists(dir / "bad.tex"));

    const CliResult edited = runCli({"edit", (dir / "noise.tga").string(), (dir / "edited.tex").string(), "--quality", "best"});
    ASSERT_EQ(edited.code, 0) << edited.err;
    EXPECT_EQ(readFile(dir / "edited.tex"), readFile(dir / "best.tex"));
    EXPECT_EQ(runCli({"edit", (dir / "noise.tga").string(), (dir / "e.jpg").string(), "--jpeg-quality", "x"}).code, 2);
}
