// Every failing GData and GGroup operation records where and why it failed
// before it throws; String operations leave the record alone.
#include "FailureContext.h"
#include "qorbm.h"

#include "TestVolume.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

using namespace tarvos;

namespace {

const unsigned char BYTES[] = {10, 20, 30, 40};

GData complete()
{
    return GData(GData(4, String("b"), GData::G_T_IMAGE, BYTES), true);
}

struct Expected {
    int operation;
    int reason;
    std::array<int, 3> values;
};

// Runs op, which must throw a library exception, on a context filled with a
// marker, and returns what was recorded.
FailureContext recordedBy(const std::function<void()>& op)
{
    recordFailure(-1, -1, {-7, -7, -7});
    try {
        op();
        ADD_FAILURE() << "no exception";
    } catch (const GError&) {
    }
    return failureContext();
}

}  // namespace

TEST(FailureContext, GDataOperationsRecordTheirIds)
{
    const GData full = complete();
    const GData infoOnly(full);
    const GData none;
    String invalid;
    invalid.invalidate();
    unsigned char out[8];
    struct Case {
        const char* what;
        std::function<void()> op;
        Expected expected;
    };
    const std::vector<Case> cases = {
        {"create with name 0", [] { GData(4, String("0"), 1, BYTES); }, {2, 9, {-7, -7, -7}}},
        {"create size 0", [] { GData(0, String("n"), 1, BYTES); }, {2, 9, {-7, -7, -7}}},
        {"copy of nothing", [&] { GData g(none, true); }, {10, 12, {-7, -7, -7}}},
        {"copy bytes of info only", [&] { GData g(infoOnly, true); }, {1, 9, {-7, -7, -7}}},
        {"index without bytes", [&] { (void)infoOnly[0]; }, {3, 12, {-7, -7, -7}}},
        {"index out of range", [&] { (void)full[4]; }, {3, 10, {4, 3, -7}}},
        {"assign from nothing", [&] { GData g = complete(); g = none; }, {4, 9, {-7, -7, -7}}},
        {"==", [&] { (void)(full == none); }, {5, 9, {-7, -7, -7}}},
        {"!=", [&] { (void)(none != full); }, {6, 9, {-7, -7, -7}}},
        {"as const unsigned char*", [&] { (void)static_cast<const unsigned char*>(infoOnly); }, {7, 12, {-7, -7, -7}}},
        {"as const char*", [&] { (void)static_cast<const char*>(infoOnly); }, {8, 12, {-7, -7, -7}}},
        {"as const void*", [&] { (void)static_cast<const void*>(infoOnly); }, {9, 12, {-7, -7, -7}}},
        {"size", [&] { (void)none.size(); }, {10, 12, {-7, -7, -7}}},
        {"type", [&] { (void)none.type(); }, {11, 12, {-7, -7, -7}}},
        {"name", [&] { (void)none.name(); }, {12, 12, {-7, -7, -7}}},
        {"getData", [&] { (void)infoOnly.getData(); }, {13, 12, {-7, -7, -7}}},
        {"getDataUCP", [&] { (void)infoOnly.getDataUCP(); }, {14, 12, {-7, -7, -7}}},
        {"getDataCP", [&] { (void)none.getDataCP(); }, {15, 12, {-7, -7, -7}}},
        {"getWriteableData", [&] { GData g(full); (void)g.getWriteableData(); }, {16, 12, {-7, -7, -7}}},
        {"getWriteableDataUCP", [&] { GData g; (void)g.getWriteableDataUCP(); }, {17, 12, {-7, -7, -7}}},
        {"getWriteableDataCP", [&] { GData g; (void)g.getWriteableDataCP(); }, {18, 12, {-7, -7, -7}}},
        {"compareInfo other", [&] { (void)full.compareInfo(none); }, {19, 9, {-7, -7, -7}}},
        {"compareInfo this", [&] { (void)none.compareInfo(full); }, {19, 12, {-7, -7, -7}}},
        {"compareData this", [&] { (void)infoOnly.compareData(full); }, {20, 12, {-7, -7, -7}}},
        {"compareData other", [&] { (void)full.compareData(infoOnly); }, {20, 9, {-7, -7, -7}}},
        {"fillExtBuf null", [&] { full.fillExtBuf(nullptr, 1, 0); }, {21, 9, {-7, -7, -7}}},
        {"fillExtBuf no bytes", [&] { infoOnly.fillExtBuf(out, 1, 0); }, {21, 12, {-7, -7, -7}}},
        {"fillExtBuf range", [&] { full.fillExtBuf(out, 1, 4); }, {21, 11, {4, 1, 4}}},
        {"export path", [&] { (void)full.exportTo(invalid); }, {22, 9, {-7, -7, -7}}},
        {"export no bytes", [&] { (void)infoOnly.exportTo(String("x")); }, {22, 12, {-7, -7, -7}}},
    };
    for (const Case& c : cases) {
        const FailureContext got = recordedBy(c.op);
        EXPECT_EQ(got.operation, c.expected.operation) << c.what;
        EXPECT_EQ(got.reason, c.expected.reason) << c.what;
        EXPECT_EQ((std::array<int, 3>{got.values[0], got.values[1], got.values[2]}), c.expected.values) << c.what;
    }
}

