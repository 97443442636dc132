// korvix-cli convert: resizing, map counts, the alpha choice, batches and pipes.
#include "ConvertFixtures.h"
#include "RunCli.h"
#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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
            p[0] = static_cast<std::uint8_t>(x * 3);
            p[1] = static_cast<std::uint8_t>(y * 3);
            p[2] = static_cast<std::uint8_t>(x + y);
            p[3] = alpha ? static_cast<std::uint8_t>(255 - x) : 255;
        }
    return bmp;
}

class ConvertPreparation : public ::testing::Test {
protected:
    TempDir dir;
    std::string path(const char* name) const { return (dir / name).string(); }
};

}  // namespace

TEST_F(ConvertPreparation, SizesMapsAndAlpha)
{
    writeTgaFile(dir / "odd.tga", picture(100, 45, false));
    writeTgaFile(dir / "square.tga", picture(64, 64, true));
    writeFile(dir / "three.tex", textureBytes(64, 32, 3, 8));
    const struct {
        std::vector<std::string> args;  // after "convert"
        const char* output;
        int width, height, maps;
        bool alpha;
    } cases[] = {
        // 100 -> 128 (nearer than 64), 45 -> 32 (nearer than 64).
        {{path("odd.tga"), path("out.tex"), "--fit"}, "out.tex", 128, 32, 1, false},
        {{path("odd.tga"), path("out.tex"), "--resize", "256x8", "--maps", "all"}, "out.tex", 256, 8, 2, false},
        {{path("odd.tga"), path("out.png"), "--resize", "7x5"}, "out.png", 7, 5, 0, false},
        // An opaque picture in an alpha format.
        {{path("odd.tga"), path("out.tex"), "--fit", "--alpha", "opaque", "--format", "dxt3"}, "out.tex", 128, 32, 1, true},
        {{path("square.tga"), path("out.tex"), "--alpha", "none"}, "out.tex", 64, 64, 1, false},
        {{path("square.tga"), path("out.tex"), "--maps", "all"}, "out.tex", 64, 64, 5, true},
        // A texture keeps its number of maps unless told, and as far as a new size allows.
        {{path("three.tex"), path("out.tex")}, "out.tex", 64, 32, 3, false},
        {{path("three.tex"), path("out.tex"), "--maps", "largest"}, "out.tex", 64, 32, 1, false},
        {{path("three.tex"), path("out.tex"), "--resize", "16x8"}, "out.tex", 16, 8, 2, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"convert"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string label;
        for (const std::string& a : args)
            label += fs::path(a).filename().string() + " ";
        const auto r = runCli(args);
        ASSERT_EQ(r.code, 0) << label << ": " << r.err;
        const auto j = info(dir / c.output);
        EXPECT_EQ(j["width"], c.width) << label;
        EXPECT_EQ(j["height"], c.height) << label;
        if (c.maps > 0) {
            EXPECT_EQ(j["maps"], c.maps) << label;
        }
        EXPECT_EQ(j["alpha"], c.alpha) << label;
    }
}

TEST_F(ConvertPreparation, RefusalsSayWhatFixesThem)
{
    writeTgaFile(dir / "odd.tga", picture(100, 45, false));
    const struct {
        std::vector<std::string> args;
        int code;
        const char* errHas;
    } cases[] = {
        {{path("odd.tga"), path("out.tex")}, 1, "100 x 45"},
        {{path("odd.tga"), path("out.tex")}, 1, "--fit"},
        {{path("odd.tga"), path("out.tex"), "--fit", "--format", "dxt3"}, 1, "--alpha opaque"},
        {{path("odd.tga"), path("out.tex"), "--fit", "--maps", "9"}, 1, "allows 1 to 4 maps"},
        {{path("odd.tga"), path("out.tex"), "--resize", "0x4"}, 2, "WxH"},
        {{path("odd.tga"), path("out.tex"), "--resize", "64"}, 2, "WxH"},
        {{path("odd.tga"), path("out.tex"), "--fit", "--resize", "4x4"}, 2, "either"},
        {{path("odd.tga"), path("out.tex"), "--alpha", "maybe"}, 2, "keep, none or opaque"},
        {{path("odd.tga"), "-"}, 2, "needs --to"},
        {{path("."), path("out.png")}, 1, "is a directory"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"convert"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runCli(args);
        EXPECT_EQ(r.code, c.code) << c.errHas << ": " << r.err;
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.tex"));
    }
}

TEST_F(ConvertPreparation, BatchConvertsEachFileAndTheStatusSaysWhetherAllDid)
{
    fs::create_directory(dir / "in");
    fs::create_directory(dir / "out");
    for (const char* name : {"a.tga", "b.tga", "c.tga"})
        writeTgaFile(dir / "in" / name, picture(32, 16, false));
    writeFile(dir / "in" / "bad.tga", {'n', 'o', 'p', 'e'});
    writeFile(dir / "v.qrb", volumeBytes({.entries = {{"Tex.TGA", dataStart(1), 0, LAST}}}));

    std::vector<std::string> good{"convert", path("in/a.tga"), path("in/b.tga"), path("in/c.tga"),
                                  "--to", "png", "-d", path("out"), "-j", "2"};
    auto r = runCli(good);
    EXPECT_EQ(r.code, 0) << r.err;
    for (const char* name : {"a.png", "b.png", "c.png"}) {
        EXPECT_EQ(info(dir / "out" / name)["type"], "image") << name;
        EXPECT_NE(r.out.find(name), std::string::npos) << "one line per file: " << r.out;
    }
    EXPECT_NE(r.err.find("3 of 3 files converted"), std::string::npos) << r.err;

    // One bad file fails the batch but not the others; beside the input without -d.
    r = runCli({"convert", path("in/a.tga"), path("in/bad.tga"), "--to", ".TEX"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(fs::exists(dir / "in" / "a.tex"));
    EXPECT_FALSE(fs::exists(dir / "in" / "bad.tex"));
    EXPECT_NE(r.err.find("bad.tga"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("1 of 2 files converted, 1 failed"), std::string::npos) << r.err;

    // Two inputs that would land on one output are refused before anything is written.
    r = runCli({"convert", path("in/a.tga"), path("in/a.tga"), "--to", "bmp"});
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_FALSE(fs::exists(dir / "in" / "a.bmp"));
    r = runCli({"convert", path("in/a.tga"), path("in/b.tga"), "-d", path("out")});
    EXPECT_EQ(r.code, 2) << "several inputs without --to";
}

TEST_F(ConvertPreparation, StandardInputAndOutput)
{
    writeTgaFile(dir / "p.tga", picture(16, 8, true));
    const auto tga = readFile(dir / "p.tga");
    std::istringstream in(std::string(tga.begin(), tga.end()));
    std::ostringstream out, err;
    cli::Io io{out, err, &in};
    ASSERT_EQ(cli::run({"convert", "-", "-", "--to", "tex", "--format", "rgba8888"}, io), 0) << err.str();
    const std::string bytes = out.str();
    writeFile(dir / "piped.tex", std::vector<unsigned char>(bytes.begin(), bytes.end()));
    const auto j = info(dir / "piped.tex");
    EXPECT_EQ(j["format"], "RGBA 8888");
    EXPECT_EQ(j["width"], 16);
}

TEST_F(ConvertPreparation, InfoTakesSeveralFilesAndVolumeEntries)
{
    const auto tex = textureBytes(16, 8, 2, 8);
    VolumeSpec spec;
    spec.entries = {{"pic.tex", dataStart(2), static_cast<std::uint32_t>(tex.size()), 0},
                    {"notes.txt", dataStart(2) + static_cast<std::uint32_t>(tex.size()), 3, LAST}};
    spec.data = tex;
    spec.data.insert(spec.data.end(), {'a', 'b', 'c'});
    writeFile(dir / "v.qrb", volumeBytes(spec));
    writeFile(dir / "broken.tex", {'K', 'T', 'E', 'X'});

    auto r = runCli({"info", "--json", path("v.qrb"), path("v.qrb") + "::PIC.TEX", path("v.qrb") + "::notes.txt"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<nlohmann::json> docs;
    for (std::string line; std::getline(lines, line);)
        docs.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(docs.size(), 3u) << "one document per line";
    EXPECT_EQ(docs[0]["type"], "volume");
    EXPECT_EQ(docs[1]["type"], "texture");
    EXPECT_EQ(docs[1]["maps"], 2);
    EXPECT_EQ(docs[2]["type"], "file");
    EXPECT_EQ(docs[2]["path"], "notes.txt");
    EXPECT_EQ(docs[2]["size"], 3);
    for (const auto& d : docs)
        EXPECT_EQ(d["version"], 1);

    // A failure is reported and the rest still shown; the status says not all were.
    r = runCli({"info", path("broken.tex"), path("v.qrb")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("broken.tex"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("QORB volume"), std::string::npos) << r.out;
}
