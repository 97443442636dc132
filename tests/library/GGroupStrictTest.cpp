#include "qorbm.h"

#include "TestVolume.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using tarvos::GError;
using tarvos::GGroup;
using tarvos::GGroupP;
using tarvos::String;

namespace {

String str(const std::string& s)
{
    return String(s.c_str());
}

}  // namespace

// ---- opening ----

TEST(GGroupStrictOpen, EopenThrowsByCause)
{
    std::vector<unsigned char> wrongSignature = testvolume::oneFileVolume("data");
    wrongSignature[256] = 'X';
    const testvolume::Scratch dir;
    const std::string badFile = dir.write("bad.qrb", wrongSignature);
    const std::string shortFile = dir.write("short.qrb", std::vector<unsigned char>(295, 0x1A));
    const std::string missing = dir.path("missing.qrb");

    GGroup g;
    EXPECT_THROW(g.eopen(str(missing)), GGroup::FileOpen);
    EXPECT_THROW(g.eopen(str(badFile)), GGroup::FileRead);
    EXPECT_THROW(g.eopen(str(shortFile)), GGroup::FileRead);
    EXPECT_FALSE(g.valid());
    String invalid;
    invalid.invalidate();
    EXPECT_THROW(g.eopen(invalid), GGroup::InvalidParam);
    // Both file failures share a base.
    EXPECT_THROW(g.eopen(str(missing)), GGroup::File);
}

TEST(GGroupStrictOpen, EopenOpensAndClosesFirst)
{
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("hello"));
    GGroup g;
    g.eopen(str(vol));
    ASSERT_TRUE(g.valid());
    // The return-code operations serve the strictly opened volume.
    unsigned char buffer[5];
    EXPECT_TRUE(g.getDataBlock(376, 5, buffer));
    EXPECT_EQ(std::memcmp(buffer, "hello", 5), 0);
    // Opening records no strings: they are invalid, the numbers 0.
    EXPECT_FALSE(g.version().isValid());
    EXPECT_FALSE(g.fileinfo().isValid());
    EXPECT_FALSE(g.filename().isValid());
    EXPECT_EQ(g.nitems(), 0);
    EXPECT_EQ(g.type(), 0);
    // A failed eopen on an open object leaves it closed.
    EXPECT_THROW(g.eopen(str(dir.path("missing.qrb"))), GGroup::FileOpen);
    EXPECT_FALSE(g.valid());
    EXPECT_THROW(g.version(), GGroup::Invalid);
}

TEST(GGroupStrictOpen, OpeningConstructorThrowsPlainGError)
{
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("x"));
    const GGroup opened(str(vol));
    EXPECT_TRUE(opened.valid());

    try {
        GGroup g(str(dir.path("missing.qrb")));
        FAIL() << "no exception";
    } catch (const GGroup::File&) {
        FAIL() << "the specific type must not escape";
    } catch (const GError& e) {
        EXPECT_EQ(typeid(e), typeid(GError));
    }
}

// ---- accessors ----

TEST(GGroupStrictAccess, ClosedObjectsRefuseTheAccessors)
{
    GGroup closed;
    const std::vector<std::function<void()>> accessors = {
        [&] { (void)closed.version(); }, [&] { (void)closed.fileinfo(); }, [&] { (void)closed.filename(); },
        [&] { (void)closed.nitems(); },  [&] { (void)closed.type(); },
    };
    for (std::size_t k = 0; k < accessors.size(); ++k)
        EXPECT_THROW(accessors[k](), GGroup::Invalid) << "accessor " << k;
    // Closing an opened volume brings it back to the same state.
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("x"));
    GGroup g(str(vol));
    g.close();
    for (std::size_t k = 0; k < accessors.size(); ++k)
        EXPECT_THROW(accessors[k](), GGroup::Invalid) << "accessor " << k;
    EXPECT_EQ(closed[0], nullptr);
    EXPECT_EQ(g[-5], nullptr);
}

