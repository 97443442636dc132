#include "qorbm.h"

#include "TestVolume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using tarvos::GData;
using tarvos::GDataP;
using tarvos::GGroup;
using tarvos::String;

namespace {

const unsigned char BYTES[] = {1, 2, 3, 4, 5};
constexpr int SIZE = static_cast<int>(sizeof BYTES);

GData complete(const char* name = "block", const unsigned char* bytes = BYTES, int type = GData::G_T_IMAGE)
{
    return GData(GData(SIZE, String(name), type, bytes), true);
}

std::string readFile(const std::string& path)
{
    const std::vector<unsigned char> bytes = testsupport::readFile(path);
    return {bytes.begin(), bytes.end()};
}

}  // namespace

// ---- construction ----

TEST(GDataConstruct, FromBytes)
{
    struct Case {
        const char* what;
        int size;
        const char* name;  // nullptr: an invalid String
        int type;
        const void* data;
        bool accepted;
        int storedType;
    };
    const std::vector<Case> cases = {
        {"plain", SIZE, "tex", GData::G_T_IMAGE, BYTES, true, GData::G_T_IMAGE},
        {"empty name", SIZE, "", GData::G_T_SOUND, BYTES, true, GData::G_T_SOUND},
        {"highest type", SIZE, "w", GData::G_T_MAXTYPE, BYTES, true, GData::G_T_WORLDDATA},
        {"type above range", SIZE, "x", 9, BYTES, true, GData::G_T_UNKNOWN},
        {"negative type", SIZE, "x", -1, BYTES, true, GData::G_T_UNKNOWN},
        {"name \"0\"", SIZE, "0", GData::G_T_IMAGE, BYTES, false, 0},
        {"name \"00\" is fine", SIZE, "00", GData::G_T_IMAGE, BYTES, true, GData::G_T_IMAGE},
        {"invalid name", SIZE, nullptr, GData::G_T_IMAGE, BYTES, false, 0},
        {"null data", SIZE, "x", GData::G_T_IMAGE, nullptr, false, 0},
        {"size 0", 0, "x", GData::G_T_IMAGE, BYTES, false, 0},
        {"negative size", -3, "x", GData::G_T_IMAGE, BYTES, false, 0},
    };
    for (const Case& c : cases) {
        String name(c.name ? c.name : "");
        if (!c.name)
            name.invalidate();
        if (!c.accepted) {
            EXPECT_THROW(GData(c.size, name, c.type, c.data), GData::InvalidParam) << c.what;
            continue;
        }
        const GData g(c.size, name, c.type, c.data);
        EXPECT_TRUE(g.infoValid() && g.blockValid() && !!g) << c.what;
        EXPECT_EQ(g.size(), c.size) << c.what;
        EXPECT_EQ(g.type(), c.storedType) << c.what;
        EXPECT_TRUE(g.name() == name) << c.what;
        EXPECT_NE(g.getData(), c.data) << c.what << ": the bytes are copied";
        EXPECT_EQ(std::memcmp(g.getData(), c.data, static_cast<std::size_t>(c.size)), 0) << c.what;
    }
}

TEST(GDataConstruct, DefaultHasNothing)
{
    const GData g;
    EXPECT_FALSE(g.infoValid());
    EXPECT_FALSE(g.blockValid());
    EXPECT_TRUE(!g);
    EXPECT_THROW(g.size(), GData::Invalid);
    EXPECT_THROW(g.type(), GData::Invalid);
    EXPECT_THROW(g.name(), GData::Invalid);
}

TEST(GDataCopy, WithAndWithoutBytes)
{
    const GData source = complete();
    const GData infoOnly(source);  // the copy constructor leaves the bytes behind by default
    EXPECT_TRUE(infoOnly.infoValid());
    EXPECT_FALSE(infoOnly.blockValid());
    EXPECT_EQ(infoOnly.size(), SIZE);
    EXPECT_EQ(infoOnly.type(), GData::G_T_IMAGE);
    EXPECT_TRUE(infoOnly.name() == String("block"));
    EXPECT_THROW(infoOnly.getData(), GData::Invalid);

    const GData full(source, true);
    EXPECT_TRUE(full.blockValid());
    EXPECT_NE(full.getData(), source.getData());
    EXPECT_TRUE(full == source);

    EXPECT_THROW(GData(infoOnly, true), GData::InvalidParam);
    EXPECT_THROW(GData(GData(), false), GData::Invalid);
    EXPECT_THROW(GData(GData(), true), GData::Invalid);
}

