// korvix-cli edit and info --report: operations run through the document, a
// refused operation exits 1 with the document's reason and writes nothing.
#include "RunCli.h"
#include "TextureBuilder.h"

#include "codecs/TextureLoader.h"
#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

std::uint32_t pixelOf(int, int x, int y)
{
    return 0x80000000u | static_cast<std::uint32_t>(x * 20) << 16 | static_cast<std::uint32_t>(y * 20) << 8 | 0x33u;
}

struct EditCommand : ::testing::Test {
    TempDir dir;
    std::string one = (dir / "one.tex").string();      // 8 x 4, one map, RGBA 8888
    std::string many = (dir / "many.tex").string();    // 16 x 16, three maps
    std::string opaque = (dir / "opaque.tex").string();  // 8 x 8 RGB 565: no alpha
    std::string volume = (dir / "v.qrb").string();

    void SetUp() override
    {
        writeFile(one, textureBytes(8, 4, 1, 2, pixelOf));
        writeFile(many, textureBytes(16, 16, 3, 2, pixelOf));
        writeFile(opaque, textureBytes(8, 8, 1, 8));
        const auto tex = textureBytes(16, 16, 3, 2, pixelOf);
        VolumeSpec spec;
        spec.entries = {{"pic.TEX", dataStart(1), static_cast<std::uint32_t>(tex.size()), LAST}};
        spec.data = tex;
        writeFile(volume, volumeBytes(spec));
    }

    std::string out(const std::string& name) const { return (dir / name).string(); }

    static PixelBitmap readImage(const std::string& path)
    {
        PixelBitmap b;
        decodeFile(path, b, 32);
        return b;
    }
};

}  // namespace

TEST_F(EditCommand, RefusalsExitOneAndWriteNothing)
{
    const struct {
        std::vector<std::string> ops;
        std::string input;
        const char* errHas;
    } cases[] = {
        {{"--invert"}, "many", "has 3 maps; give --remove-small-maps first"},
        {{"--select", "0,0,4,4"}, "many", "has 3 maps"},
        {{"--crop"}, "one", "--crop: Kein Bereich markiert."},
        {{"--invert-alpha"}, "opaque", "no alpha channel"},
        {{"--alpha-blur"}, "opaque", "no alpha channel"},
        {{"--alpha-brightness", "20"}, "opaque", "no alpha channel"},
        {{"--create-alpha"}, "one", "already has an alpha channel"},
        {{"--remove-small-maps"}, "one", "only one map"},
        {{"--resize", "100x64"}, "one", "each side must be one of"},
        {{"--select", "6,0,3,2"}, "one", "reaches outside the 8 x 4 picture"},
        // A refusal after operations that succeeded still writes nothing.
        {{"--rotate", "cw", "--invert", "--select", "none", "--crop"}, "one", "Kein Bereich markiert."},
        {{"--remove-small-maps", "--remove-small-maps"}, "many", "only one map"},
    };
    const std::map<std::string, std::string> inputs = {{"one", one}, {"many", many}, {"opaque", opaque}};
    for (const auto& c : cases) {
        for (const char* name : {"out.tga", "out.tex"}) {
            std::vector<std::string> args = {"edit", inputs.at(c.input), out(name)};
            args.insert(args.end(), c.ops.begin(), c.ops.end());
            const CliResult r = runCli(args);
            EXPECT_EQ(r.code, 1) << c.ops[0] << ": " << r.err;
            EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
            EXPECT_FALSE(std::filesystem::exists(out(name))) << c.ops[0];
        }
    }
    // An existing output stays as it was.
    writeFile(out("keep.tga"), {'o', 'l', 'd'});
    EXPECT_EQ(runCli({"edit", one, out("keep.tga"), "--crop"}).code, 1);
    EXPECT_EQ(readFile(out("keep.tga")), (std::vector<unsigned char>{'o', 'l', 'd'}));
}

