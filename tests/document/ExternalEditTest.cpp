// Editing the shown picture in another program: the file handed out, every
// save of it coming back through the paste's door, and the end of the watch.
#include "FakeHost.h"
#include "TextureBuilder.h"

#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"

#include <gtest/gtest.h>

using namespace testsupport;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace {

struct ExternalEdit : ::testing::Test {
    TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};

    ExternalEdit() { host.externalFolder = (dir / "outside").string(); }
    void SetUp() override { std::filesystem::create_directories(dir / "outside"); }

    void load(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        writeFile(dir / name, bytes);
        ASSERT_TRUE(doc.openFile((dir / name).string(), false));
    }
    // What the other program saves: `picture` written over the file handed out.
    void saveOutside(const PixelBitmap& picture) { encodePng(host.watched, picture); }
};

// Every byte of two bitmaps' rows, the alpha bytes only where they count.
void expectSamePixels(const PixelBitmap& a, const PixelBitmap& b, bool alpha)
{
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    const std::uint32_t mask = alpha ? 0xFFFFFFFFu : 0x00FFFFFFu;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.pixelAt(x, y) & mask, b.pixelAt(x, y) & mask) << x << "," << y;
}

std::uint32_t varied(int, int x, int y)
{
    return static_cast<std::uint32_t>(x * 13 + y * 7) << 24 | static_cast<std::uint32_t>(x * 5) << 16
           | static_cast<std::uint32_t>(y * 9) << 8 | static_cast<std::uint32_t>(x ^ y);
}

}  // namespace

TEST_F(ExternalEdit, AnUnchangedRoundTripIsBitIdenticalWithAndWithoutAlpha)
{
    for (const bool alpha : {true, false}) {
        SCOPED_TRACE(alpha ? "with alpha" : "without alpha");
        load(alpha ? "a.tex" : "n.tex", textureBytes(32, 16, 1, alpha ? 2 : 8, varied));
        const PixelBitmap before = (*doc.maps())[0];
        ASSERT_TRUE(doc.externalEditCommand());
        EXPECT_EQ(host.watched, (dir / "outside" / (alpha ? "a.png" : "n.png")).string());
        EXPECT_EQ(doc.externalFile(), host.watched);

        ASSERT_TRUE(doc.externalFileSaved());  // saved unchanged
        EXPECT_EQ(doc.hasAlpha(), alpha);
        EXPECT_EQ((*doc.maps())[0].hasAlpha(), alpha);
        expectSamePixels((*doc.maps())[0], before, alpha);
        EXPECT_EQ(doc.formatText(), alpha ? " PNG · Alpha" : " PNG");
        EXPECT_EQ(doc.name(), (dir / (alpha ? "a.tex" : "n.tex")).string()) << "the name stays";
        EXPECT_EQ(doc.source(), CKestrelDoc::SOURCE_OTHER);
        EXPECT_TRUE(host.messages.empty());

        // The reload is one undo step, which brings the texture back as loaded.
        EXPECT_TRUE(doc.isModified());
        EXPECT_EQ(doc.commandLabel(ID_EDIT_UNDO), std::optional<std::string>("Rückgängig: Externe Bearbeitung"));
        ASSERT_TRUE(doc.undo());
        EXPECT_FALSE(doc.isModified());
        EXPECT_EQ(doc.source(), CKestrelDoc::SOURCE_TEXTURE_FILE);
        EXPECT_EQ(doc.formatText().find(" PNG"), std::string::npos);
        expectSamePixels((*doc.maps())[0], before, alpha);
    }
}

TEST_F(ExternalEdit, EachSaveReplacesThePictureByThePasteRules)
{
    load("four.tex", textureBytes(64, 64, 4, 2, varied));
    doc.selectMapCommand(2);  // the shown map goes out: 32 x 32
    ASSERT_TRUE(doc.externalEditCommand());
    PixelBitmap sent;
    ASSERT_EQ(decodeFile(host.watched, sent, 32), IMAGE_PNG);
    expectSamePixels(sent, (*doc.maps())[2], true);

    // A changed pixel comes back; the texture is one map of that picture now.
    sent.row(3)[4 * 5 + 2] = 0xAB;
    saveOutside(sent);
    ASSERT_TRUE(doc.externalFileSaved());
    EXPECT_EQ(doc.mapCount(), 1);
    expectSamePixels((*doc.maps())[0], sent, true);

    // Too small and too large are refused as a paste refuses them; the picture stays.
    PixelBitmap tiny;
    tiny.create(3, 8, 32, false);
    saveOutside(tiny);
    EXPECT_FALSE(doc.externalFileSaved());
    EXPECT_EQ(host.messages.back().text, msg(MessageId::BitmapTooSmall));
    PixelBitmap huge;
    huge.create(2050, 4, 32, false);
    saveOutside(huge);
    EXPECT_FALSE(doc.externalFileSaved());
    EXPECT_EQ(host.messages.back().text, msg(MessageId::MapTooLarge));
    expectSamePixels((*doc.maps())[0], sent, true);

    // A size no texture can take is kept, and told once when it appears.
    host.messages.clear();
    PixelBitmap odd;
    odd.create(30, 20, 32, false);
    saveOutside(odd);
    ASSERT_TRUE(doc.externalFileSaved());
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{MessageTable::format(MessageId::ExternalNotTextureSizeFormat, 30, 20)});
    ASSERT_TRUE(doc.externalFileSaved());
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_FALSE(doc.hasAlpha());
}

TEST_F(ExternalEdit, AnotherPictureEndsTheWatchAndFailuresAreTold)
{
    load("a.tex", textureBytes(8, 8, 1, 2));
    ASSERT_TRUE(doc.externalEditCommand());
    load("b.tex", textureBytes(8, 8, 1, 2));
    EXPECT_TRUE(host.watched.empty());
    EXPECT_TRUE(doc.externalFile().empty());
    EXPECT_FALSE(doc.externalFileSaved());

    ASSERT_TRUE(doc.externalEditCommand());
    PixelBitmap pasted;
    pasted.create(8, 8, 32, false);
    host.clipboard = pasted;
    doc.paste();
    EXPECT_TRUE(host.watched.empty()) << "a paste ends it too";

    host.externalStarts = false;
    EXPECT_FALSE(doc.externalEditCommand());
    EXPECT_EQ(host.messages.back().text, msg(MessageId::ExternalStartFailed));
    EXPECT_TRUE(doc.externalFile().empty());
    host.externalFolder.reset();
    EXPECT_FALSE(doc.externalEditCommand());
    EXPECT_EQ(host.messages.back().text, msg(MessageId::ExternalFolderFailed));
}
