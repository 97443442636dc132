// The report friendlyTerminator shows for an exception nobody caught, and how
// it ends the process.
#include "FailureContext.h"
#include "qorbm.h"
#include "Sanitizers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

using namespace tarvos;

namespace {

const std::string HEAD = "Eine vom Aufrufer nicht behandelte Exception ist aufgetreten.\n\n"
                         "_________________________________________________\n\nqorb\n\n";
const std::string RULE = "\n_________________________________________________";

std::string g_expected;

// Tells the parent of a death test whether the shown report was the expected one.
void checkingDisplay(const char* caption, const char* text)
{
    if (std::string(caption) == "QORB MiniLib" && text == g_expected)
        std::fputs("REPORT-MATCHES", stderr);
    else
        std::fprintf(stderr, "REPORT-DIFFERS [%s]\n%s", caption, text);
}

// The bodies of the death tests: each lets a library exception escape. They are
// noexcept so that the exception reaches std::terminate rather than the test
// framework's own handler.
void copyOutOfRange() noexcept
{
    setMessageDisplay(checkingDisplay);
    std::set_terminate(friendlyTerminator);
    const std::vector<unsigned char> bytes(50, 1);
    const GData block(50, String("b"), GData::G_T_MESH, bytes.data());
    unsigned char out[20];
    block.fillExtBuf(out, 20, 100);
}

void readPastTheEnd() noexcept
{
    setMessageDisplay(checkingDisplay);
    std::set_terminate(friendlyTerminator);
    const unsigned char bytes[3] = {1, 2, 3};
    const GData block(3, String("b"), GData::G_T_MESH, bytes);
    std::printf("%d", block[7]);
}

}  // namespace

TEST(FailureReport, TextsForEveryReasonWithValues)
{
    struct Case {
        int operation;
        int reason;
        std::vector<int> values;
        std::string report;
    };
    const std::vector<Case> cases = {
        {2, 8, {4096}, "GData::GData( int , const String& , int , const void* )\n\n"
                       "Speicheranforderung fehlgeschlagen.\n\nAngefordert: 4096 Bytes"},
        {32, 5, {3, 7}, "GGroup::eopen(  const String& )\n\nDatei konnte nur teilweise gelesen werden\n\n"
                        "Eingelesen: 3 Blöcke\nVorhanden: 7 Blöcke"},
        {3, 10, {-1, 4}, "GData::operator[] ( int )\n\nIndexparameter nicht im gültigen Bereich.\n\n"
                         "Index: -1\nGültiger Index: 0 .. 4"},
        {21, 11, {100, 20, 50}, "GData::fillExtBuf ( void* , int , int )\n\n"
                                "Offset- und/oder Größenparameter nicht im gültigen Bereich.\n\n"
                                "Offset: 100\nLänge: 20\nBuffergröße: 50 Bytes"},
        {37, 12, {}, "GGroup::operator != ( const GGroup&, const GGroup& )\n\n"
                     "Das Objekt ist ungültig (z.B. nicht korrekt initialisiert).\n\n"},
        {38, 14, {}, "Unbekannt\n\nUnbekannter Fehler\n\n"},
        {-1, 0, {}, "Unbekannt\n\nUnbekannter Fehler\n\n"},
        {0, 13, {}, "GData::GData()\n\nDatenblock mit angegeben Eigenschaften nicht gefunden.\n\n"},
    };
    for (const Case& c : cases) {
        recordFailure(c.operation, c.reason, {0, 0, 0});
        switch (c.values.size()) {
        case 1: recordFailure(c.operation, c.reason, {c.values[0]}); break;
        case 2: recordFailure(c.operation, c.reason, {c.values[0], c.values[1]}); break;
        case 3: recordFailure(c.operation, c.reason, {c.values[0], c.values[1], c.values[2]}); break;
        default: break;
        }
        EXPECT_EQ(failureMessage(), HEAD + c.report + RULE) << c.operation << "/" << c.reason;
    }
}

TEST(FriendlyTerminatorDeathTest, ContextAtLoadIsUnknownFailure)
{
    // A fresh process: nothing has failed yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    g_expected = HEAD + "GData::GData()\n\nUnbekannter Fehler.\n\n" + RULE;
    EXPECT_EXIT(
        {
            setMessageDisplay(checkingDisplay);
            friendlyTerminator();
        },
        testing::ExitedWithCode(EXIT_FAILURE), "REPORT-MATCHES");
}

TEST(FriendlyTerminatorDeathTest, UncaughtRangeFailureIsReported)
{
    g_expected = HEAD
                 + "GData::fillExtBuf ( void* , int , int )\n\n"
                   "Offset- und/oder Größenparameter nicht im gültigen Bereich.\n\n"
                   "Offset: 100\nLänge: 20\nBuffergröße: 50 Bytes"
                 + RULE;
    EXPECT_EXIT(copyOutOfRange(), testing::ExitedWithCode(EXIT_FAILURE), "REPORT-MATCHES");
}

TEST(FriendlyTerminatorDeathTest, UncaughtIndexFailureIsReported)
{
    g_expected = HEAD
                 + "GData::operator[] ( int )\n\nIndexparameter nicht im gültigen Bereich.\n\n"
                   "Index: 7\nGültiger Index: 0 .. 2"
                 + RULE;
    EXPECT_EXIT(readPastTheEnd(), testing::ExitedWithCode(EXIT_FAILURE), "REPORT-MATCHES");
}

TEST(FriendlyTerminatorDeathTest, DefaultDisplayWritesToStandardError)
{
    EXPECT_EXIT(
        {
            setMessageDisplay(nullptr);
            recordFailure(32, 3);
            friendlyTerminator();
        },
        testing::ExitedWithCode(EXIT_FAILURE),
        "^QORB MiniLib\n\nEine vom Aufrufer nicht behandelte Exception ist aufgetreten\\.\n\n_+\n\nqorb\n\n"
        "GGroup::eopen\\(  const String& \\)\n\nFehler beim Öffnen der QORB-Datei\\.\n\n\n_+\n$");
}

namespace {

// Memory is made scarce in this process only, so the block's copy cannot be
// obtained. The allocation fails before any byte of the source is read, so a
// small source suffices.
void copyWithScarceMemory(int size) noexcept
{
    setMessageDisplay(checkingDisplay);
    std::set_terminate(friendlyTerminator);
    static const unsigned char source[16] = {};
    long pages = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(f);
    }
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64 << 20);
    setrlimit(RLIMIT_AS, &limit);
    const GData block(size, String("big"), GData::G_T_MESH, source);
    (void)block;
}

}  // namespace

TEST(FriendlyTerminatorDeathTest, AllocationFailureCarriesTheRequestedBytes)
{
    if (testsupport::kAddressSanitized)
        GTEST_SKIP() << "the address sanitizer reserves far more address space than the limit allows";
    constexpr int SIZE = 256 << 20;
    g_expected = HEAD
                 + "GData::GData( int , const String& , int , const void* )\n\n"
                   "Speicheranforderung fehlgeschlagen.\n\nAngefordert: 268435456 Bytes"
                 + RULE;
    EXPECT_EXIT(copyWithScarceMemory(SIZE), testing::ExitedWithCode(EXIT_FAILURE), "REPORT-MATCHES");
}
