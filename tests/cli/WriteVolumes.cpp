// korvix-write-volumes DIR: writes the volumes and the tree that the bulk
// benchmarks (bench/bulk/run.sh) measure, the same bytes on every run:
//
//   big.qrb   1,000,000 entries: 1,000 directories of 999 files (an 80 MB catalogue)
//   deep.qrb  120,001 entries nested 20,000 directories deep: each level holds a
//             directory "d" (not last, so the walk comes back to it) and five
//             files, and the bottom one file
//   tree/     20,000 files of 0 to 2,900 random bytes (about 29 MB) in 100
//             folders, for pack, extract-all and cp -r
#include "VolumeBuilder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

void writeBig(const fs::path& path)
{
    constexpr std::uint32_t directories = 1000, filesPerDirectory = 999;
    constexpr std::uint32_t total = directories * (filesPerDirectory + 1);
    VolumeSpec spec;
    spec.entries.reserve(total);
    for (std::uint32_t d = 0; d < directories; ++d)
        spec.entries.push_back({"dir" + std::to_string(d), directories + d * filesPerDirectory, 0,
                                DIR | (d + 1 == directories ? LAST : 0)});
    for (std::uint32_t d = 0; d < directories; ++d)
        for (std::uint32_t f = 0; f < filesPerDirectory; ++f)
            spec.entries.push_back({"file" + std::to_string(f) + ".tex", dataStart(total), 0,
                                    f + 1 == filesPerDirectory ? LAST : 0u});
    writeFile(path, volumeBytes(spec));
}

void writeDeep(const fs::path& path)
{
    constexpr std::uint32_t levels = 20000, perLevel = 6;
    constexpr std::uint32_t total = levels * perLevel + 1;
    VolumeSpec spec;
    spec.entries.reserve(total);
    for (std::uint32_t level = 0; level < levels; ++level) {
        spec.entries.push_back({"d", (level + 1) * perLevel, 0, DIR});
        for (std::uint32_t f = 1; f < perLevel; ++f)
            spec.entries.push_back({"f" + std::to_string(f), dataStart(total), 0, f + 1 == perLevel ? LAST : 0u});
    }
    spec.entries.push_back({"leaf", dataStart(total), 0, LAST});
    writeFile(path, volumeBytes(spec));
}

void writeTree(const fs::path& root)
{
    std::mt19937 random(25);
    std::uniform_int_distribution<int> size(0, 2900), byte(0, 255);
    std::vector<char> bytes;
    for (int d = 0; d < 100; ++d) {
        char folder[16];
        std::snprintf(folder, sizeof folder, "d%02d", d);
        fs::create_directories(root / folder);
        for (int f = 0; f < 200; ++f) {
            char name[24];
            std::snprintf(name, sizeof name, "f%05d.bin", d * 200 + f);
            bytes.resize(static_cast<std::size_t>(size(random)));
            for (char& b : bytes)
                b = static_cast<char>(byte(random));
            std::ofstream(root / folder / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: korvix-write-volumes DIR\n";
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    writeBig(dir / "big.qrb");
    writeDeep(dir / "deep.qrb");
    fs::remove_all(dir / "tree");
    writeTree(dir / "tree");
    return 0;
}