TEST_F(EditCommand, UsageErrorsExitTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--channels", "x"},      {"--channels", ""},        {"--channels", "rr"}, {"--resize", "big"},
        {"--rotate", "left"},     {"--mirror", "d"},         {"--brightness", "300"}, {"--contrast", "-128"},
        {"--gamma", "5"},         {"--gamma", "0"},          {"--select", "1,2,3"}, {"--select", "0,0,0,4"},
        {"--sepia"},              {"--format", "dxt1"},
    };
    for (const auto& ops : cases) {
        std::vector<std::string> args = {"edit", one, out("out.tga")};
        args.insert(args.end(), ops.begin(), ops.end());
        const CliResult r = runCli(args);
        EXPECT_EQ(r.code, 2) << ops[0] << " " << (ops.size() > 1 ? ops[1] : "") << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out("out.tga")));
    }
    EXPECT_EQ(runCli({"edit", one, out("out.xyz")}).code, 2);
}

TEST_F(EditCommand, OperationsRunInOrderThroughTheDocument)
{
    // Red inverted in a 2 x 2 selection, then turned clockwise: 8 x 4 becomes 4 x 8.
    ASSERT_EQ(runCli({"edit", one, out("a.tga"), "--select", "1,1,2,2", "--channels", "r", "--invert", "--rotate", "cw"}).code, 0);
    const PixelBitmap a = readImage(out("a.tga"));
    ASSERT_EQ(a.width(), 4);
    ASSERT_EQ(a.height(), 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
            const std::uint32_t expected = pixelOf(0, x, y) ^ (inside ? 0x00FF0000u : 0u);
            EXPECT_EQ(a.pixelAt(4 - 1 - y, x), expected) << x << "," << y;  // the old (x, y) after the turn
        }

    // The small maps removed, then resized and gamma 1.0: a 32 x 8 texture of one map.
    ASSERT_EQ(runCli({"edit", many, out("b.tex"), "--remove-small-maps", "--resize", "32x8", "--gamma", "1.0",
                      "--format", "rgba8888"}).code, 0);
    const auto bytes = readFile(out("b.tex"));
    const LoadedTexture t = loadTexture(bytes.data(), bytes.size());
    ASSERT_TRUE(t.ok());
    EXPECT_EQ(t.count(), 1);
    EXPECT_EQ(t.maps.largest().width(), 32);
    EXPECT_EQ(t.maps.largest().height(), 8);

    // Brightness on blue only, from a volume entry; alpha brightness on the alpha channel.
    const CliResult r = runCli({"edit", volume + "::pic.TEX", out("c.tga"), "--remove-small-maps", "--channels", "b",
                                "--brightness", "-255", "--alpha-brightness", "255"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    const PixelBitmap c = readImage(out("c.tga"));
    EXPECT_EQ(c.pixelAt(3, 5), (pixelOf(0, 3, 5) & 0x00FFFF00u) | 0xFF000000u);

    // Nothing to do: a texture is written as loaded with --maps keep.
    ASSERT_EQ(runCli({"edit", many, out("d.tex"), "--maps", "keep"}).code, 0);
    EXPECT_EQ(readFile(out("d.tex")), readFile(many));
    ASSERT_EQ(runCli({"edit", volume + "::pic.TEX", out("e.tex"), "--select", "none", "--maps", "keep"}).code, 0);
    EXPECT_EQ(readFile(out("e.tex")), readFile(many));
}

TEST_F(EditCommand, InfoReportPrintsTheReportExactly)
{
    const CliResult r = runCli({"info", many, "--report"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "\nBreite: 16 Pixel     \n\nHöhe: 16 Pixel     \n\nAlphakanal: Ja     \n\n\nMaps: 3  \n\nKleinste Map: 4 x 4 "
              "Pixel   \n\n\nBitmapgröße komprimiert: 128 Bytes\n\nGröße aller Bitmaps komprimiert: 168 Bytes   \n\nTGA "
              "16 x 16 unkomprimiert: 1024 Bytes   \n\n\n\n");
    const CliResult entry = runCli({"info", volume + "::pic.TEX", "--report"});
    EXPECT_EQ(entry.out, r.out);
    EXPECT_EQ(runCli({"info", many, "--report", "--json"}).code, 2);
    EXPECT_EQ(runCli({"info", out("missing.tex"), "--report"}).code, 1);
}