TEST(GDataCopy, Assignment)
{
    const unsigned char other[] = {9, 9, 9};
    GData target(3, String("t"), GData::G_T_SOUND, other);

    target = complete();
    EXPECT_TRUE(target.blockValid());
    EXPECT_EQ(target.size(), SIZE);
    EXPECT_EQ(target[4], 5);

    target = target;
    EXPECT_EQ(target.size(), SIZE);

    // From information only: the old bytes would no longer match the size, so
    // the target keeps none.
    GData bigger(3, String("t"), GData::G_T_SOUND, other);
    bigger = GData(complete(), false);
    EXPECT_TRUE(bigger.infoValid());
    EXPECT_FALSE(bigger.blockValid());
    EXPECT_EQ(bigger.size(), SIZE);
    EXPECT_THROW(bigger[0], GData::Invalid);

    GData untouched = complete("keep");
    EXPECT_THROW(untouched = GData(), GData::InvalidParam);
    EXPECT_TRUE(untouched.blockValid());
    EXPECT_TRUE(untouched.name() == String("keep"));
}

TEST(GDataCopy, PrivateStateCopiesShareTheBytes)
{
    GDataP p;
    EXPECT_TRUE(p.name == String());
    p.size = 2;
    p.data = std::make_shared<unsigned char[]>(2);
    p.name = "n";
    const GDataP q(p);
    EXPECT_EQ(q.data.get(), p.data.get());
    GDataP r;
    r = q;
    EXPECT_EQ(r.data.get(), p.data.get());
    EXPECT_EQ(r.size, 2);
    EXPECT_TRUE(r.name == String("n"));
}

// ---- access ----

TEST(GDataAccess, BytesThroughEveryDoor)
{
    GData g = complete();
    const unsigned char* ucp = g.getDataUCP();
    EXPECT_EQ(static_cast<const void*>(ucp), g.getData());
    EXPECT_EQ(static_cast<const void*>(g.getDataCP()), g.getData());
    EXPECT_EQ(static_cast<const void*>(static_cast<const unsigned char*>(g)), g.getData());
    EXPECT_EQ(static_cast<const void*>(static_cast<const char*>(g)), g.getData());
    EXPECT_EQ(static_cast<const void*>(g), g.getData());
    g.getWriteableDataUCP()[0] = 42;
    EXPECT_EQ(g[0], 42);
    EXPECT_EQ(static_cast<const void*>(g.getWriteableDataCP()), g.getWriteableData());
    EXPECT_EQ(g[SIZE - 1], 5);

    for (int bad : {-1, SIZE, 1000}) {
        try {
            (void)g[bad];
            ADD_FAILURE() << bad << ": no exception";
        } catch (const GData::IndexParam& e) {
            EXPECT_EQ(e.m_nIndex, bad);
            EXPECT_EQ(e.m_nLastValid, SIZE - 1);
        }
    }

    const GData infoOnly(g);
    const std::vector<std::function<void()>> refused = {
        [&] { (void)infoOnly.getData(); },
        [&] { (void)infoOnly.getDataUCP(); },
        [&] { (void)infoOnly.getDataCP(); },
        [&] { (void)static_cast<const unsigned char*>(infoOnly); },
        [&] { (void)static_cast<const char*>(infoOnly); },
        [&] { (void)static_cast<const void*>(infoOnly); },
        [&] { (void)infoOnly[0]; },
    };
    for (std::size_t k = 0; k < refused.size(); ++k)
        EXPECT_THROW(refused[k](), GData::Invalid) << "case " << k;
    GData none;
    EXPECT_THROW(none.getWriteableData(), GData::Invalid);
    EXPECT_THROW(none.getWriteableDataUCP(), GData::Invalid);
    EXPECT_THROW(none.getWriteableDataCP(), GData::Invalid);
}

TEST(GDataAccess, FillExtBufRanges)
{
    const GData g = complete();
    struct Case {
        int length;
        int offset;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {SIZE, 0, true},      {2, 3, true},          {0, SIZE - 1, true}, {0, 0, true},
        {1, SIZE, false},     {SIZE + 1, 0, false},  {2, 4, false},       {-1, 0, false},
        {1, -1, false},       {0, SIZE, false},      {0x7FFFFFFF, 1, false},
    };
    for (const Case& c : cases) {
        unsigned char out[16];
        std::memset(out, 0xEE, sizeof out);
        if (c.accepted) {
            ASSERT_NO_THROW(g.fillExtBuf(out, c.length, c.offset)) << c.length << "@" << c.offset;
            EXPECT_EQ(std::memcmp(out, BYTES + c.offset, static_cast<std::size_t>(c.length)), 0);
            EXPECT_EQ(out[c.length], 0xEE) << "nothing past the requested length";
            continue;
        }
        try {
            g.fillExtBuf(out, c.length, c.offset);
            ADD_FAILURE() << c.length << "@" << c.offset << ": no exception";
        } catch (const GData::AccessParams& e) {
            EXPECT_EQ(std::make_tuple(e.m_nOffset, e.m_nLength, e.m_nBufferSize),
                      std::make_tuple(c.offset, c.length, SIZE));
        }
    }
    EXPECT_THROW(g.fillExtBuf(nullptr, 1, 0), GData::InvalidParam);
    unsigned char out[4];
    EXPECT_THROW(GData(g).fillExtBuf(out, 1, 0), GData::Invalid);
}

