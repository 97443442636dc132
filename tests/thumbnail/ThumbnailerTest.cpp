// korvix-thumbnailer as a file manager runs it: its arguments and URIs, a PNG
// for every texture format and for a volume, exit 1 and no file for bad input
// within 64 MiB, and the program itself with no display and no environment.
#include "AddressSpace.h"
#include "ThumbnailFixtures.h"
#include "Thumbnailer.h"

#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>

#include <sstream>

#include <fcntl.h>
#include <spawn.h>

using namespace testsupport;

namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome run(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = thumbnailer::run(args, out, err);
    return {code, out.str(), err.str()};
}

std::string fileUri(const std::filesystem::path& path)
{
    std::string uri = "file://";
    for (const char c : path.string())
        uri += c == ' ' ? std::string("%20") : std::string(1, c);
    return uri;
}

// Runs the installed-style program with exactly `env` as its environment;
// its standard error goes to `errFile`. The exit status, or -1.
int spawnProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::filesystem::path& errFile)
{
    std::vector<char*> argv{const_cast<char*>(KORVIX_THUMBNAILER_PROGRAM)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Thumbnailer, InputIsAPathOrALocalFileUri)
{
    const struct {
        const char* input;
        const char* path;  // null: refused
    } cases[] = {
        {"/data/wall.tex", "/data/wall.tex"},
        {"relative/wall.tex", "relative/wall.tex"},
        {"file:///data/my%20textures/wall.tex", "/data/my textures/wall.tex"},
        {"FILE:///data/%C3%BC.tex", "/data/\xC3\xBC.tex"},
        {"file://localhost/data/wall.tex", "/data/wall.tex"},
        {"file:///data/100%25.tex", "/data/100%.tex"},
        {"file://server/data/wall.tex", nullptr},
        {"smb://server/share/wall.tex", nullptr},
        {"file:///data/bad%2.tex", nullptr},
        {"file:///data/bad%zz.tex", nullptr},
        {"file:///data/nul%00.tex", nullptr},
    };
    for (const auto& c : cases) {
        const auto path = thumbnailer::localPath(c.input);
        if (c.path) {
            ASSERT_TRUE(path.has_value()) << c.input;
            EXPECT_EQ(*path, c.path) << c.input;
        } else {
            EXPECT_FALSE(path.has_value()) << c.input << " gave " << path.value_or("");
        }
    }
}

TEST(Thumbnailer, ArgumentsOutsideTheUsageExitWithTwo)
{
    const std::vector<std::vector<std::string>> usage = {
        {},
        {"in.tex", "out.png"},
        {"-s", "128", "in.tex"},
        {"-s", "128", "in.tex", "out.png", "extra"},
        {"-s", "0", "in.tex", "out.png"},
        {"-s", "2049", "in.tex", "out.png"},
        {"-s", "12x", "in.tex", "out.png"},
        {"-s"},
        {"--frobnicate", "-s", "128", "in.tex", "out.png"},
    };
    for (const auto& args : usage) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, thumbnailer::exitUsage) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("korvix-thumbnailer -s"), std::string::npos) << r.err;
    }
    EXPECT_EQ(run({"--version"}).out, std::string("korvix-thumbnailer ") + QORBM_VERSION_STRING + "\n");
    EXPECT_EQ(run({"--help"}).code, 0);
}