// ---- copies ----

TEST(GGroupStrictCopy, ClosedCopiesAreClosed)
{
    const GGroup closed;
    GGroup copy(closed);
    EXPECT_FALSE(copy.valid());

    // Assigning a closed object closes the target and releases its stream.
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("x"));
    GGroup target(str(vol));
    target = closed;
    EXPECT_FALSE(target.valid());
    EXPECT_THROW(target.nitems(), GGroup::Invalid);
    target = target;
    EXPECT_FALSE(target.valid());
}

TEST(GGroupStrictCopy, OpenVolumesCannotBeCopiedWithoutAFileName)
{
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("abc"));
    GGroup source(str(vol));
    EXPECT_THROW(GGroup{source}, GGroup::InvalidParam);

    GGroup target(str(vol));
    EXPECT_THROW(target = source, GGroup::InvalidParam);
    EXPECT_FALSE(target.valid());
    // The source is not disturbed by either attempt.
    unsigned char buffer[3];
    EXPECT_TRUE(source.getDataBlock(376, 3, buffer));
    EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
}

// ---- comparison ----

TEST(GGroupStrictCompare, NeedsTwoComparableOpenObjects)
{
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("x"));
    const GGroup a(str(vol));
    const GGroup b(str(vol));
    const GGroup closed;
    EXPECT_THROW((void)(a == closed), GGroup::InvalidParam);
    EXPECT_THROW((void)(closed == a), GGroup::InvalidParam);
    EXPECT_THROW((void)(a != closed), GGroup::InvalidParam);
    // Opened volumes carry no file name, so there is nothing to compare.
    EXPECT_THROW((void)(a == b), GGroup::InvalidParam);
    EXPECT_THROW((void)(a != b), GGroup::InvalidParam);
}

// ---- raw records ----

TEST(GGroupScanInfoBlock, ParsesNameAndNumbersInsideTheRecord)
{
    struct Case {
        std::string nameField;  // up to 64 bytes, blank-padded
        std::string name;
        bool blankOverwritten;
    };
    const std::vector<Case> cases = {
        {"abc", "abc", true},
        {"two words", "two", true},
        {std::string(64, 'n'), std::string(64, 'n'), false},
        {std::string(63, 'm'), std::string(63, 'm'), true},
        {std::string("ab\0cd", 5), "ab", false},
    };
    for (const Case& c : cases) {
        // The record sits between guard bytes that must stay untouched.
        unsigned char memory[96];
        std::memset(memory, 0x5A, sizeof memory);
        unsigned char* record = memory + 8;
        std::memset(record, ' ', 64);
        std::memcpy(record, c.nameField.data(), c.nameField.size());
        const unsigned char numbers[16] = {0x78, 0x56, 0x34, 0x12, 0x10, 0, 0, 0, 0, 0, 0, 0x40, 7, 7, 7, 7};
        std::memcpy(record + 64, numbers, sizeof numbers);

        String name("old");
        int offset = 0;
        int size = 0;
        EXPECT_TRUE(GGroupP::scanInfoBlock(record, name, offset, size));
        EXPECT_EQ(std::string(static_cast<const char*>(name), static_cast<std::size_t>(name.getLength())), c.name);
        EXPECT_EQ(offset, 0x12345678);
        EXPECT_EQ(size, 16);
        if (c.blankOverwritten) {
            EXPECT_EQ(record[c.name.size()], 0);
        }
        EXPECT_EQ(std::memcmp(record + 64, numbers, sizeof numbers), 0);
        for (std::size_t k = 0; k < 8; ++k) {
            EXPECT_EQ(memory[k], 0x5A);
            EXPECT_EQ(memory[88 + k], 0x5A);
        }
    }
    String name;
    int offset = 0;
    int size = 0;
    EXPECT_FALSE(GGroupP::scanInfoBlock(nullptr, name, offset, size));
}
