// Metafiles: the size rules, and the system renderer drawing onto white.
#include "ImageTestSupport.h"

#include "LazyMetafileRenderer.h"
#include "SystemMetafileRenderer.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "codecs/imagefile/MetafileSize.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imagetest;

namespace {

TEST(MetafileSize, FromPlaceableHeaderOrFrameElse320By200)
{
    const std::vector<std::uint8_t> wmf = readBytes(fixture("metafile_placeable.wmf"));
    const std::vector<std::uint8_t> emf = readBytes(fixture("metafile_frame.emf"));
    std::vector<std::uint8_t> plainWmf(wmf.begin() + 22, wmf.end());  // without the placeable header
    std::vector<std::uint8_t> emptyFrame = emf;
    std::fill(emptyFrame.begin() + 24, emptyFrame.begin() + 40, 0);
    const struct {
        int type;
        const std::vector<std::uint8_t>* bytes;
        int ppi, width, height;
    } cases[] = {
        {IMAGE_WMF, &wmf, 96, 96, 48},       {IMAGE_WMF, &wmf, 120, 120, 60}, {IMAGE_WMF, &plainWmf, 96, 320, 200},
        {IMAGE_EMF, &emf, 96, 96, 48},       {IMAGE_EMF, &emptyFrame, 96, 320, 200},
    };
    for (const auto& c : cases) {
        const MetafileSize size = metafileSize(c.type, c.bytes->data(), c.bytes->size(), c.ppi);
        EXPECT_EQ(size.width, c.width) << c.type << " at " << c.ppi;
        EXPECT_EQ(size.height, c.height) << c.type << " at " << c.ppi;
    }
}

class SystemRenderer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = metafileRenderer();
        setMetafileRenderer(std::make_shared<SystemMetafileRenderer>());
    }
    void TearDown() override { setMetafileRenderer(m_previous); }

private:
    std::shared_ptr<MetafileRenderer> m_previous;
};

// Each fixture fills its top-left quarter with one colour; the rest is white.
TEST_F(SystemRenderer, DrawsOntoWhiteAtTheHeaderSize)
{
    const struct {
        const char* file;
        std::uint32_t colour;
    } cases[] = {{"metafile_placeable.wmf", 0xFFFF0000}, {"metafile_frame.emf", 0xFF0000FF}};
    for (const auto& c : cases) {
        PixelBitmap bitmap;
        decodeFile(fixture(c.file), bitmap, 32);
        EXPECT_EQ(bitmap.width(), 96) << c.file;
        EXPECT_EQ(bitmap.height(), 48) << c.file;
        EXPECT_EQ(bitmap.bitsPerPixel(), 32);
        EXPECT_TRUE(bitmap.hasAlpha());
        EXPECT_EQ(bitmap.pixelAt(20, 10), c.colour) << c.file;
        EXPECT_EQ(bitmap.pixelAt(80, 40), 0xFFFFFFFFu) << c.file;
        EXPECT_EQ(bitmap.pixelAt(80, 5), 0xFFFFFFFFu) << c.file;
        EXPECT_EQ(bitmap.pixelAt(10, 40), 0xFFFFFFFFu) << c.file;
    }
}

TEST_F(SystemRenderer, DamagedMetafilesAreRefused)
{
    TempDir dir;
    for (const char* name : {"metafile_placeable.wmf", "metafile_frame.emf"}) {
        const std::vector<std::uint8_t> bytes = readBytes(fixture(name));
        const std::string ext = std::string(name).substr(std::string(name).size() - 4);
        for (std::size_t length : {std::size_t{0}, std::size_t{10}, bytes.size() / 2}) {
            const std::string path = dir.file("cut" + std::to_string(length) + ext);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(length));
            PixelBitmap bitmap;
            try {
                decodeFile(path, bitmap, 32);
            } catch (const CTextException&) {
            }
        }
    }
}

