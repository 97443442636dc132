// Runs the command line's catalogue and extraction code on arbitrary bytes as
// a volume: list (text and JSON), info, extract of the first entry by path,
// and extract-all into a scratch directory that is emptied after each input;
// diff of the volume with itself; and update of a copy (a delete, a put into a
// new directory and a rename, written, read back and renamed over the copy).
// Names, nesting and paths come from the bytes, so unsafe names, deep trees and
// paths too long for the system are all reached.
#include "Cli.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A directory of this process's own, removed when the fuzzer exits.
struct Scratch {
    fs::path dir;
    Scratch()
    {
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path(ec);
        dir = base / ("korvix-catalogue-fuzz-" + std::to_string(getpid()));
        fs::create_directories(dir, ec);
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

const fs::path& scratch()
{
    static const Scratch s;
    return s.dir;
}

int run(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    cli::Io io{out, err};
    return cli::run(args, io);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = memfd_create("volume", 0);
    if (fd < 0)
        return 0;
    if (write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    const std::string volume = "/proc/self/fd/" + std::to_string(fd);
    run({"list", volume});
    run({"list", volume, "--json"});
    run({"info", volume, "--json"});
    const fs::path out = scratch() / "out";
    run({"extract", volume, "#0", "-o", (scratch() / "one").string()});
    run({"extract-all", volume, out.string()});
    run({"diff", volume, volume});

    // The rewrite reads the catalogue and every entry as the walk reports them.
    const fs::path copy = scratch() / "v.qrb";
    const fs::path put = scratch() / "put.bin";
    {
        std::ofstream(copy, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        std::ofstream(put, std::ios::binary) << "seven b";
    }
    run({"update", copy.string(), "--delete", "#0", "--put", "new/dir/x.bin=" + put.string(), "--rename", "#1=renamed",
         "--quiet"});
    run({"update", copy.string(), "--put", "#2=" + put.string(), "--comment", "c", "--backup", "--quiet"});

    std::error_code ec;
    fs::remove_all(out, ec);
    fs::remove(scratch() / "one", ec);
    fs::remove(copy, ec);
    fs::remove(put, ec);
    fs::remove(scratch() / "v.qrb.bak", ec);
    close(fd);
    return 0;
}
