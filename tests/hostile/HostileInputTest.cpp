// Small files declaring huge pictures: info reads their headers only, convert
// and the document refuse them from the header, and nothing on the way
// allocates what the header promises.
#include "AddressSpace.h"
#include "FakeHost.h"
#include "HostileFiles.h"
#include "RunCli.h"
#include "VolumeBuilder.h"

#include "SystemMetafileRenderer.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "document/CKestrelDoc.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>


using namespace testsupport;
using hostile::HostileFile;

namespace {

struct Hostile : ::testing::Test {
    static void SetUpTestSuite() { setMetafileRenderer(std::make_shared<SystemMetafileRenderer>()); }
    static void TearDownTestSuite() { setMetafileRenderer(nullptr); }

    TempDir dir;
    // Built once: the compressed ones take a moment to make.
    static const std::vector<HostileFile>& all()
    {
        static const std::vector<HostileFile> built = hostile::imageFiles();
        return built;
    }
    const std::vector<HostileFile>& files = all();

    std::string write(const HostileFile& f)
    {
        writeFile(dir / f.name, f.bytes);
        return (dir / f.name).string();
    }
};

int typeOf(const HostileFile& f)
{
    return detectImageFileType(f.name, f.bytes.data(), f.bytes.size());
}

}  // namespace

// The header gives the size without a pixel being decoded; the file itself is
// otherwise sound enough that the probe does not refuse it.
TEST_F(Hostile, TheProbeReadsTheDeclaredSize)
{
    for (const HostileFile& f : files) {
        ImageHeader header;
        ASSERT_NO_THROW(header = probeImage(typeOf(f), f.bytes.data(), f.bytes.size())) << f.name;
        EXPECT_EQ(header.width, f.width) << f.name;
        EXPECT_EQ(header.height, f.height) << f.name;
        EXPECT_EQ(header.type, typeOf(f)) << f.name;
    }
}

// Under the 64-megapixel budget each 16384 x 16384 file is refused from its
// header (code 12); the pixel map that its data cannot fill is refused as cut
// off (code 1) before anything is allocated for it.
TEST_F(Hostile, TheBudgetRefusesBeforeDecoding)
{
    const DecodeLimits budget{std::int64_t{64} << 20, DecodeLimits{}.maxSide};
    for (const HostileFile& f : files) {
        PixelBitmap bitmap;
        int code = 0;
        try {
            decodeFile(write(f), bitmap, 32, budget);
        } catch (const CTextException& err) {
            code = err.code();
            if (code == 12) {
                EXPECT_NE(err.message().find("exceeds the limit of 67108864 pixels"), std::string::npos) << err.message();
            }
        }
        EXPECT_EQ(code, f.width == 16384 ? 12 : 1) << f.name;
    }
}

TEST_F(Hostile, InfoAndConvertStayWithin64MiB)
{
    for (const HostileFile& f : files) {
        const std::string path = write(f);
        const std::string out = (dir / "out.png").string();
        // Once before, so the libraries' first allocations count as resting size.
        runCli({"info", path});
        EXPECT_TRUE(within64MiB([&] {
            const CliResult info = runCli({"info", path});
            const CliResult convert = runCli({"convert", path, out});
            const bool infoOk = info.code == 0 && info.out.find(std::to_string(f.width)) != std::string::npos;
            const bool refused = convert.code == 1 && convert.err.find("out of memory") == std::string::npos
                && (f.width != 16384 || convert.err.find("--max-pixels") != std::string::npos);
            return infoOk && refused;
        })) << f.name;
    }
}

// A gigabyte entry of a sparse volume: its type comes from its first bytes and
// its size is refused before the entry is read; an entry of no known type is
// refused without reading it either.
TEST_F(Hostile, AHugeVolumeEntryIsRefusedBeforeItIsRead)
{
    const std::uint32_t huge = 0x40000000;
    VolumeSpec spec;
    const std::vector<std::uint8_t> header = hostile::rle8Bmp().bytes;
    // The second entry starts in the zeros behind the header: no known type.
    spec.entries = {{"big.bmp", dataStart(2), huge, 0}, {"big.bin", dataStart(2) + 64, huge, LAST}};
    spec.data.assign(header.begin(), header.begin() + 64);
    writeFile(dir / "sparse.qrb", volumeBytes(spec));
    std::filesystem::resize_file(dir / "sparse.qrb", dataStart(2) + 64 + std::uint64_t{huge});
    const std::string volume = (dir / "sparse.qrb").string();

    const struct {
        std::string input;
        const char* errHas;
    } cases[] = {
        {volume + "::big.bmp", "1073741824 bytes are more than a picture of 67108864 pixels needs; --max-pixels raises"},
        {volume + "::big.bin", "neither a texture nor a known image type"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(within64MiB([&] {
            const CliResult r = runCli({"convert", c.input, (dir / "out.png").string()});
            return r.code == 1 && r.err.find(c.errHas) != std::string::npos;
        })) << c.input;
    }
}

TEST_F(Hostile, TheCommandsSayWhatTheyRefuse)
{
    for (const HostileFile& f : files) {
        const std::string path = write(f);
        const CliResult info = runCli({"info", path, "--json"});
        EXPECT_EQ(info.code, 0) << f.name << ": " << info.err;
        EXPECT_NE(info.out.find("\"width\": " + std::to_string(f.width)), std::string::npos) << info.out;
        if (f.width != 16384)
            continue;
        const CliResult convert = runCli({"convert", path, (dir / "out.png").string()});
        EXPECT_EQ(convert.code, 1) << f.name;
        EXPECT_NE(convert.err.find("; --max-pixels raises the limit"), std::string::npos) << convert.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
    }
    const struct {
        const char* value;
        int code;
    } options[] = {{"0", 2}, {"-5", 2}, {"lots", 2}, {"268435457", 2}, {"16", 1}};
    const std::string small = write({"small.bmp", hostile::rle8Bmp().bytes, 0, 0});
    for (const auto& o : options) {
        const CliResult r = runCli({"convert", small, (dir / "o.png").string(), "--max-pixels", o.value});
        EXPECT_EQ(r.code, o.code) << o.value << ": " << r.err;
    }
}

// The desktop program shows at most 2048 pixels a side: the document refuses a
// larger picture from its header with the message it gives for a decoded one.
TEST_F(Hostile, TheDocumentRefusesFromTheHeaderWithItsMessage)
{
    for (const HostileFile& f : files) {
        if (f.width != 16384)
            continue;
        FakeHost host;
        CKestrelDoc doc(host);
        EXPECT_FALSE(doc.openFile(write(f), false)) << f.name;
        ASSERT_EQ(host.messages.size(), 1u) << f.name;
        EXPECT_EQ(host.messages[0].text, "Es werden nur Texturen mit einer Kantenlänge von\nmaximal 2048 Pixeln unterstützt.")
            << f.name;
    }
}