// Inputs the metafile fuzzer found, each refused before a renderer sees it
// (code 1) instead of making the renderer allocate what the header claims.
TEST_F(SystemRenderer, FuzzFindingsAreRefusedBeforeTheRenderer)
{
    const struct {
        const char* name;
        int type;
        const char* detail;  // ours, not the renderer's
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        // The header's largest record is 0x3B000007 words: libwmf allocated 1.9 GB for it.
        {"wmf_max_record_2gb", IMAGE_WMF, "larger than the file", {0xD7, 0xCD, 0xC6, 0x9A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0xF4, 0x03, 0x01, 0x00, 0x00, 0xE8, 0x00, 0xE5, 0x56, 0x01, 0x00, 0x09, 0x00, 0x00, 0x03, 0x28, 0x00, 0x90, 0x00, 0x01, 0x00, 0x07, 0x00, 0x00, 0x3B, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x45, 0x07, 0x00, 0x00, 0x00, 0x1B, 0x04, 0xFA, 0x00, 0xF4, 0x01, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00}},
    };
    for (const auto& c : cases) {
        PixelBitmap bitmap;
        int code = 0;
        std::string message;
        try {
            metafileRenderer()->render(c.type, c.bytes.data(), c.bytes.size(), bitmap, DecodeLimits{});
        } catch (const CTextException& err) {
            code = err.code();
            message = err.message();
        }
        EXPECT_EQ(code, 1) << c.name;
        EXPECT_NE(message.find(c.detail), std::string::npos) << c.name << ": " << message;
    }
}

}  // namespace

namespace {

// korvix-cli's renderer: the system renderer from a module loaded on first use.
TEST(LazyMetafileRenderer, LoadsTheModuleOnFirstUseAndDrawsAsTheSystemRenderer)
{
    // The first candidate is missing: the next one is taken.
    cli::LazyMetafileRenderer lazy({"no-such-folder/korvix-metafile.so", KORVIX_METAFILE_MODULE});
    SystemMetafileRenderer direct;
    for (const char* name : {"metafile_placeable.wmf", "metafile_frame.emf", "metafile_placeable.wmf"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> bytes = readBytes(fixture(name));
        const int type = detectImageFileType(name, bytes.data(), bytes.size());
        PixelBitmap fromModule, expected;
        lazy.render(type, bytes.data(), bytes.size(), fromModule, DecodeLimits{});
        direct.render(type, bytes.data(), bytes.size(), expected, DecodeLimits{});
        ASSERT_EQ(fromModule.storageSize(), expected.storageSize());
        EXPECT_EQ(std::memcmp(fromModule.storage(), expected.storage(), expected.storageSize()), 0);
    }
}

// Neither a missing file, nor a file that is no module, nor a library without
// the entry gives a renderer: the render fails as without a renderer (code 6),
// naming each reason, and fails again on the next call.
TEST(LazyMetafileRenderer, NoLoadableModuleIsTheRenderersError)
{
    const std::string notModule = fixture("metafile_frame.emf");
    cli::LazyMetafileRenderer lazy({"no-such-folder/korvix-metafile.so", notModule, KORVIX_QORBM_LIBRARY});
    const std::vector<std::uint8_t> bytes = readBytes(fixture("metafile_frame.emf"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        PixelBitmap bitmap;
        try {
            lazy.render(IMAGE_EMF, bytes.data(), bytes.size(), bitmap, DecodeLimits{});
            FAIL() << "rendered without a module";
        } catch (const CTextException& err) {
            EXPECT_EQ(err.code(), 6);
            const std::string text = err.message();
            EXPECT_NE(text.find("no-such-folder/korvix-metafile.so"), std::string::npos) << text;
            EXPECT_NE(text.find(notModule), std::string::npos) << text;
            EXPECT_NE(text.find(METAFILE_MODULE_ENTRY), std::string::npos) << text;
        }
    }
}

TEST(LazyMetafileRenderer, LooksInTheInstalledLibraryFolderThenBesideTheProgram)
{
    EXPECT_EQ(cli::LazyMetafileRenderer::candidatesFor("/opt/k/bin/korvix-cli", "../lib/korvix", "m.so"),
              (std::vector<std::string>{"/opt/k/lib/korvix/m.so", "/opt/k/bin/m.so"}));
    EXPECT_EQ(cli::LazyMetafileRenderer::candidatesFor("build/cli/korvix-cli", "../lib64/korvix", "m.so"),
              (std::vector<std::string>{"build/lib64/korvix/m.so", "build/cli/m.so"}));
}

}  // namespace
