// The extraction engine headless: what it writes for the volume, a directory
// and a list of entries; a cancel mid-way; the answers for existing files;
// unsafe names; and a full disk. Whatever happens, only complete files are
// left, and no temporary file.
#include "FileSizeLimit.h"
#include "VolumeBuilder.h"

#include "document/Extraction.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

struct Node {
    std::string name;
    std::string data;
    std::vector<Node> children = {};
    bool dir = false;
};

Node folder(std::string name, std::vector<Node> children)
{
    return {std::move(name), "", std::move(children), true};
}

// The catalogue as pack lays it out: the top-level list first, then the
// directories' lists breadth-first; the data in catalogue order.
VolumeSpec volumeOf(const std::vector<Node>& top)
{
    std::vector<const std::vector<Node>*> lists;
    std::vector<std::uint32_t> starts;
    std::deque<const std::vector<Node>*> queue{&top};
    std::uint32_t next = 0;
    while (!queue.empty()) {
        const auto* list = queue.front();
        queue.pop_front();
        lists.push_back(list);
        starts.push_back(next);
        next += static_cast<std::uint32_t>(list->size());
        for (const Node& n : *list)
            if (n.dir)
                queue.push_back(&n.children);
    }
    VolumeSpec spec;
    std::size_t list = 1;
    for (const auto* l : lists) {
        for (std::size_t k = 0; k < l->size(); ++k) {
            const Node& n = (*l)[k];
            const std::uint32_t last = k + 1 == l->size() ? LAST : 0;
            if (n.dir)
                spec.entries.push_back({n.name, starts[list++], 0, DIR | last});
            else
                spec.entries.push_back({n.name, static_cast<std::uint32_t>(dataStart(next) + spec.data.size()),
                                        static_cast<std::uint32_t>(n.data.size()), last});
            spec.data.insert(spec.data.end(), n.data.begin(), n.data.end());
        }
    }
    return spec;
}

struct Opened {
    TempDir dir;
    tarvos::GGroup volume;
    EntryCatalogue catalogue;

    explicit Opened(const std::vector<Node>& top)
    {
        writeFile(dir / "v.qrb", volumeBytes(volumeOf(top)));
        EXPECT_EQ(volume.open((dir / "v.qrb").c_str(), true), tarvos::GGroup::G_OK);
        tarvos::QORBHeader header{};
        volume.getCurQORBHeader(header);
        EXPECT_TRUE(catalogue.walk(volume, header.entryCount));
    }
    int find(const std::string& path) const { return catalogue.find(path).value_or(-1); }
    fs::path out() const { return dir / "out"; }
};

// Every file below `root` by its path from there, with its bytes; directories end in '/'.
std::map<std::string, std::string> contents(const fs::path& root)
{
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string path = fs::relative(it->path(), root).string();
        if (it->is_directory()) {
            out[path + "/"] = "";
        } else {
            const auto bytes = readFile(it->path());
            out[path] = std::string(bytes.begin(), bytes.end());
        }
    }
    return out;
}

void writeText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    writeFile(path, std::vector<unsigned char>(text.begin(), text.end()));
}

const std::vector<Node> sample = {
    folder("textures", {{"Wall.TEX", "wall"}, folder("deep", {{"stone.tex", "stone!"}}), {"empty.tga", ""}}),
    {"readme.txt", "read me"},
    folder("sounds", {{"Gr\xFC\xDF" "e.wav", "RIFF"}}),  // ISO-8859-1 in the volume, UTF-8 on disk
};

}  // namespace