// Through a URI with an escaped blank, as file managers pass it.
TEST(Thumbnailer, EveryFormatAndAVolumeGiveAPng)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "my textures");
    std::vector<std::pair<std::string, std::vector<unsigned char>>> volumeFiles;
    for (const TextureCase& c : TEXTURE_CASES) {
        const auto path = dir / "my textures" / (std::string(c.name) + ".tex");
        ASSERT_TRUE(writeQuadrantTexture(path, c));
        volumeFiles.push_back({c.name, readFile(path)});
        const auto out = dir / (std::string(c.name) + ".png");
        const Outcome r = run({"-s", "16", fileUri(path), out.string()});
        ASSERT_EQ(r.code, 0) << c.name << ": " << r.err;
        PixelBitmap png;
        decodeFile(out.string(), png, 32);
        EXPECT_EQ(png.width(), 16) << c.name;
        EXPECT_EQ(png.height(), 8) << c.name;
        EXPECT_EQ(png.hasAlpha(), c.alpha) << c.name;
    }
    // A volume: its first texture, the DXT1 one.
    std::reverse(volumeFiles.begin(), volumeFiles.end());
    writeFile(dir / "v.qrb", volumeWith(volumeFiles));
    const Outcome r = run({"-s", "32", (dir / "v.qrb").string(), (dir / "v.png").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    PixelBitmap png;
    decodeFile((dir / "v.png").string(), png, 32);
    EXPECT_EQ(png.width(), 32);
    EXPECT_TRUE(png.hasAlpha()) << "the RGBA 8888 texture comes first in the catalogue";
}

// Each refusal exits with 1, names the file and writes nothing, with no more
// than 64 MiB of address space to spend.
TEST(Thumbnailer, BadInputExitsWithOneAndNoFileWithin64MiB)
{
    TempDir dir;
    const auto out = dir / "out.png";
    for (const BadInput& bad : badInputs()) {
        writeFile(dir / bad.name, bad.bytes);
        const std::string input = (dir / bad.name).string();
        EXPECT_TRUE(within64MiB([&] {
            const Outcome r = run({"-s", "256", input, out.string()});
            return r.code == thumbnailer::exitFailure && r.err.find(input + ": ") != std::string::npos
                   && !std::filesystem::exists(out);
        })) << bad.name;
    }
    EXPECT_EQ(run({"-s", "256", "smb://host/a.tex", out.string()}).code, thumbnailer::exitFailure);
    EXPECT_EQ(run({"-s", "256", (dir / "missing.tex").string(), out.string()}).code, thumbnailer::exitFailure);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// The largest texture the game has, 2048 x 2048 RGBA 8888, fits the same
// budget: only its largest map is read and decoded.
TEST(Thumbnailer, TheLargestTextureFitsIn64MiB)
{
    TempDir dir;
    auto bytes = textureHeader(2, 2048, 2048, 1);
    bytes.resize(bytes.size() + std::size_t{2048} * 2048 * 4, 0x80);
    writeFile(dir / "big.tex", bytes);
    EXPECT_TRUE(within64MiB([&] {
        return run({"-s", "256", (dir / "big.tex").string(), (dir / "big.png").string()}).code == 0;
    }));
}

// A file manager's sandbox gives the program no display and no environment at
// all; the locale still chooses the language of its messages.
TEST(Thumbnailer, TheProgramRunsWithoutADisplay)
{
    TempDir dir;
    ASSERT_TRUE(writeQuadrantTexture(dir / "t.tex", TEXTURE_CASES[1]));
    EXPECT_EQ(spawnProgram({"-s", "128", (dir / "t.tex").string(), (dir / "t.png").string()}, {}, dir / "err.txt"), 0)
        << readFile(dir / "err.txt").data();
    EXPECT_TRUE(std::filesystem::exists(dir / "t.png"));

    const std::string tex = "\\documentclass{article}\n";
    writeFile(dir / "paper.tex", {tex.begin(), tex.end()});
    EXPECT_EQ(spawnProgram({"-s", "128", (dir / "paper.tex").string(), (dir / "p.png").string()},
                           {"LANG=de_DE.UTF-8"}, dir / "err.txt"),
              1);
    const auto err = readFile(dir / "err.txt");
    EXPECT_EQ(std::string(err.begin(), err.end()),
              "korvix-thumbnailer: " + (dir / "paper.tex").string() + ": weder eine Textur noch ein QORB-Volume\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "p.png"));
}
