#include "qorbm.h"

#include "VolumeBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

using tarvos::GError;
using tarvos::String;

namespace {

std::string text(const String& s)
{
    return {static_cast<const char*>(s), static_cast<std::size_t>(s.getLength())};
}

// Exposes the protected buffer operations to check the three states directly.
class ProbeString : public String {
public:
    using String::String;
    using String::assureSize;
    using String::isEmptyString;
    using String::setEmptyString;
};

const char* bufferOf(const String& s)
{
    return static_cast<const char*>(s);
}

}  // namespace

// ---- the three states ----

TEST(StringState, EmptyStringsShareTheStaticBuffer)
{
    const String fromNothing;
    const String fromEmptyText("");
    String cutToNothing("abc");
    cutToNothing.del(0, 3);
    for (const String* s : {&fromNothing, &fromEmptyText, static_cast<const String*>(&cutToNothing)}) {
        EXPECT_EQ(bufferOf(*s), &String::emptyBuf);
        EXPECT_EQ(s->getLength(), 0);
    }
    // Invalidating an empty string frees nothing and leaves the others intact.
    String other;
    other.invalidate();
    EXPECT_FALSE(other.isValid());
    EXPECT_EQ(String::emptyBuf, 0);
    EXPECT_EQ(bufferOf(fromNothing), &String::emptyBuf);
    EXPECT_EQ(String::notFound, -1);
}

TEST(StringState, NonEmptyStringsOwnTheirBuffer)
{
    const String a("abc");
    const String b(a);
    EXPECT_NE(bufferOf(a), bufferOf(b));
    EXPECT_EQ(text(b), "abc");
    EXPECT_EQ(text(String('x')), "x");
    // A zero character is still one character.
    EXPECT_EQ(String('\0').getLength(), 1);
}

TEST(StringState, AssureSizeIsTheOnlyDoorToBuffers)
{
    ProbeString s("abcdef");
    s.assureSize(4);  // keeps the first four bytes; the caller terminates
    EXPECT_EQ(std::string(bufferOf(s), 3), "abc");
    s.assureSize(1);
    EXPECT_TRUE(s.isEmptyString());
    try {
        s.assureSize(0);
        FAIL() << "no exception";
    } catch (const String::Alloc& e) {
        EXPECT_EQ(e.m_nSize, 0);
    }
}

TEST(StringState, InvalidStringRefusesEveryOperation)
{
    String bad;
    bad.invalidate();
    EXPECT_FALSE(bad.isValid());
    EXPECT_TRUE(!bad);
    EXPECT_FALSE(static_cast<bool>(bad));
    const String ok("x");
    const std::vector<std::pair<const char*, std::function<void(String&)>>> ops = {
        {"getLength", [](String& s) { (void)s.getLength(); }},
        {"isValidIndex", [](String& s) { (void)s.isValidIndex(0); }},
        {"index", [](String& s) { (void)s[0]; }},
        {"text", [](String& s) { (void)static_cast<const char*>(s); }},
        {"pos", [&](String& s) { (void)s.pos(ok); }},
        {"subString", [](String& s) { (void)s.subString(0, 0); }},
        {"subStringAdapt", [](String& s) { (void)s(0, 1); }},
        {"append", [&](String& s) { s << ok; }},
        {"insert", [&](String& s) { s.insert(0, ok); }},
        {"fillTo", [](String& s) { s.fillTo(3, '.'); }},
        {"del", [](String& s) { s.del(0, 0); }},
        {"delAdapt", [](String& s) { s.delAdapt(0, 1); }},
        {"trimTo", [](String& s) { s.trimTo(0); }},
        {"trimLeadingBlanks", [](String& s) { s.trimLeadingBlanks(); }},
        {"trimTrailingBlanks", [](String& s) { s.trimTrailingBlanks(); }},
        {"upper", [](String& s) { s.convertToUpperCase(); }},
        {"lower", [](String& s) { s.convertToLowerCase(); }},
        {"isNumeric", [](String& s) { (void)s.isNumeric(); }},
        {"isDecimal", [](String& s) { (void)s.isDecimal(); }},
    };
    for (const auto& [name, op] : ops)
        EXPECT_THROW(op(bad), String::Invalid) << name;
}

