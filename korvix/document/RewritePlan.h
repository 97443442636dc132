// What a rewrite of a volume will write: the volume as opened, with an ordered
// list of changes applied to it one by one. A change is checked when it is
// applied, against the volume as the changes before it left it, and a refused
// change leaves the plan as it was. Nothing is written here; rewriteVolume()
// (VolumeRewrite.h) writes the plan as a new volume.
//
// How to use it:
//   RewritePlan plan;
//   if (!plan.load(volume, tree)) ... plan.failure() says why;
//   for (const VolumeChange& c : changes) {
//       const ChangeOutcome o = plan.apply(c);
//       if (!o.ok()) ... o.refusal says why; o.file names the file it concerns
//       else ... o.report says what the change does (for a confirmation or a dry run)
//   }
//
// Entries are named as everywhere else: "#<catalogue index>" names an entry of
// the volume as it was opened (it keeps naming it after a rename), a
// '/'-separated path names an entry as the changes before left the volume,
// matched without regard to case; empty parts are skipped. Paths and names
// are UTF-8.
//
// The new volume keeps what no change touched: the entries' bytes, their order
// in the catalogue, their flags (the "last in its list" flag follows the new
// lists) and attributes, the comment block, the header's reserved fields and
// the signature's bytes 12 to 15. A new entry goes where pack would put it:
// into its directory's list before the first name that sorts after it,
// ignoring case; a new directory's list after all lists of the volume as
// opened. The data lies behind the catalogue in catalogue order. A directory
// left without entries is left out, as pack leaves out empty directories: the
// format cannot express one.
#pragma once

#include "common/Text.h"
#include "document/CatalogueTree.h"

#include <qorbm.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct VolumeChange {
    enum class Kind {
        Put,        // the entry takes a file's bytes: replaced at any size, or added with missing directories
        Delete,     // a file, or a directory with everything below it
        Rename,     // a new name by the one name rule
        Comment,
        Timestamp,
    };
    Kind kind = Kind::Put;
    std::string entry;  // Put, Delete, Rename: "#N" or a path (UTF-8)
    std::string value;  // Put: the file's path; Rename: the new name; Comment: the text (UTF-8)
    korvix::DosDateTime time;  // Timestamp

    static VolumeChange put(std::string entry, std::string file) { return {Kind::Put, std::move(entry), std::move(file), {}}; }
    static VolumeChange remove(std::string entry) { return {Kind::Delete, std::move(entry), {}, {}}; }
    static VolumeChange rename(std::string entry, std::string name) { return {Kind::Rename, std::move(entry), std::move(name), {}}; }
    static VolumeChange comment(std::string text) { return {Kind::Comment, {}, std::move(text), {}}; }
    static VolumeChange timestamp(const korvix::DosDateTime& time) { return {Kind::Timestamp, {}, {}, time}; }
    // "#<index>": the entry at catalogue index `index` of the volume as opened.
    static std::string entryAt(int index) { return "#" + std::to_string(index); }
};

// What an applied change does, for confirmations, dry runs and reports.
struct ChangeReport {
    enum class Effect { Added, Replaced, Deleted, Renamed, Comment, Timestamp };
    Effect effect = Effect::Added;
    std::string path;     // the entry's path before the change (Added: the new entry's path), UTF-8
    std::string newPath;  // Renamed: the path after the change
    bool directory = false;
    // Sizes in bytes: Added has no old size, Deleted no new one; a deleted
    // directory counts the bytes of the files below it.
    std::optional<std::uint64_t> oldSize;
    std::optional<std::uint64_t> newSize;
    std::uint64_t files = 0;                   // Deleted: the files it takes with it
    std::vector<std::string> madeDirectories;  // Added: directories made on the way, outermost first
    // Deleted: directories the change leaves without entries; they are left
    // out unless a later change puts something into them.
    std::vector<std::string> emptiedDirectories;
    std::string oldText, newText;  // Comment (UTF-8) and Timestamp ("YYYY-MM-DD HH:MM:SS", as stored)
};

