// fuzz-write-seeds OUT FIXTURES: writes each harness's seed corpus below OUT
// (image/, metafile/, catalogue/, volume/, texture/) from the hostile files,
// hand-made volumes and textures, and the image fixtures in FIXTURES. Nothing
// large is kept in the repository; the corpus is rebuilt each time.
#include "HostileFiles.h"
#include "TextureBuilder.h"
#include "VolumeBuilder.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

bool put(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<std::uint8_t> read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The metafile harness takes the type from its first byte: even WMF, odd EMF.
std::vector<std::uint8_t> metafileSeed(bool emf, const std::vector<std::uint8_t>& bytes)
{
    std::vector<std::uint8_t> seed{static_cast<std::uint8_t>(emf ? 1 : 0)};
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    return seed;
}

// 64 nested directories of 64-character names: deeper than a path may be long.
std::vector<unsigned char> deepTree()
{
    VolumeSpec spec;
    spec.entries.push_back({"beside.txt", 0, 1, 0});
    for (int i = 0; i < 64; ++i)
        spec.entries.push_back({std::string(64, static_cast<char>('a' + i % 26)), static_cast<std::uint32_t>(i + 2), 0,
                                DIR | LAST});
    spec.entries.push_back({"leaf.txt", 0, 1, LAST});
    for (auto& e : spec.entries)
        if (!(e.flags & DIR))
            e.offset = dataStart(spec.entries.size());
    spec.data = {'x'};
    return volumeBytes(spec);
}

// Names that would leave the target directory, beside a sound entry and a subtree.
std::vector<unsigned char> unsafeNames()
{
    VolumeSpec spec;
    for (const char* name : {"../escape", "a/b", "/abs", "..", "C:evil", "CON", "nul.txt"})
        spec.entries.push_back({name, 0, 1, 0});
    spec.entries.push_back({"dir", 0, 0, DIR});
    spec.entries.push_back({"good.txt", 0, 1, LAST});
    spec.entries[spec.entries.size() - 2].offset = static_cast<std::uint32_t>(spec.entries.size());
    spec.entries.push_back({"inside.tex", 0, 1, LAST});
    for (auto& e : spec.entries)
        if (!(e.flags & DIR))
            e.offset = dataStart(spec.entries.size());
    spec.data = {'x'};
    return volumeBytes(spec);
}

// A sound volume with a texture entry, and one whose entry claims more than the file holds.
std::vector<unsigned char> withTexture(bool overlong)
{
    const std::vector<unsigned char> tex = textureBytes(8, 8, 2, 2);
    VolumeSpec spec;
    spec.comment = "seed";
    spec.timestamp = 0x5A8C6000;
    // The top level: a directory (its child at index 2) and a file; then the child.
    spec.entries = {{"data", 2, 0, DIR},
                    {"big.bin", dataStart(3), overlong ? 0xFFFFFF00u : 4u, LAST},
                    {"pic.tex", dataStart(3), static_cast<std::uint32_t>(tex.size()), LAST}};
    spec.data = tex;
    return volumeBytes(spec);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: fuzz-write-seeds OUT FIXTURES\n";
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path fixtures = argv[2];
    for (const char* d : {"image", "metafile", "catalogue", "volume", "texture"}) {
        std::error_code ec;
        fs::create_directories(out / d, ec);
    }
    bool ok = true;
    for (const hostile::HostileFile& f : hostile::imageFiles()) {
        const fs::path ext = fs::path(f.name).extension();
        if (ext == ".wmf" || ext == ".emf")
            ok &= put(out / "metafile" / f.name, metafileSeed(ext == ".emf", f.bytes));
        else
            ok &= put(out / "image" / f.name, f.bytes);
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fixtures, ec)) {
        const fs::path p = entry.path();
        const std::string ext = p.extension().string();
        if (ext == ".pam" || ext == ".md" || ext == ".sh" || ext == ".py")
            continue;
        if (ext == ".wmf" || ext == ".emf")
            ok &= put(out / "metafile" / p.filename(), metafileSeed(ext == ".emf", read(p)));
        else
            ok &= put(out / "image" / p.filename(), read(p));
    }
    if (ec) {
        std::cerr << "fuzz-write-seeds: cannot read " << fixtures.string() << '\n';
        return 1;
    }
    const std::pair<const char*, std::vector<unsigned char>> volumes[] = {
        {"deep_tree.qrb", deepTree()},
        {"unsafe_names.qrb", unsafeNames()},
        {"texture.qrb", withTexture(false)},
        {"overlong_entry.qrb", withTexture(true)},
    };
    for (const auto& [name, bytes] : volumes) {
        ok &= put(out / "catalogue" / name, bytes);
        ok &= put(out / "volume" / name, bytes);
    }
    for (const int format : {2, 8, 10}) {
        ok &= put(out / "texture" / ("format" + std::to_string(format) + ".tex"), textureBytes(16, 8, 3, format));
        ok &= put(out / "image" / ("format" + std::to_string(format) + ".tex"), textureBytes(4, 4, 1, format));
    }
    if (!ok) {
        std::cerr << "fuzz-write-seeds: cannot write below " << out.string() << '\n';
        return 1;
    }
    return 0;
}