TEST(StringState, InvalidArgumentsAreRefused)
{
    String bad;
    bad.invalidate();
    String s("abc");
    EXPECT_THROW(String{static_cast<const char*>(nullptr)}, String::InvalidParam);
    EXPECT_THROW(String{bad}, String::InvalidParam);
    EXPECT_THROW(s.append(bad), String::InvalidParam);
    EXPECT_THROW(s.insert(0, bad), String::InvalidParam);
    EXPECT_THROW(s.pos(bad), String::InvalidParam);
    EXPECT_THROW(s = static_cast<const char*>(nullptr), String::InvalidParam);
    EXPECT_EQ(text(s), "abc");
    // Assigning an invalid string passes the invalidity on before throwing.
    EXPECT_THROW(s = bad, String::InvalidParam);
    EXPECT_FALSE(s.isValid());
    // The parameter family shares one base, and all share GError.
    EXPECT_THROW(String("ab")[5], String::Param);
    EXPECT_THROW(String("ab").posStrict(String("z")), GError);
}

TEST(StringState, AssignmentCoversEveryState)
{
    String s("old");
    s = s;
    EXPECT_EQ(text(s), "old");
    s = String();
    EXPECT_EQ(bufferOf(s), &String::emptyBuf);
    s = "new text";
    EXPECT_EQ(text(s), "new text");
    s.invalidate();
    s = String("back");  // an invalid string becomes valid again
    EXPECT_EQ(text(s), "back");
}

// ---- ranges ----

namespace {

struct RangeCase {
    const char* what;
    const char* start;
    std::function<String(String&)> op;  // returns the result to check (the string itself or a part)
    std::optional<std::string> result;  // nullopt: AccessParams expected
    std::tuple<int, int, int> refused;  // offset, count, length carried by AccessParams
};

}  // namespace

