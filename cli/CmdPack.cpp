// pack DIR OUT [--comment TEXT] [--timestamp "YYYY-MM-DD HH:MM:SS"]: builds a volume.
//
// Layout: comment block, header, catalogue, then the file data in catalogue
// order. The top-level list starts the catalogue; the lists of the directories
// follow breadth-first, each directory's offset naming the start of its list.
#include "Cli.h"
#include "common/Text.h"

#include "common/AtomicFile.h"

#include <qorbm.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <ostream>

namespace fs = std::filesystem;

namespace cli {

using namespace korvix;

namespace {

struct Node {
    std::string name;  // ISO-8859-1
    fs::path path;
    bool dir = false;
    std::uint64_t size = 0;
    std::vector<Node> children;
};

void put32(unsigned char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Reads the directory tree, sorted by name. Empty directories cannot be stored
// (a directory's offset must name a list) and are left out with a warning.
void scan(Node& dir, Io& io, std::uint64_t& files)
{
    std::error_code ec;
    for (fs::directory_iterator it(dir.path, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path p = it->path();
        const auto name = utf8ToLatin1(p.filename().string());
        if (!name)
            throw Failure("pack", p.string(), "the name holds characters a volume name cannot hold");
        if (name->size() > 64)
            throw Failure("pack", p.string(), "the name is longer than 64 characters");
        if (!name->empty() && name->back() == ' ')
            throw Failure("pack", p.string(), "the name ends with a blank, which a volume name cannot keep");
        Node child{*name, p, false, 0, {}};
        const fs::file_status st = fs::status(p, ec);
        if (fs::is_directory(st)) {
            child.dir = true;
            scan(child, io, files);
            if (child.children.empty()) {
                reportError(io, "pack", p.string(), "warning: empty directory left out");
                continue;
            }
        } else if (fs::is_regular_file(st)) {
            child.size = fs::file_size(p, ec);
            ++files;
        } else {
            reportError(io, "pack", p.string(), "warning: not a regular file, left out");
            continue;
        }
        dir.children.push_back(std::move(child));
    }
    if (ec)
        throw Failure("pack", dir.path.string(), "cannot read the directory: " + ec.message());
    std::sort(dir.children.begin(), dir.children.end(), [](const Node& a, const Node& b) {
        const std::string fa = foldLatin1(a.name), fb = foldLatin1(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
}

bool isInside(const fs::path& inner, const fs::path& outer)
{
    const auto rel = inner.lexically_relative(outer);
    return !rel.empty() && *rel.begin() != "..";
}

std::uint32_t currentTimestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    DosDateTime t{std::clamp(tm.tm_year + 1900, 1980, 2107), tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec - tm.tm_sec % 2};
    return toDosTimestamp(t);
}

int runPack(const Args& args, Io& io)
{
    const fs::path dir = args.positionals[0];
    const fs::path out = args.positionals[1];
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw Failure("pack", dir.string(), "not a directory");

    std::string comment;
    if (const auto text = args.value("--comment")) {
        const auto latin1 = utf8ToLatin1(*text);
        if (!latin1)
            throw UsageError("the comment holds characters a volume cannot hold");
        if (latin1->size() > tarvos::QORB_COMMENT_SIZE)
            throw UsageError("the comment is longer than 256 characters");
        if (latin1->find_first_of(std::string("\x1A\0", 2)) != std::string::npos)
            throw UsageError("the comment holds a byte 0x1A or a zero byte, which a volume cannot keep");
        comment = *latin1;
    }
    std::uint32_t timestamp = 0;
    if (const auto text = args.value("--timestamp")) {
        const auto t = parseDateTime(*text);
        if (!t)
            throw UsageError("--timestamp wants \"YYYY-MM-DD HH:MM:SS\" between 1980-01-01 and 2107-12-31");
        timestamp = toDosTimestamp(*t);
    } else {
        timestamp = currentTimestamp();
    }

    const fs::path canonicalDir = fs::weakly_canonical(dir);
    const fs::path canonicalOut = fs::weakly_canonical(out);
    if (isInside(canonicalOut, canonicalDir))
        throw Failure("pack", out.string(), "refusing to write the volume inside the directory it packs");

    Node root{"", dir, true, 0, {}};
    std::uint64_t files = 0;
    scan(root, io, files);

    // Breadth-first lists: the catalogue index of each node's list is known
    // once every list before it has been laid out.
    std::deque<const Node*> queue{&root};
    std::vector<std::pair<const Node*, std::uint32_t>> lists;
    std::uint64_t next = 0;
    while (!queue.empty()) {
        const Node* d = queue.front();
        queue.pop_front();
        lists.push_back({d, static_cast<std::uint32_t>(next)});
        next += d->children.size();
        for (const Node& c : d->children)
            if (c.dir)
                queue.push_back(&c);
    }
    const std::uint64_t entryCount = next;
    std::uint64_t dataOffset = tarvos::QORB_CATALOGUE_OFFSET + entryCount * sizeof(tarvos::QORBEntry);
    std::vector<unsigned char> catalogue(entryCount * sizeof(tarvos::QORBEntry));
    std::vector<const Node*> dataOrder;
    dataOrder.reserve(files);

    // Directories are placed in the queue in the same order as their lists.
    std::size_t nextList = 1;
    std::uint64_t index = 0;
    for (const auto& [d, start] : lists) {
        for (std::size_t k = 0; k < d->children.size(); ++k, ++index) {
            const Node& c = d->children[k];
            unsigned char* rec = catalogue.data() + index * sizeof(tarvos::QORBEntry);
            std::memset(rec, ' ', 64);
            std::memcpy(rec, c.name.data(), c.name.size());
            std::uint32_t flags = k + 1 == d->children.size() ? tarvos::QORB_FLAG_LAST : 0;
            if (c.dir) {
                flags |= tarvos::QORB_FLAG_DIRECTORY;
                put32(rec + 64, lists[nextList++].second);
            } else {
                if (dataOffset + c.size > 0xFFFFFFFFull)
                    throw Failure("pack", c.path.string(), "the volume would grow past 4 GiB, which its offsets cannot address");
                put32(rec + 64, static_cast<std::uint32_t>(dataOffset));
                put32(rec + 68, static_cast<std::uint32_t>(c.size));
                dataOffset += c.size;
                dataOrder.push_back(&c);
            }
            put32(rec + 72, flags);
        }
    }

    std::array<unsigned char, 296> head{};
    std::memset(head.data(), 0x1A, 256);
    std::memcpy(head.data(), comment.data(), comment.size());
    std::memcpy(head.data() + 256, tarvos::QORB_SIGNATURE, 12);
    put32(head.data() + 272, static_cast<std::uint32_t>(entryCount));
    put32(head.data() + 276, static_cast<std::uint32_t>(files));
    put32(head.data() + 280, timestamp);

    try {
        AtomicFile file(out);
        file.write(head.data(), head.size());
        file.write(catalogue.data(), catalogue.size());
        std::vector<char> buffer(std::size_t{1} << 20);
        for (const Node* f : dataOrder) {
            std::ifstream in(f->path, std::ios::binary);
            std::uint64_t left = f->size;
            while (in && left > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
                in.read(buffer.data(), static_cast<std::streamsize>(n));
                file.write(buffer.data(), static_cast<std::size_t>(in.gcount()));
                left -= static_cast<std::uint64_t>(in.gcount());
            }
            if (left != 0 || in.peek() != std::ifstream::traits_type::eof())
                throw Failure("pack", f->path.string(), "the file changed or could not be read while packing");
        }
        file.commit();
    } catch (const Failure&) {
        throw;
    } catch (const std::runtime_error& err) {
        throw Failure("pack", out.string(), err.what());
    }
    io.err << "packed " << entryCount << " entries (" << files << " files) into " << out.string() << '\n';
    return exitOk;
}

}  // namespace

CommandSpec packCommand()
{
    return {"pack", "DIR OUT [--comment TEXT] [--timestamp \"YYYY-MM-DD HH:MM:SS\"]", "build a volume from a directory tree",
            "Names are stored as ISO-8859-1, at most 64 characters. Empty directories are\n"
            "left out. The timestamp defaults to now.",
            2, 2,
            {{"--comment", "TEXT", "the volume's comment (up to 256 characters)"},
             {"--timestamp", "\"YYYY-MM-DD HH:MM:SS\"", "the volume's timestamp"}},
            runPack};
}

}  // namespace cli