TEST(Extraction, TheVolumeADirectoryOrAListOfEntries)
{
    Opened v(sample);
    const std::map<std::string, std::string> wholeTree = {
        {"readme.txt", "read me"},          {"sounds/", ""},          {"sounds/Grüße.wav", "RIFF"},
        {"textures/", ""},                  {"textures/Wall.TEX", "wall"}, {"textures/deep/", ""},
        {"textures/deep/stone.tex", "stone!"}, {"textures/empty.tga", ""},
    };
    const struct {
        const char* what;
        std::vector<int> entries;  // empty: the whole volume
        std::map<std::string, std::string> expected;
    } cases[] = {
        {"volume", {}, wholeTree},
        {"directory", {v.find("textures/deep")}, {{"deep/", ""}, {"deep/stone.tex", "stone!"}}},
        {"entries", {v.find("readme.txt"), v.find("textures/Wall.TEX"), v.find("sounds")},
         {{"readme.txt", "read me"}, {"Wall.TEX", "wall"}, {"sounds/", ""}, {"sounds/Grüße.wav", "RIFF"}}},
    };
    for (const auto& c : cases) {
        fs::remove_all(v.out());
        std::vector<ExtractionProgress> seen;
        std::vector<std::string> names;
        ExtractionOptions options;
        options.progress = [&](const ExtractionProgress& p) {
            seen.push_back(p);
            names.emplace_back(p.current);
        };
        const ExtractionResult r = c.entries.empty() ? extractVolume(v.volume, v.catalogue, v.out(), options)
                                                     : extractEntries(v.volume, v.catalogue, c.entries, v.out(), options);
        EXPECT_TRUE(r.ok()) << c.what;
        EXPECT_EQ(contents(v.out()), c.expected) << c.what;
        ASSERT_FALSE(seen.empty());
        for (std::size_t k = 1; k < seen.size(); ++k) {
            EXPECT_GE(seen[k].filesDone, seen[k - 1].filesDone) << c.what;
            EXPECT_GE(seen[k].bytesDone, seen[k - 1].bytesDone) << c.what;
        }
        EXPECT_EQ(seen.back().filesDone, seen.back().filesTotal) << c.what;
        EXPECT_EQ(seen.back().bytesDone, seen.back().bytesTotal) << c.what;
        EXPECT_EQ(r.filesWritten, seen.back().filesTotal) << c.what;
    }
    // The file at hand is named by its path below the target folder.
    fs::remove_all(v.out());
    std::vector<std::string> names;
    ExtractionOptions options;
    options.progress = [&](const ExtractionProgress& p) { names.emplace_back(p.current); };
    extractEntries(v.volume, v.catalogue, std::vector<int>{v.find("textures")}, v.out(), options);
    EXPECT_EQ(names, (std::vector<std::string>{"", "textures/Wall.TEX", "textures/deep/stone.tex", "textures/empty.tga"}));
}

// A cancel between files keeps the files before it; a cancel within a large
// file drops that file. Either way no temporary file stays, and what was
// written is complete.
TEST(Extraction, ACancelMidwayLeavesOnlyCompleteFiles)
{
    std::vector<Node> top;
    for (int i = 0; i < 6; ++i)
        top.push_back({"f" + std::to_string(i), std::string(100 + i, static_cast<char>('a' + i))});
    const std::string big(3 << 20, 'B');
    top.insert(top.begin() + 3, {"big.bin", big});
    Opened v(top);

    const struct {
        const char* what;
        std::function<bool(const ExtractionProgress&)> stopWhen;
        std::vector<std::string> kept;
    } cases[] = {
        {"after two files", [](const ExtractionProgress& p) { return p.filesDone == 2; }, {"f0", "f1"}},
        {"within the large file",
         [](const ExtractionProgress& p) { return p.current == "big.bin" && p.bytesDone > 200u + (1u << 20); },
         {"f0", "f1", "f2"}},
    };
    for (const auto& c : cases) {
        fs::remove_all(v.out());
        std::atomic<bool> cancel{false};
        ExtractionOptions options;
        options.cancel = &cancel;
        options.progress = [&](const ExtractionProgress& p) {
            if (c.stopWhen(p))
                cancel = true;
        };
        const ExtractionResult r = extractVolume(v.volume, v.catalogue, v.out(), options);
        EXPECT_TRUE(r.cancelled) << c.what;
        EXPECT_TRUE(r.failures.empty()) << c.what;
        std::map<std::string, std::string> expected;
        for (const auto& name : c.kept)
            expected[name] = std::string(100 + (name[1] - '0'), static_cast<char>('a' + (name[1] - '0')));
        EXPECT_EQ(contents(v.out()), expected) << c.what;
        EXPECT_EQ(r.filesWritten, c.kept.size()) << c.what;
    }
}

