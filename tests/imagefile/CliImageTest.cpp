// korvix-cli with images: info reports any readable image, convert reads every
// image type and writes every image output.
#include "ImageTestSupport.h"

#include "RunCli.h"
#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>

using namespace imagetest;
using testsupport::runCli;

namespace {

TEST(CliInfo, ImagesGiveTheirSizeAndAlpha)
{
    EXPECT_EQ(runCli({"info", fixture("png_rgba.png"), "--json"}).out,
              "{\"version\": 1, \"type\": \"image\", \"width\": 13, \"height\": 7, \"alpha\": true}\n");
    EXPECT_EQ(runCli({"info", fixture("pcx_24bit.pcx"), "--json"}).out,
              "{\"version\": 1, \"type\": \"image\", \"width\": 13, \"height\": 7, \"alpha\": false}\n");
    const auto text = runCli({"info", fixture("tga_16.tga")});
    EXPECT_NE(text.out.find("format:     TGA"), std::string::npos) << text.out;
    const auto refused = runCli({"info", fixture("refused.gif")});
    EXPECT_EQ(refused.code, cli::exitFailure);
    EXPECT_NE(refused.err.find("GIF"), std::string::npos) << refused.err;
}

TEST(CliConvert, AnyImageTypeToEveryImageOutput)
{
    TempDir dir;
    const char* inputs[] = {"pict_direct.pict", "pcx_24bit.pcx", "tif_rgb.tif", "pgm_p5.pgm", "eps_preview.eps"};
    const char* outputs[] = {"o.tga", "o.bmp", "o.tif", "o.tiff", "o.png", "o.jpg", "o.jpeg"};
    for (const char* input : inputs) {
        PixelBitmap expected;
        decodeFile(fixture(input), expected, 32);
        for (const char* output : outputs) {
            const auto r = runCli({"convert", fixture(input), dir.file(output)});
            ASSERT_EQ(r.code, 0) << input << " -> " << output << ": " << r.err;
            PixelBitmap back;
            decodeFile(dir.file(output), back, 32);
            Reference ref{expected.width(), expected.height(), false, {}};
            for (int y = 0; y < expected.height(); ++y)
                for (int x = 0; x < expected.width(); ++x)
                    ref.pixels.push_back(expected.pixelAt(x, y));
            const bool lossy = std::string(output).find(".jp") != std::string::npos;
            // JPEG of a 13 x 7 pattern with sharp colour steps: only a loose floor.
            EXPECT_LE(maxDifference(back, ref, false), lossy ? 120 : 0) << input << " -> " << output;
        }
    }
}

}  // namespace