TEST(StringRange, StrictAndAdaptingForms)
{
    const std::vector<RangeCase> cases = {
        {"subString(1,2)", "abcd", [](String& s) { return s.subString(1, 2); }, "bc", {}},
        {"subString to the end", "abcd", [](String& s) { return s.subString(1, 3); }, "bcd", {}},
        {"subString(0,0) on empty", "", [](String& s) { return s.subString(0, 0); }, std::nullopt, {0, 0, 0}},
        {"subString past the end", "abcd", [](String& s) { return s.subString(2, 3); }, std::nullopt, {2, 3, 4}},
        {"subString pos = length", "abcd", [](String& s) { return s.subString(4, 0); }, std::nullopt, {4, 0, 4}},
        {"subString negative len", "abcd", [](String& s) { return s.subString(1, -1); }, std::nullopt, {1, -1, 4}},
        {"subStringAdapt(0,0) on empty", "", [](String& s) { return s.subStringAdapt(0, 0); }, "", {}},
        {"subStringAdapt cut", "abcd", [](String& s) { return s.subStringAdapt(2, 10); }, "cd", {}},
        {"subStringAdapt outside", "abcd", [](String& s) { return s(7, 1); }, "", {}},
        {"subStringAdapt negative pos", "abcd", [](String& s) { return s(-1, 2); }, "", {}},
        {"subStringAdapt negative len", "abcd", [](String& s) { return s(1, -2); }, "", {}},
        {"del(1,3)", "abcd", [](String& s) { return s.del(1, 3); }, "a", {}},
        {"del(1,4)", "abcd", [](String& s) { return s.del(1, 4); }, std::nullopt, {1, 4, 4}},
        {"del everything", "abcd", [](String& s) { return s.del(0, 4); }, "", {}},
        {"del(4,0)", "abcd", [](String& s) { return s.del(4, 0); }, std::nullopt, {4, 0, 4}},
        {"delAdapt(1,4)", "abcd", [](String& s) { return s.delAdapt(1, 4); }, "a", {}},
        {"delAdapt outside", "abcd", [](String& s) { return s.delAdapt(4, 1); }, "abcd", {}},
        {"delAdapt negative count", "abcd", [](String& s) { return s.delAdapt(0, -1); }, "abcd", {}},
        {"insert(4,x)", "abcd", [](String& s) { return s.insert(4, String("x")); }, "abcdx", {}},
        {"insert(2,xy)", "abcd", [](String& s) { return s.insert(2, String("xy")); }, "abxycd", {}},
        {"insert(5,x)", "abcd", [](String& s) { return s.insert(5, String("x")); }, std::nullopt, {5, 0, 4}},
        {"insert(-1,x)", "abcd", [](String& s) { return s.insert(-1, String("x")); }, std::nullopt, {-1, 0, 4}},
        {"insert into empty", "", [](String& s) { return s.insert(0, String("x")); }, "x", {}},
        {"push", "cd", [](String& s) { return s.push(String("ab")); }, "abcd", {}},
        {"fillTo(5,.)", "ab", [](String& s) { return s.fillTo(5, '.'); }, "ab...", {}},
        {"fillTo shorter", "abcd", [](String& s) { return s.fillTo(2, '.'); }, "abcd", {}},
        {"fillTo(-2)", "ab", [](String& s) { return s.fillTo(-2, '.'); }, std::nullopt, {-1, -2, 2}},
        {"insertWithFill(6,x,.)", "ab", [](String& s) { return s.insertWithFill(6, String("x"), '.'); }, "ab....x", {}},
        {"insertWithFill inside", "abcd", [](String& s) { return s.insertWithFill(1, String("x"), '.'); }, "axbcd", {}},
        {"trimTo(2)", "abcd", [](String& s) { return s.trimTo(2); }, "ab", {}},
        {"trimTo(9)", "abcd", [](String& s) { return s.trimTo(9); }, "abcd", {}},
        {"trimTo(0)", "abcd", [](String& s) { return s.trimTo(0); }, "", {}},
        {"trimTo(-1)", "abcd", [](String& s) { return s.trimTo(-1); }, std::nullopt, {-1, -1, 4}},
        {"pop(2) returns the head", "abcd", [](String& s) { return s.pop(2); }, "ab", {}},
        {"pop(5)", "abcd", [](String& s) { return s.pop(5); }, std::nullopt, {0, 5, 4}},
        {"popAdapt(9) returns all", "abcd", [](String& s) { return s.popAdapt(9); }, "abcd", {}},
        {"append", "ab", [](String& s) { return s += String("cd"); }, "abcd", {}},
        {"append empty", "ab", [](String& s) { return s << String(); }, "ab", {}},
        {"trimLeadingBlanks", "  a b ", [](String& s) { return s.trimLeadingBlanks(); }, "a b ", {}},
        {"trimTrailingBlanks", "  a b  ", [](String& s) { return s.trimTrailingBlanks(); }, "  a b", {}},
        {"trim only blanks, not tabs", "\ta\t", [](String& s) { return s.trimTrailingBlanks().trimLeadingBlanks(); },
         "\ta\t", {}},
        {"trim all blanks", "   ", [](String& s) { return s.trimLeadingBlanks(); }, "", {}},
    };
    for (const RangeCase& c : cases) {
        String s(c.start);
        if (c.result) {
            String result;
            ASSERT_NO_THROW(result = c.op(s)) << c.what;
            EXPECT_EQ(text(result), *c.result) << c.what;
            if (c.result->empty()) {
                EXPECT_EQ(bufferOf(result), &String::emptyBuf) << c.what;
            }
            continue;
        }
        try {
            c.op(s);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const String::AccessParams& e) {
            EXPECT_EQ(std::make_tuple(e.m_nOffset, e.m_nCount, e.m_nLength), c.refused) << c.what;
            EXPECT_EQ(text(s), c.start) << c.what << ": a refused request changes nothing";
        }
    }
}