TEST(Extraction, TheAnswersForExistingFiles)
{
    Opened v({{"a", "new a"}, {"b", "new b"}, {"c", "new c"}, {"d", "new d"}});
    using A = OverwriteAnswer;
    const struct {
        const char* what;
        std::map<std::string, A> answers;  // unset callback when empty
        std::vector<std::string> asked;
        std::string after;  // the final letters: N new, O old
        bool cancelled;
    } cases[] = {
        {"one by one", {{"a", A::Overwrite}, {"b", A::Skip}, {"c", A::Overwrite}, {"d", A::Skip}},
         {"a", "b", "c", "d"}, "NONO", false},
        {"all from the second on", {{"a", A::Skip}, {"b", A::OverwriteAll}}, {"a", "b"}, "ONNN", false},
        {"cancel", {{"a", A::Overwrite}, {"b", A::Cancel}}, {"a", "b"}, "NOOO", true},
        {"nobody asked", {}, {}, "OOOO", false},
    };
    for (const auto& c : cases) {
        fs::remove_all(v.out());
        for (const char* name : {"a", "b", "c", "d"})
            writeText(v.out() / name, "old");
        std::vector<std::string> asked;
        ExtractionOptions options;
        if (!c.answers.empty())
            options.existing = [&](int index, const fs::path& target) {
                EXPECT_EQ(v.out() / std::string(v.catalogue.records()[static_cast<std::size_t>(index)].name.view()), target);
                asked.push_back(target.filename().string());
                return c.answers.at(asked.back());
            };
        const ExtractionResult r = extractVolume(v.volume, v.catalogue, v.out(), options);
        EXPECT_EQ(asked, c.asked) << c.what;
        EXPECT_EQ(r.cancelled, c.cancelled) << c.what;
        std::string after;
        for (const char* name : {"a", "b", "c", "d"}) {
            const auto bytes = readFile(v.out() / name);
            after += std::string(bytes.begin(), bytes.end()) == "old" ? 'O' : 'N';
        }
        EXPECT_EQ(after, c.after) << c.what;
        EXPECT_EQ(contents(v.out()).size(), 4u) << c.what << ": no temporary file";
        EXPECT_EQ(r.filesSkipped, static_cast<std::uint64_t>(std::count(c.after.begin(), c.after.end(), 'O'))
                                      - (c.cancelled ? 3u : 0u))
            << c.what;
    }
}

TEST(Extraction, UnsafeNamesAreRefusedWithTheirTrees)
{
    Opened v({{"../escape", "x"},
              {"a\\b", "x"},
              {"CON", "x"},
              folder("..", {{"inside", "x"}, folder("deeper", {{"more", "x"}})}),
              {"c:drive", "x"},
              {"good.txt", "good"}});
    std::vector<ExtractionProgress> seen;
    ExtractionOptions options;
    options.progress = [&](const ExtractionProgress& p) { seen.push_back(p); };
    const fs::path target = v.out() / "target";
    const ExtractionResult r = extractVolume(v.volume, v.catalogue, target, options);

    std::vector<std::string> refused;
    for (const ExtractionFailure& f : r.failures) {
        EXPECT_EQ(f.reason, ExtractionFailure::Reason::UnsafeName) << f.path;
        refused.push_back(f.path);
    }
    EXPECT_EQ(refused, (std::vector<std::string>{"../escape", "a\\b", "CON", "..", "c:drive"}));
    EXPECT_EQ(contents(v.dir.path() / "out"), (std::map<std::string, std::string>{{"target/", ""}, {"target/good.txt", "good"}}));
    EXPECT_EQ(contents(v.dir.path()).size(), 4u) << "nothing beside the target: v.qrb, out/, target/, good.txt";
    // The refused trees count as handled, so the progress still reaches its end.
    EXPECT_EQ(seen.back().filesDone, 7u);
    EXPECT_EQ(seen.back().filesTotal, 7u);
}

// A full disk cuts the writes of the larger files short: those fail, nothing
// of them stays, and the run goes on with the next entry.
TEST(Extraction, AFullDiskFailsTheFilesItCutsShort)
{
    Opened v({{"small", std::string(500, 's')},
              {"large", std::string(1500, 'l')},
              folder("dir", {{"fits", std::string(900, 'f')}, {"huge", std::string(3 << 20, 'h')}})});
    ExtractionResult r;
    {
        const FileSizeLimit limit(1000);
        r = extractVolume(v.volume, v.catalogue, v.out());
    }
    ASSERT_EQ(r.failures.size(), 2u);
    for (const ExtractionFailure& f : r.failures) {
        EXPECT_EQ(f.reason, ExtractionFailure::Reason::WriteFailed);
        EXPECT_NE(f.detail.find(std::make_error_code(std::errc::file_too_large).message()), std::string::npos) << f.detail;
    }
    EXPECT_EQ(r.failures[0].path, "large");
    EXPECT_EQ(r.failures[1].path, "dir/huge");
    EXPECT_EQ(r.failures[1].target, v.out() / "dir" / "huge");
    EXPECT_EQ(contents(v.out()), (std::map<std::string, std::string>{
                                     {"small", std::string(500, 's')}, {"dir/", ""}, {"dir/fits", std::string(900, 'f')}}));
    EXPECT_EQ(r.filesWritten, 2u);

    // With room again the same run completes.
    r = extractVolume(v.volume, v.catalogue, v.out());
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(contents(v.out()).size(), 5u);
}

TEST(Extraction, ATargetThatCannotBeMadeFailsTheRun)
{
    Opened v(sample);
    writeText(v.out(), "a file where the folder goes");
    const ExtractionResult r = extractVolume(v.volume, v.catalogue, v.out() / "sub");
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].index, -1);
    EXPECT_EQ(r.failures[0].reason, ExtractionFailure::Reason::NoDirectory);
    EXPECT_EQ(r.filesWritten, 0u);
}