struct ChangeOutcome {
    std::string refusal;  // why the change is refused, in the chosen language; empty when applied
    std::string file;     // the file a refusal concerns (a Put's file); empty: the volume
    ChangeReport report;
    bool ok() const { return refusal.empty(); }
};

class RewritePlan {
public:
    // Takes the volume open in `volume` as it is in the file now (comment
    // block, header and catalogue are read again, so that edits made in place
    // since the volume was opened are kept) with the walk's shape `tree`.
    // False when they cannot be read or the walk does not reach every entry of
    // the catalogue (failure() says why); nothing is held then.
    bool load(tarvos::GGroup& volume, const CatalogueTree& tree);
    const std::string& failure() const { return m_strFailure; }
    bool loaded() const { return !m_nodes.empty(); }

    ChangeOutcome apply(const VolumeChange& change);
    // How many changes were applied.
    std::size_t changeCount() const { return m_nChanges; }

    // The new volume, laid out: what rewriteVolume() writes and checks.
    struct Piece {
        std::uint64_t to = 0;    // offset in the new volume
        std::uint64_t size = 0;
        bool fromVolume = true;  // else from `file`
        std::uint64_t from = 0;  // offset in the volume as opened
        std::string file;        // the file a Put gave
        std::uint32_t entry = 0; // the new catalogue index of the first entry the piece holds
    };
    struct Layout {
        std::vector<std::uint8_t> head;  // comment block, header and catalogue
        std::vector<Piece> pieces;       // the data, in the order of the new file, each after the one before
        std::vector<int> parents;        // each new entry's parent as the walk reports it (-99 at the top level)
        std::vector<int> nodes;          // each new entry's node in the plan, for entryPath()
        std::uint32_t entries = 0;
        std::uint32_t files = 0;
        std::uint64_t dataBytes = 0;
        std::uint64_t size = 0;  // the new volume's length
        std::string failure;     // why it cannot be written (an entry whose data the volume lacks, too large)
        bool ok() const { return failure.empty(); }
    };
    // `volumeLength` is the length of the volume as opened: an unchanged file
    // whose data reaches past it cannot be written. Throws std::bad_alloc.
    Layout layout(std::uint64_t volumeLength) const;
    // The path (UTF-8) of entry `entry` of the new volume `layout` describes.
    std::string entryPath(const Layout& layout, std::uint32_t entry) const
    {
        return entry < layout.nodes.size() ? pathOf(layout.nodes[entry]) : std::string();
    }

private:
    struct Node {
        std::string name;           // ISO-8859-1
        std::vector<int> children;  // node ids, in list order
        int parent = 0;             // node id; 0 is the root
        int original = -1;          // catalogue index in the volume as opened; -1 for a new entry
        std::uint64_t listKey = ~std::uint64_t{0};  // where the list stood in the volume as opened
        std::uint64_t size = 0;     // a file's data length
        int file = -1;              // a Put's file (m_files), when the data comes from one
        bool directory = false;
        bool live = true;
        bool renamed = false;       // the name field is written anew
        bool fromFile = false;
    };
    struct Found {
        int node = -1;
        std::string refusal;
    };

    Found find(std::string_view spec) const;
    int childNamed(int parent, std::string_view latin1) const;
    std::string pathOf(int node) const;  // UTF-8
    ChangeOutcome put(const VolumeChange& change);
    ChangeOutcome remove(const VolumeChange& change);
    ChangeOutcome rename(const VolumeChange& change);
    ChangeOutcome setComment(const VolumeChange& change);
    ChangeOutcome setTimestamp(const VolumeChange& change);
    int addNode(int parent, std::string latin1, bool directory);
    int fileIndex(const std::string& path);
    const std::uint8_t* rawEntry(int original) const;

    std::vector<Node> m_nodes;        // node 0 is the root, node i + 1 catalogue entry i
    std::vector<std::string> m_files;  // the files Puts gave
    std::vector<std::uint8_t> m_head;  // the volume's comment block, header and catalogue as read
    std::uint32_t m_nEntries = 0;
    std::optional<std::string> m_comment;    // ISO-8859-1, when changed
    std::optional<std::uint32_t> m_timestamp;
    std::size_t m_nChanges = 0;
    std::string m_strFailure;
};
