// korvix-write-hostile DIR: writes the hostile files into DIR (made if missing).
#include "HostileFiles.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: korvix-write-hostile DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (const hostile::HostileFile& f : hostile::imageFiles()) {
        std::ofstream out(dir / f.name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
        if (!out) {
            std::cerr << "korvix-write-hostile: cannot write " << (dir / f.name).string() << '\n';
            return 1;
        }
    }
    return 0;
}