TEST(StringRange, PopRemovesTheHead)
{
    String s("abcd");
    EXPECT_EQ(text(s.pop(1)), "a");
    EXPECT_EQ(text(s), "bcd");
    EXPECT_EQ(text(s.popAdapt(7)), "bcd");
    EXPECT_EQ(bufferOf(s), &String::emptyBuf);
}

TEST(StringRange, AppendingOrInsertingItselfUsesTheFormerValue)
{
    String s("ab");
    s.append(s);
    EXPECT_EQ(text(s), "abab");
    s.insert(1, s);
    EXPECT_EQ(text(s), "aababbab");
    String t("xy");
    t.push(t);
    EXPECT_EQ(text(t), "xyxy");
    EXPECT_EQ(text(String("ab") + String("cd")), "abcd");
}

TEST(StringAccess, IndexAndSearch)
{
    String s("abcd");
    EXPECT_EQ(s[0], 'a');
    s[1] = 'B';
    EXPECT_EQ(text(s), "aBcd");
    EXPECT_TRUE(s.isValidIndex(3));
    EXPECT_FALSE(s.isValidIndex(4));
    EXPECT_FALSE(s.isValidIndex(-1));
    const std::vector<std::tuple<const char*, int, int, int>> refused = {
        {"abcd", 4, 4, 3}, {"abcd", -1, -1, 3}, {"", 0, 0, -1}};
    for (const auto& [start, index, carriedIndex, lastValid] : refused) {
        const String c(start);
        try {
            (void)c[index];
            ADD_FAILURE() << start << "[" << index << "]: no exception";
        } catch (const String::IndexParam& e) {
            EXPECT_EQ(e.m_nIndex, carriedIndex);
            EXPECT_EQ(e.m_nLastValid, lastValid);
        }
    }

    const String hay("abcdcd");
    EXPECT_EQ(hay.pos(String("cd")), 2);
    EXPECT_EQ(hay.pos(String("x")), String::notFound);
    EXPECT_EQ(hay.pos(String()), 0);
    EXPECT_EQ(hay.pos(String("abcdcdx")), String::notFound);
    EXPECT_EQ(String().pos(String()), 0);
    EXPECT_EQ(hay.posStrict(String("dc")), 3);
    EXPECT_THROW(hay.posStrict(String("x")), String::NotFound);
}

TEST(StringCase, ConvertsInTheDefaultLocale)
{
    String s("Ab1-z\xC4");
    s.convertToUpperCase();
    EXPECT_EQ(text(s), "AB1-Z\xC4");
    s.convertToLowerCase();
    EXPECT_EQ(text(s), "ab1-z\xC4");
}

// ---- conversions ----

