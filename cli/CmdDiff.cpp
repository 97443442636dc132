// diff OLD NEW [--json]: what a mod changes. Entries are matched by their path
// as stored; files of the same path are compared by size, then by content;
// a path gone and a new path with identical bytes is a rename. The comment and
// the timestamp are compared as well. Exit 0 when the volumes are equal, 1 when
// they differ, 2 on an error, as diff(1) does.
//
// What is held: the two catalogues (the library's copies and the walks'
// shapes), each entry's path, and one megabyte of each volume at a time.
#include "Cli.h"
#include "CliVolume.h"
#include "JsonOut.h"
#include "Language.h"
#include "ProgressLine.h"

#include "common/Text.h"
#include "document/VolumeFailure.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <ostream>

namespace cli {

using korvix::MessageId;
using Json = nlohmann::ordered_json;

namespace {

constexpr std::size_t CHUNK = std::size_t{1} << 20;

struct Entry {
    std::string path;  // UTF-8
    int index;
    bool directory;
    std::uint64_t size;
};

// Every entry with its path, sorted by path.
std::vector<Entry> entriesOf(const CliVolume& vol)
{
    std::vector<Entry> out;
    std::vector<std::string> paths(vol.tree().size());
    // The walk reports a directory before what lies in it, so its path is known first.
    for (const int i : vol.tree().walkOrder()) {
        tarvos::QORBEntry e{};
        vol.group().getCatalogueEntry(i, e);
        const int parent = vol.parentOf(i);
        std::string path = parent >= 0 ? paths[static_cast<std::size_t>(parent)] + "/" : std::string();
        path += korvix::latin1ToUtf8(EntryCatalogue::nameOf(e).view());
        const bool dir = e.flags & tarvos::QORB_FLAG_DIRECTORY;
        out.push_back({path, i, dir, dir ? 0 : e.size});
        paths[static_cast<std::size_t>(i)] = std::move(path);
    }
    std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return a.path < b.path; });
    return out;
}

class Comparison {
public:
    Comparison(CliVolume& a, CliVolume& b, ProgressLine& line) : m_a(a), m_b(b), m_line(line) {}

    // Whether two files of the same size hold the same bytes, read a piece at a time.
    bool sameBytes(const Entry& x, const Entry& y)
    {
        const EntryRecord rx = readable(m_a, x.index), ry = readable(m_b, y.index);
        m_bufferA.resize(std::min<std::size_t>(CHUNK, rx.size));
        m_bufferB.resize(m_bufferA.size());
        bool same = true;
        for (std::uint64_t done = 0; done < rx.size && same;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(CHUNK, rx.size - done));
            read(m_a, rx.offset + done, n, m_bufferA.data());
            read(m_b, ry.offset + done, n, m_bufferB.data());
            same = std::memcmp(m_bufferA.data(), m_bufferB.data(), n) == 0;
            done += n;
            m_counts.bytes += n;
            m_line.update(m_counts);
        }
        ++m_counts.done;
        m_line.update(m_counts);
        return same;
    }
    // A hash of a file's bytes, to find renames without comparing every pair.
    std::uint64_t hashOf(CliVolume& vol, const Entry& e)
    {
        const EntryRecord r = readable(vol, e.index);
        std::uint64_t h = 0xCBF29CE484222325ull;
        m_bufferA.resize(std::min<std::size_t>(CHUNK, r.size));
        for (std::uint64_t done = 0; done < r.size;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(CHUNK, r.size - done));
            read(vol, r.offset + done, n, m_bufferA.data());
            for (std::size_t k = 0; k < n; ++k)
                h = (h ^ m_bufferA[k]) * 0x100000001B3ull;
            done += n;
        }
        return h;
    }
    ProgressCounts& counts() { return m_counts; }