// ---- comparison ----

TEST(GDataCompare, InfoThenBytes)
{
    const unsigned char different[] = {1, 2, 3, 4, 6};
    const GData a = complete("same");
    const GData b = complete("same", different);
    EXPECT_TRUE(a.compareInfo(b));
    EXPECT_FALSE(a.compareData(b));
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a != b);

    // The type takes no part; names compare by collation, so case counts.
    const GData otherType = complete("same", BYTES, GData::G_T_MESH);
    EXPECT_TRUE(a == otherType);
    const GData upper = complete("SAME");
    EXPECT_FALSE(a.compareInfo(upper));
    EXPECT_FALSE(a == upper);

    const unsigned char shorter[] = {1, 2};
    const GData small(2, String("same"), GData::G_T_IMAGE, shorter);
    EXPECT_FALSE(a.compareInfo(small));
    EXPECT_FALSE(a.compareData(small));
    EXPECT_TRUE(a.compareInfo(a));
    EXPECT_TRUE(a.compareData(a));
}

TEST(GDataCompare, IncompleteOperandsAreRefused)
{
    const GData full = complete();
    const GData infoOnly(full);
    const GData none;
    EXPECT_THROW(full.compareInfo(none), GData::InvalidParam);
    EXPECT_THROW(none.compareInfo(full), GData::Invalid);
    EXPECT_THROW(full.compareData(infoOnly), GData::InvalidParam);
    EXPECT_THROW(infoOnly.compareData(full), GData::Invalid);
    EXPECT_TRUE(infoOnly.compareInfo(full));
    // Whatever fails inside the operators comes out as InvalidParam.
    EXPECT_THROW((void)(full == infoOnly), GData::InvalidParam);
    EXPECT_THROW((void)(none != full), GData::InvalidParam);
    EXPECT_THROW((void)(infoOnly == infoOnly), GData::InvalidParam);
}

// ---- export ----

TEST(GDataExport, WritesTheBytesAndReplacesWhole)
{
    const testsupport::TempDir dir;
    const std::string target = (dir / "out.bin").string();
    std::ofstream(target) << "an older and longer file that must not survive in part";

    EXPECT_EQ(complete().exportTo(String(target.c_str())), GGroup::G_OK);
    EXPECT_EQ(readFile(target), std::string(reinterpret_cast<const char*>(BYTES), SIZE));
    // Nothing is left beside the target.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    // Through a symbolic link the linked file is replaced and the link stays.
    const std::string link = (dir / "link.bin").string();
    std::filesystem::create_symlink(target, link);
    const unsigned char other[] = {7, 7};
    EXPECT_EQ(GData(2, String("o"), 0, other).exportTo(String(link.c_str())), GGroup::G_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(readFile(target), "\x07\x07");

    // A directory in the way is not replaced.
    EXPECT_EQ(complete().exportTo(String(dir.path().string().c_str())), GGroup::G_ERR_OPEN);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));

    const std::string missingDir = (dir / "no" / "such" / "dir.bin").string();
    EXPECT_EQ(complete().exportTo(String(missingDir.c_str())), GGroup::G_ERR_OPEN);
}

TEST(GDataExport, RefusedArguments)
{
    String invalid;
    invalid.invalidate();
    EXPECT_THROW(complete().exportTo(String("0")), GData::InvalidParam);
    EXPECT_THROW(complete().exportTo(invalid), GData::InvalidParam);
    EXPECT_THROW(GData(complete(), false).exportTo(String("x.bin")), GData::Invalid);
    EXPECT_THROW(GData().exportTo(String("x.bin")), GData::Invalid);
    EXPECT_FALSE(std::filesystem::exists("x.bin"));
}

TEST(GDataHeap, OwnOperatorNewAndDelete)
{
    std::unique_ptr<GData> g(new GData(SIZE, String("heap"), GData::G_T_FONT, BYTES));
    EXPECT_EQ(g->type(), GData::G_T_FONT);
    g.reset();
    GData* none = nullptr;
    delete none;
}
