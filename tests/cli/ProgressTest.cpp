// The progress line and quiet runs: the line's text, when it is shown (a
// terminal, --progress) and when not (a pipe, --quiet), and the summaries that
// --quiet silences while standard output stays as it is.
#include "Language.h"
#include "ProgressLine.h"
#include "RunCli.h"
#include "VolumeBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t MB = 1000 * 1000;

// A tree of five files packed into v.qrb.
struct Packed {
    TempDir dir;
    std::string volume = (dir / "v.qrb").string();
    Packed()
    {
        for (int i = 0; i < 5; ++i) {
            fs::create_directories(dir / "in" / "sub");
            writeFile(dir / "in" / (i < 3 ? "sub" : "") / ("f" + std::to_string(i)),
                      std::vector<unsigned char>(100 * (i + 1), 'x'));
        }
        const auto r = runCli({"pack", (dir / "in").string(), volume, "--timestamp", "2024-01-01T00:00:00"});
        EXPECT_EQ(r.code, 0) << r.err;
    }
};

// What korvix-cli prints when run as a program: standard error on a terminal
// (a pseudo-terminal, whose output also carries standard output) or on a pipe.
std::string runProgram(const std::vector<std::string>& args, bool terminal, int& status)
{
    std::vector<char*> argv{const_cast<char*>(KORVIX_CLI)};
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2] = {-1, -1};
    int master = -1;
    pid_t pid = -1;
    if (terminal) {
        pid = forkpty(&master, nullptr, nullptr, nullptr);
    } else {
        if (pipe(fds) != 0)
            return {};
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            dup2(fds[1], STDERR_FILENO);
            close(fds[0]);
            close(fds[1]);
        }
        master = fds[0];
    }
    if (pid == 0) {
        execv(KORVIX_CLI, argv.data());
        _exit(127);
    }
    if (!terminal)
        close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<std::size_t>(n));
    close(master);
    waitpid(pid, &status, 0);
    return out;
}

}  // namespace

TEST(ProgressLine, TheLineSaysCountBytesRateAndTimeLeft)
{
    const struct {
        cli::ProgressCounts counts;
        double seconds;
        std::size_t width;
        std::string expected;
    } cases[] = {
        // At the start there is no rate yet.
        {{0, 20000, 0, 29 * MB}, 0, 0, "  0%  0/20000 files  0 B / 29.0 MB"},
        {{10000, 20000, 14600 * 1000, 29 * MB}, 2, 0, " 50%  10000/20000 files  14.6 MB / 29.0 MB  7.3 MB/s  0:02 left"},
        // The share and the time left go by bytes when their total is known ...
        {{1, 4, 9 * MB, 10 * MB}, 9, 0, " 90%  1/4 files  9.0 MB / 10.0 MB  1.0 MB/s  0:01 left"},
        // ... and by count when it is not (the bytes done are still shown).
        {{3, 10, 4500, 0}, 1.8, 0, " 30%  3/10 files  4.5 kB  2.5 kB/s  0:04 left"},
        {{5, 10, 0, 0}, 1, 0, " 50%  5/10 files  0 B  5.0 files/s  0:01 left"},
        {{1, 100, 0, 0}, 100, 0, "  1%  1/100 files  0 B  0.0 files/s  2:45:00 left"},
        {{20000, 20000, 29 * MB, 29 * MB}, 5, 0, "100%  20000/20000 files  29.0 MB / 29.0 MB  5.8 MB/s"},
        // The last column of the terminal stays free.
        {{10000, 20000, 14600 * 1000, 29 * MB}, 2, 30, " 50%  10000/20000 files  14.6"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cli::progressText(c.counts, c.seconds, c.width), c.expected) << c.expected;

    cli::setLanguage(cli::Language::German);
    EXPECT_EQ(cli::progressText({3, 10, 1500 * 1000, 0}, 1.8, 0), " 30%  3/10 Dateien  1,5 MB  833,3 kB/s  noch 0:04");
    cli::setLanguage(cli::Language::English);
    EXPECT_EQ(cli::byteText(999), "999 B");
    EXPECT_EQ(cli::byteText(999'949), "999.9 kB");
    EXPECT_EQ(cli::byteText(999'950), "1.0 MB");
    EXPECT_EQ(cli::byteText(3'500'000'000'000), "3.5 TB");
}

// In the program: shown on a terminal, absent on a pipe unless --progress,
// never with --quiet. The summary follows the same rule as the line's absence.
TEST(ProgressLine, OnATerminalOnlyOrWhenAskedFor)
{
    Packed p;
    const std::string progress = "/5 files";
    const std::string summary = "extracted 5 files (1.5 kB) into";
    const struct {
        bool terminal;
        std::vector<std::string> options;
        bool line;
        bool said;
    } cases[] = {
        {true, {}, true, true},
        {false, {}, false, true},
        {false, {"--progress"}, true, true},
        {true, {"--quiet"}, false, false},
        {false, {"--progress", "--quiet"}, false, false},
    };
    int k = 0;
    for (const auto& c : cases) {
        std::vector<std::string> args = {"extract-all", p.volume, (p.dir / ("out" + std::to_string(k++))).string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        int status = -1;
        const std::string out = runProgram(args, c.terminal, status);
        const std::string what = (c.terminal ? "terminal" : "pipe") + std::string(c.options.empty() ? "" : " ") +
                                 (c.options.empty() ? "" : c.options[0]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << ": " << out;
        EXPECT_EQ(out.find(progress) != std::string::npos, c.line) << what << ": " << out;
        EXPECT_EQ(out.find(summary) != std::string::npos, c.said) << what << ": " << out;
    }
}

// --quiet silences the summaries of the bulk commands, and only those:
// standard output and the exit status stay.
TEST(ProgressLine, QuietKeepsStandardOutputAndTheExitStatus)
{
    Packed p;
    writeFile(p.dir / "a.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 1, 2, 3});
    writeFile(p.dir / "b.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 4, 5, 6});
    const std::string out = (p.dir / "conv").string();
    fs::create_directories(out);
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"extract-all", p.volume, (p.dir / "x").string(), "--force"}, p.volume + ": extracted 5 files (1.5 kB) into "},
        {{"pack", (p.dir / "in").string(), (p.dir / "w.qrb").string()}, "packed 6 entries (5 files) into "},
        {{"convert", (p.dir / "a.tga").string(), (p.dir / "b.tga").string(), "--to", "png", "-d", out, "-j", "1"},
         "korvix-cli: convert: 2 of 2 files converted"},
    };
    for (const auto& c : cases) {
        const auto loud = runCli(c.args);
        EXPECT_EQ(loud.code, 0) << loud.err;
        EXPECT_EQ(loud.err.rfind(c.said, 0), 0u) << c.args[0] << ": " << loud.err;
        auto args = c.args;
        args.push_back("--quiet");
        const auto quiet = runCli(args);
        EXPECT_EQ(quiet.code, 0) << quiet.err;
        EXPECT_EQ(quiet.err, "") << c.args[0];
        EXPECT_EQ(quiet.out, loud.out) << c.args[0];
    }
    // An error is no summary: it is printed, quiet or not.
    const auto refused = runCli({"extract-all", p.volume, (p.dir / "x").string(), "--quiet"});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("exists; use --force to overwrite"), std::string::npos) << refused.err;
}