private:
    // The record of a file whose data the volume holds.
    static EntryRecord readable(const CliVolume& vol, int index)
    {
        const EntryRecord r = vol.record(index);
        if (r.damaged)
            throw Failure("diff", vol.path(),
                          format(MessageId::CliEntryBeyondVolumeFormat, index,
                                 entryRangeFailure(r, vol.group().fileSize(), tableLanguage())));
        return r;
    }
    static void read(CliVolume& vol, std::uint64_t offset, std::size_t size, unsigned char* into)
    {
        if (size > 0 && !vol.group().getDataBlock(static_cast<unsigned long>(offset), size, into))
            throw Failure("diff", vol.path(), format(MessageId::CliCannotReadBytesFormat,
                                                     static_cast<unsigned long long>(size),
                                                     static_cast<unsigned long long>(offset)));
    }

    CliVolume& m_a;
    CliVolume& m_b;
    ProgressLine& m_line;
    ProgressCounts m_counts;
    std::vector<unsigned char> m_bufferA, m_bufferB;
};

std::string commentText(const CliVolume& vol)
{
    return korvix::latin1ToUtf8(vol.comment());
}

std::string timestampText(const CliVolume& vol)
{
    const auto t = korvix::fromDosTimestamp(vol.header().timestamp);
    return t ? korvix::formatDateTime(*t) : std::to_string(vol.header().timestamp);
}