TEST(StringConversion, ToLongAndToDouble)
{
    struct LongCase {
        const char* text;
        bool ok;
        long value;
        int stop;
    };
    const std::vector<LongCase> longs = {
        {"42", true, 42, 2},   {"12 ", true, 12, 2}, {"12a", false, 12, 2}, {"abc", false, 0, 0},
        {"   ", true, 0, 0},   {" -7", true, -7, 3}, {"1.5", false, 1, 1},  {"", false, 99, -1},
    };
    for (const LongCase& c : longs) {
        long value = 99;
        int stop = 99;
        EXPECT_EQ(String(c.text).toLong(value, stop), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(stop, c.stop) << c.text;
        EXPECT_EQ(String(c.text).isDecimal(), c.ok) << c.text;
    }
    struct DoubleCase {
        const char* text;
        bool ok;
        double value;
        int stop;
    };
    const std::vector<DoubleCase> doubles = {
        {"1.5e3", true, 1500.0, 5}, {"-0.25\t", true, -0.25, 5}, {"3x", false, 3.0, 1},
        {"x3", false, 0.0, 0},     {"", false, 99.0, -1},
    };
    for (const DoubleCase& c : doubles) {
        double value = 99.0;
        int stop = 99;
        EXPECT_EQ(String(c.text).toDouble(value, stop), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
        EXPECT_EQ(stop, c.stop) << c.text;
        EXPECT_EQ(String(c.text).isNumeric(), c.ok) << c.text;
    }
}

TEST(StringConversion, NumberConstructors)
{
    EXPECT_EQ(text(String(42, "%05d")), "00042");
    EXPECT_EQ(text(String(255, "<%X>")), "<FF>");
    EXPECT_EQ(text(String(65, "%c")), "A");
    EXPECT_EQ(text(String(1L << 40, "%ld")), "1099511627776");
    EXPECT_EQ(text(String(2.5f, "%.1f")), "2.5");
    EXPECT_EQ(text(String(0.125, "%g%%")), "0.125%");
    EXPECT_EQ(text(String(7, "no conversion")), "no conversion");
    // Results beyond the classic 1023-character buffer are built whole.
    EXPECT_EQ(String(1, "%2000d").getLength(), 2000);
}

TEST(StringConversion, FormatsThatDoNotFitTheValueAreRefused)
{
    const std::vector<std::function<void()>> refused = {
        [] { String(1, nullptr); },     [] { String(1, "%s"); },    [] { String(1, "%d %d"); },
        [] { String(1, "%*d"); },       [] { String(1, "%n"); },    [] { String(1, "%ld"); },
        [] { String(1L, "%d"); },       [] { String(1.0, "%d"); },  [] { String(1.0, "%Lf"); },
        [] { String(1, "100%"); },      [] { String(1, "%p"); },    [] { String(1.0, "%.*f"); },
    };
    for (std::size_t k = 0; k < refused.size(); ++k)
        EXPECT_THROW(refused[k](), String::InvalidParam) << "case " << k;
}

// ---- comparison ----

TEST(StringCompare, EqualityAndTheReversedOrder)
{
    const String a("a");
    const String b("b");
    EXPECT_TRUE(a == String("a"));
    EXPECT_FALSE(a != String("a"));
    EXPECT_TRUE(a != b);
    EXPECT_FALSE(String("Abc") == String("abc"));
    // The ordering operators read the collation reversed.
    EXPECT_TRUE(b < a);
    EXPECT_FALSE(a < b);
    EXPECT_TRUE(a > b);
    EXPECT_TRUE(b <= a);
    EXPECT_TRUE(a <= a);
    EXPECT_FALSE(a <= b);
    EXPECT_TRUE(a >= b);
    EXPECT_TRUE(a >= a);
    EXPECT_FALSE(b >= a);
    EXPECT_TRUE(String() == String(""));

    String bad;
    bad.invalidate();
    const std::vector<std::function<bool()>> refused = {
        [&] { return bad == a; }, [&] { return a != bad; }, [&] { return bad < a; },
        [&] { return a <= bad; }, [&] { return bad > a; },  [&] { return a >= bad; },
    };
    for (std::size_t k = 0; k < refused.size(); ++k)
        EXPECT_THROW(refused[k](), String::InvalidParam) << "operator " << k;
}

// ---- console ----

TEST(StringConsole, PrintfAndPrint)
{
    String bad;
    bad.invalidate();
    testing::internal::CaptureStdout();
    bad.printf("[%s]");
    String("abc").printf("<%5s>");
    String("x").print(true);
    String("y").print(false);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[***ungültig***]<  abc>x\ny");

    EXPECT_THROW(String("x").printf(nullptr), String::InvalidParam);
    EXPECT_THROW(String("x").printf("%d"), String::InvalidParam);
    EXPECT_THROW(String("x").printf("%s%s"), String::InvalidParam);
}

TEST(StringConsole, ReadTakesOneLineWithoutTheNewline)
{
    const testsupport::TempDir dir;
    const auto path = dir / "input.txt";
    std::ofstream(path) << "first line\nsecond";
    ASSERT_NE(std::freopen(path.c_str(), "r", stdin), nullptr);
    testing::internal::CaptureStdout();
    String s("old");
    s.read("Eingabe: ");
    String t;
    t.read(nullptr);
    String u("old");
    u.read(nullptr);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Eingabe: ");
    EXPECT_EQ(text(s), "first line");
    EXPECT_EQ(text(t), "second");
    EXPECT_EQ(bufferOf(u), &String::emptyBuf);  // end of input: empty
}
