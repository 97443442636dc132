// pack DIR OUT [--comment TEXT] [--timestamp "YYYY-MM-DD HH:MM:SS"]: builds a volume.
//
// Layout: comment block, header, catalogue, then the file data in catalogue
// order. The top-level list starts the catalogue; the lists of the directories
// follow breadth-first, each directory's offset naming the start of its list.
#include "Cli.h"
#include "Language.h"
#include "TimeArgument.h"
#include "common/Text.h"
#include "document/EntryNameRule.h"

#include "ProgressLine.h"

#include "common/AtomicFile.h"
#include "common/SyncBatch.h"

#include <qorbm.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <ostream>

#include <fnmatch.h>

namespace fs = std::filesystem;

namespace cli {

using namespace korvix;
using korvix::MessageId;

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

// What the walk of the source tree needs besides the tree itself.
struct ScanOptions {
    std::vector<std::string> excludes;  // globs: without '/' on names, with '/' on paths from DIR
    bool followLinks = false;
};

bool excluded(const ScanOptions& options, const std::string& name, const std::string& relative)
{
    for (const std::string& pattern : options.excludes) {
        if (pattern.find('/') == std::string::npos ? fnmatch(pattern.c_str(), name.c_str(), 0) == 0
                                                   : fnmatch(pattern.c_str(), relative.c_str(), FNM_PATHNAME) == 0)
            return true;
    }
    return false;
}

// Reads the directory tree, sorted by name. Empty directories cannot be stored
// (a directory's offset must name a list) and are left out with a warning.
// `chain` holds the real paths of the directories being read, so a followed
// link back up the tree is refused instead of recursing without end.
void scan(Node& dir, const std::string& relative, const ScanOptions& options, std::vector<fs::path>& chain, Io& io,
          std::uint64_t& files)
{
    std::error_code ec;
    for (fs::directory_iterator it(dir.path, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path p = it->path();
        const std::string utf8Name = p.filename().string();
        const std::string childRelative = relative.empty() ? utf8Name : relative + "/" + utf8Name;
        if (excluded(options, utf8Name, childRelative))
            continue;
        // The names a rename would refuse are refused here too, with the same reasons.
        const EntryNameRule::Verdict name = EntryNameRule::checkUtf8(utf8Name);
        if (!name.ok())
            throw Failure("pack", p.string(), EntryNameRule::describe(name.refusal, {}, tableLanguage()));
        const fs::file_status linkStatus = fs::symlink_status(p, ec);
        if (fs::is_symlink(linkStatus) && !options.followLinks) {
            reportError(io, "pack", p.string(), tr(MessageId::CliPackLinkLeftOut));
            continue;
        }
        Node child{name.latin1, p, false, 0, {}};
        const fs::file_status st = fs::status(p, ec);
        ec.clear();
        if (fs::is_directory(st)) {
            const fs::path real = fs::canonical(p, ec);
            if (ec)
                throw Failure("pack", p.string(), format(MessageId::CliCannotReadDirectoryFormat, ec.message()));
            if (std::find(chain.begin(), chain.end(), real) != chain.end())
                throw Failure("pack", p.string(), tr(MessageId::CliPackLinkLoop));
            child.dir = true;
            chain.push_back(real);
            scan(child, childRelative, options, chain, io, files);
            chain.pop_back();
            if (child.children.empty()) {
                reportError(io, "pack", p.string(), tr(MessageId::CliPackEmptyDirectory));
                continue;
            }
        } else if (fs::is_regular_file(st)) {
            child.size = fs::file_size(p, ec);
            if (ec)
                throw Failure("pack", p.string(), format(MessageId::CliCannotReadFileFormat, ec.message()));
            ++files;
        } else if (!fs::exists(st)) {
            reportError(io, "pack", p.string(), tr(MessageId::CliPackDanglingLink));
            continue;
        } else {
            reportError(io, "pack", p.string(), tr(MessageId::CliPackNotRegular));
            continue;
        }
        dir.children.push_back(std::move(child));
    }
    if (ec)
        throw Failure("pack", dir.path.string(), format(MessageId::CliCannotReadDirectoryFormat, ec.message()));
    std::sort(dir.children.begin(), dir.children.end(), [](const Node& a, const Node& b) {
        const std::string fa = foldLatin1(a.name), fb = foldLatin1(b.name);
        return fa != fb ? fa < fb : a.name < b.name;
    });
    // Lookups in a volume ignore case, so of two names that differ only in case
    // the second could never be reached.
    for (std::size_t k = 1; k < dir.children.size(); ++k)
        if (EntryNameRule::sameName(dir.children[k - 1].name, dir.children[k].name))
            throw Failure("pack", dir.children[k].path.string(),
                          EntryNameRule::describe(EntryNameRule::Refusal::Taken,
                                                  latin1ToUtf8(dir.children[k - 1].name), tableLanguage()));
}

bool isInside(const fs::path& inner, const fs::path& outer)
{
    const auto rel = inner.lexically_relative(outer);
    return !rel.empty() && *rel.begin() != "..";
}

// The volume's time: --timestamp, else SOURCE_DATE_EPOCH (UTC, for reproducible
// volumes), else the local time now.
std::uint32_t packTimestamp(const Args& args)
{
    if (const auto text = args.value("--timestamp")) {
        const auto t = parseDosTime(*text);
        if (!t)
            throw UsageError(tr(MessageId::CliPackTimestampWants));
        return toDosTimestamp(*t);
    }
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        const auto t = fromEpochSeconds(epoch);
        if (!t)
            throw UsageError(tr(MessageId::CliSourceDateEpoch));
        return toDosTimestamp(*t);
    }
    DosDateTime now = localNow();
    now.year = std::clamp(now.year, 1980, 2107);
    return toDosTimestamp(now);
}

// What --dry-run shows: each entry's path from DIR and its size, depth first.
void printPlan(const Node& dir, std::ostream& out, const std::string& prefix = "")
{
    for (const Node& c : dir.children) {
        const std::string path = prefix + latin1ToUtf8(c.name);
        if (c.dir) {
            out << std::setw(12) << "-" << "  " << path << "/\n";
            printPlan(c, out, path + "/");
        } else {
            out << std::setw(12) << c.size << "  " << path << '\n';
        }
    }
}

int runPack(const Args& args, Io& io)
{
    const fs::path dir = args.positionals[0];
    const fs::path out = args.positionals[1];
    std::error_code ec;
    if (!fs::is_directory(dir, ec))
        throw Failure("pack", dir.string(), tr(MessageId::CliNotADirectory));

    std::string comment;
    if (const auto text = args.value("--comment")) {
        const auto latin1 = utf8ToLatin1(*text);
        if (!latin1)
            throw UsageError(tr(MessageId::CliCommentCharacters));
        if (latin1->size() > tarvos::QORB_COMMENT_SIZE)
            throw UsageError(tr(MessageId::CliCommentTooLong));
        if (latin1->find_first_of(std::string("\x1A\0", 2)) != std::string::npos)
            throw UsageError(tr(MessageId::CliCommentBytes));
        comment = *latin1;
    }
    const std::uint32_t timestamp = packTimestamp(args);

    const fs::path canonicalDir = fs::weakly_canonical(dir);
    const fs::path canonicalOut = fs::weakly_canonical(out);
    if (isInside(canonicalOut, canonicalDir))
        throw Failure("pack", out.string(), tr(MessageId::CliPackIntoItself));

    Node root{"", dir, true, 0, {}};
    std::uint64_t files = 0;
    ScanOptions options{args.values("--exclude"), args.has("--follow-links")};
    std::vector<fs::path> chain{canonicalDir};
    scan(root, "", options, chain, io, files);

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
                    throw Failure("pack", c.path.string(), tr(MessageId::CliPackTooLarge));
                put32(rec + 64, static_cast<std::uint32_t>(dataOffset));
                put32(rec + 68, static_cast<std::uint32_t>(c.size));
                dataOffset += c.size;
                dataOrder.push_back(&c);
            }
            put32(rec + 72, flags);
        }
    }

    if (args.has("--dry-run")) {
        printPlan(root, io.out);
        io.out << format(MessageId::CliPackDryRunFormat, static_cast<unsigned long long>(entryCount),
                         static_cast<unsigned long long>(files), static_cast<unsigned long long>(dataOffset))
               << '\n';
        return exitOk;
    }

    std::array<unsigned char, 296> head{};
    std::memset(head.data(), 0x1A, 256);
    std::memcpy(head.data(), comment.data(), comment.size());
    std::memcpy(head.data() + 256, tarvos::QORB_SIGNATURE, 12);
    put32(head.data() + 272, static_cast<std::uint32_t>(entryCount));
    put32(head.data() + 276, static_cast<std::uint32_t>(files));
    put32(head.data() + 280, timestamp);

    ProgressLine progress(io, args);
    ProgressCounts counts{0, files, 0, dataOffset - (tarvos::QORB_CATALOGUE_OFFSET + catalogue.size())};
    progress.update(counts);
    try {
        // Durability once for the run: the volume is renamed into place, and
        // one sync at the end brings it and the rename to disk.
        SyncBatch batch;
        AtomicFile file(out, &batch);
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
                counts.bytes += static_cast<std::uint64_t>(in.gcount());
            }
            if (left != 0 || in.peek() != std::ifstream::traits_type::eof())
                throw Failure("pack", f->path.string(), tr(MessageId::CliPackFileChanged));
            ++counts.done;
            progress.update(counts);
        }
        file.commit();
        if (const std::error_code ec = batch.sync())
            throw Failure("pack", out.string(), format(MessageId::CliCannotSyncFormat, ec.message()));
    } catch (const Failure&) {
        throw;
    } catch (const std::runtime_error& err) {
        throw Failure("pack", out.string(), err.what());
    }
    progress.clear();
    if (!args.has("--quiet"))
        io.err << format(MessageId::CliPackedFormat, static_cast<unsigned long long>(entryCount),
                         static_cast<unsigned long long>(files), out.string())
               << '\n';
    return exitOk;
}

}  // namespace

CommandSpec packCommand()
{
    return {"pack", "DIR OUT", tr(MessageId::CliPackSummary), tr(MessageId::CliPackDescription), 2, 2,
            {{"--comment", "TEXT", tr(MessageId::CliOptionComment)},
             {"--timestamp", "TIME", tr(MessageId::CliOptionTimestamp)},
             {"--exclude", "PATTERN", tr(MessageId::CliOptionExclude), {}, true},
             {"--follow-links", "", tr(MessageId::CliOptionFollowLinks)},
             {"--dry-run", "", tr(MessageId::CliOptionDryRun)},
             progressOption(),
             quietOption()},
            runPack};
}

}  // namespace cli