int compare(const Args& args, Io& io)
{
    CliVolume oldVol(args.positionals[0]);
    CliVolume newVol(args.positionals[1]);
    const std::vector<Entry> before = entriesOf(oldVol);
    const std::vector<Entry> after = entriesOf(newVol);

    ProgressLine line(io, args);
    Comparison cmp(oldVol, newVol, line);
    std::vector<const Entry*> added, removed;
    std::vector<std::pair<const Entry*, const Entry*>> changed, renamed;
    // Files of the same path first: their count is the line's total.
    for (std::size_t i = 0, j = 0; i < before.size() || j < after.size();) {
        const int order = i == before.size() ? 1 : j == after.size() ? -1 : before[i].path.compare(after[j].path);
        if (order < 0) {
            removed.push_back(&before[i++]);
        } else if (order > 0) {
            added.push_back(&after[j++]);
        } else {
            const Entry& x = before[i++];
            const Entry& y = after[j++];
            if (x.directory != y.directory) {
                removed.push_back(&x);
                added.push_back(&y);
            } else if (!x.directory) {
                cmp.counts().total += 1;
                cmp.counts().bytesTotal += x.size == y.size ? x.size : 0;
                changed.push_back({&x, &y});
            }
        }
    }
    std::erase_if(changed, [&](const auto& pair) {
        return pair.first->size == pair.second->size && cmp.sameBytes(*pair.first, *pair.second);
    });

    // Renames: a removed and an added file of the same size and the same
    // bytes; the hash only narrows the candidates down.
    std::map<std::uint64_t, std::vector<const Entry*>> addedBySize;
    for (const Entry* e : added)
        if (!e->directory)
            addedBySize[e->size].push_back(e);
    std::vector<const Entry*> gone;
    std::vector<const Entry*> taken;
    std::map<const Entry*, std::uint64_t> addedHashes;
    const auto addedHash = [&](const Entry* e) {
        const auto known = addedHashes.find(e);
        return known != addedHashes.end() ? known->second : addedHashes[e] = cmp.hashOf(newVol, *e);
    };
    for (const Entry* r : removed) {
        const auto candidates = r->directory ? addedBySize.end() : addedBySize.find(r->size);
        const Entry* match = nullptr;
        if (candidates != addedBySize.end()) {
            const std::uint64_t h = cmp.hashOf(oldVol, *r);
            for (const Entry* c : candidates->second) {
                if (std::find(taken.begin(), taken.end(), c) == taken.end() && addedHash(c) == h
                    && cmp.sameBytes(*r, *c)) {
                    match = c;
                    break;
                }
            }
        }
        if (match) {
            renamed.push_back({r, match});
            taken.push_back(match);
        } else {
            gone.push_back(r);
        }
    }
    removed = std::move(gone);
    std::erase_if(added, [&](const Entry* e) { return std::find(taken.begin(), taken.end(), e) != taken.end(); });
    line.clear();

    const bool commentDiffers = oldVol.comment() != newVol.comment();
    const bool timeDiffers = oldVol.header().timestamp != newVol.header().timestamp;
    const bool equal = added.empty() && removed.empty() && changed.empty() && renamed.empty() && !commentDiffers
                       && !timeDiffers;

    if (args.has("--json")) {
        Json doc;
        doc["version"] = jsonVersion;
        doc["type"] = "diff";
        doc["old"] = args.positionals[0];
        doc["new"] = args.positionals[1];
        doc["equal"] = equal;
        const auto listed = [](const std::vector<const Entry*>& entries) {
            Json list = Json::array();
            for (const Entry* e : entries)
                list.push_back({{"path", e->path}, {"directory", e->directory},
                                {"size", e->directory ? Json(nullptr) : Json(e->size)}});
            return list;
        };
        doc["added"] = listed(added);
        doc["removed"] = listed(removed);
        doc["changed"] = Json::array();
        for (const auto& [x, y] : changed)
            doc["changed"].push_back({{"path", x->path}, {"oldSize", x->size}, {"newSize", y->size}});
        doc["renamed"] = Json::array();
        for (const auto& [x, y] : renamed)
            doc["renamed"].push_back({{"oldPath", x->path}, {"newPath", y->path}, {"size", x->size}});
        Json header = Json::object();
        header["comment"] = commentDiffers ? Json{{"old", commentText(oldVol)}, {"new", commentText(newVol)}}
                                           : Json(nullptr);
        header["timestamp"] = timeDiffers ? Json{{"old", timestampText(oldVol)}, {"new", timestampText(newVol)}}
                                          : Json(nullptr);
        doc["header"] = header;
        io.out << doc.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    } else {
        const auto ull = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
        for (const Entry* e : added)
            io.out << (e->directory ? format(MessageId::CliDiffAddedDirectoryFormat, e->path)
                                    : format(MessageId::CliDiffAddedFormat, e->path, ull(e->size)))
                   << '\n';
        for (const Entry* e : removed)
            io.out << (e->directory ? format(MessageId::CliDiffRemovedDirectoryFormat, e->path)
                                    : format(MessageId::CliDiffRemovedFormat, e->path, ull(e->size)))
                   << '\n';
        for (const auto& [x, y] : changed)
            io.out << format(MessageId::CliDiffChangedFormat, x->path, ull(x->size), ull(y->size)) << '\n';
        for (const auto& [x, y] : renamed)
            io.out << format(MessageId::CliDiffRenamedFormat, x->path, y->path, ull(x->size)) << '\n';
        if (commentDiffers)
            io.out << format(MessageId::CliUpdateCommentFormat, commentText(oldVol), commentText(newVol)) << '\n';
        if (timeDiffers)
            io.out << format(MessageId::CliUpdateTimestampFormat, timestampText(oldVol), timestampText(newVol)) << '\n';
    }
    return equal ? exitOk : exitFailure;
}

int runDiff(const Args& args, Io& io)
{
    // As diff(1): 1 means "they differ", so every trouble is 2.
    try {
        return compare(args, io);
    } catch (const Failure& failure) {
        throw Failure(failure.stage, failure.file, failure.what(), exitUsage);
    } catch (const std::bad_alloc&) {
        throw Failure("diff", "", tr(MessageId::CliOutOfMemory), exitUsage);
    }
}

}  // namespace

CommandSpec diffCommand()
{
    return {"diff", "OLD NEW", tr(MessageId::CliDiffSummary), tr(MessageId::CliDiffDescription), 2, 2,
            {{"--json", "", tr(MessageId::CliOptionJson)}, progressOption(), quietOption()}, runDiff};
}

}  // namespace cli