TEST(FailureContext, GGroupOperationsRecordTheirIds)
{
    const testvolume::Scratch dir;
    const std::string vol = dir.write("vol.qrb", testvolume::oneFileVolume("x"));
    const std::string missing = dir.path("missing.qrb");
    const std::string bad = dir.write("bad.qrb", std::vector<unsigned char>(300, 0));
    String invalid;
    invalid.invalidate();
    struct Case {
        const char* what;
        std::function<void()> op;
        int operation;
        int reason;
    };
    const std::vector<Case> cases = {
        {"eopen missing", [&] { GGroup g; g.eopen(String(missing.c_str())); }, 32, 3},
        {"eopen not a volume", [&] { GGroup g; g.eopen(String(bad.c_str())); }, 32, 4},
        {"eopen invalid path", [&] { GGroup g; g.eopen(invalid); }, 32, 9},
        // The opening constructor names itself and keeps the cause.
        {"open constructor", [&] { GGroup g(String(missing.c_str())); }, 24, 3},
        {"copy", [&] { GGroup a(String(vol.c_str())); GGroup b(a); }, 23, 9},
        {"assign", [&] { GGroup a(String(vol.c_str())); GGroup b; b = a; }, 25, 9},
        {"version", [] { GGroup g; (void)g.version(); }, 27, 12},
        {"fileinfo", [] { GGroup g; (void)g.fileinfo(); }, 28, 12},
        {"filename", [] { GGroup g; (void)g.filename(); }, 29, 12},
        {"nitems", [] { GGroup g; (void)g.nitems(); }, 30, 12},
        {"type", [] { GGroup g; (void)g.type(); }, 31, 12},
        {"== closed", [] { GGroup a, b; (void)(a == b); }, 36, 9},
        {"== open", [&] { GGroup a(String(vol.c_str())), b(String(vol.c_str())); (void)(a == b); }, 36, 9},
        {"!=", [] { GGroup a, b; (void)(a != b); }, 37, 9},
    };
    for (const Case& c : cases) {
        const FailureContext got = recordedBy(c.op);
        EXPECT_EQ(got.operation, c.operation) << c.what;
        EXPECT_EQ(got.reason, c.reason) << c.what;
        EXPECT_EQ(got.values[0], -7) << c.what << ": these reasons carry no values";
    }
}

TEST(FailureContext, StringFailuresLeaveItAlone)
{
    const FailureContext got = recordedBy([] { String("ab").del(1, 5); });
    EXPECT_EQ(got.operation, -1);
    EXPECT_EQ(got.reason, -1);
}
