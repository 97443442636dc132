#include "document/RewritePlan.h"

#include "common/MessageTable.h"
#include "document/DosTimeRule.h"
#include "document/EntryCatalogue.h"
#include "document/EntryNameRule.h"
#include "document/EntryRecord.h"
#include "document/VolumeFailure.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <system_error>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

using korvix::MessageId;
using korvix::MessageTable;
using korvix::latin1ToUtf8;

namespace {

constexpr std::size_t ENTRY_SIZE = sizeof(tarvos::QORBEntry);
constexpr std::uint64_t OFFSET_LIMIT = 0xFFFFFFFFull;

std::uint32_t get32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
           | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string said(MessageId id)
{
    return korvix::msg(id);
}

template <class... Args>
std::string said(MessageId id, Args... args)
{
    return MessageTable::format(id, args...);
}

// The parts of a path, empty ones skipped.
std::vector<std::string_view> partsOf(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// pack's order: names compared without regard to case, then as stored.
bool sortsBefore(const std::string& a, const std::string& b)
{
    const std::string fa = korvix::foldLatin1(a), fb = korvix::foldLatin1(b);
    return fa != fb ? fa < fb : a < b;
}

}  // namespace

bool RewritePlan::load(tarvos::GGroup& volume, const CatalogueTree& tree)
{
    m_nodes.clear();
    m_files.clear();
    m_head.clear();
    m_comment.reset();
    m_timestamp.reset();
    m_nChanges = 0;
    m_strFailure.clear();

    tarvos::QORBHeader header{};
    if (!volume.getCurQORBHeader(header)) {
        m_strFailure = said(MessageId::RewriteCannotReadVolume);
        return false;
    }
    m_nEntries = header.entryCount;
    if (tree.size() != m_nEntries) {
        m_strFailure = said(MessageId::RewriteCannotReadVolume);
        return false;
    }
    std::uint32_t unreached = 0;
    for (std::uint32_t i = 0; i < m_nEntries; ++i)
        unreached += tree.reported(static_cast<int>(i)) ? 0 : 1;
    if (unreached > 0) {
        m_strFailure = said(MessageId::RewriteCatalogueUnreachableFormat, unreached);
        return false;
    }
    // The head as it is in the file now: the document's own in-place edits
    // (a rename, the comment) are not in the library's copy.
    const std::uint64_t headSize = tarvos::QORB_CATALOGUE_OFFSET + std::uint64_t{m_nEntries} * ENTRY_SIZE;
    m_head.resize(static_cast<std::size_t>(headSize));
    constexpr std::uint64_t CHUNK = std::uint64_t{1} << 20;
    for (std::uint64_t at = 0; at < headSize; at += CHUNK) {
        const auto n = static_cast<unsigned long>(std::min(CHUNK, headSize - at));
        if (!volume.getDataBlock(static_cast<unsigned long>(at), n, m_head.data() + at)) {
            m_head.clear();
            m_strFailure = said(MessageId::RewriteCannotReadVolume);
            return false;
        }
    }

    m_nodes.resize(std::size_t{m_nEntries} + 1);
    m_nodes[0].directory = true;
    m_nodes[0].listKey = 0;  // the top level's list starts the catalogue
    for (const int child : tree.childrenOf(CatalogueTree::TOP_LEVEL))
        m_nodes[0].children.push_back(child + 1);
    for (std::uint32_t i = 0; i < m_nEntries; ++i) {
        tarvos::QORBEntry e{};
        std::memcpy(&e, rawEntry(static_cast<int>(i)), ENTRY_SIZE);
        Node& n = m_nodes[i + 1];
        n.name = std::string(EntryCatalogue::nameOf(e).view());
        n.original = static_cast<int>(i);
        n.directory = e.flags & tarvos::QORB_FLAG_DIRECTORY;
        n.size = n.directory ? 0 : e.size;
        const int parent = tree.parent(static_cast<int>(i));
        n.parent = parent == CatalogueTree::TOP_LEVEL ? 0 : parent + 1;
        if (n.directory) {
            for (const int child : tree.childrenOf(static_cast<int>(i)))
                n.children.push_back(child + 1);
            // A list is contiguous and in catalogue order: its first entry says where it stood.
            if (!n.children.empty())
                n.listKey = static_cast<std::uint64_t>(m_nodes[static_cast<std::size_t>(n.children.front())].original);
        }
    }
    return true;
}

const std::uint8_t* RewritePlan::rawEntry(int original) const
{
    return m_head.data() + tarvos::QORB_CATALOGUE_OFFSET + static_cast<std::size_t>(original) * ENTRY_SIZE;
}

std::string RewritePlan::pathOf(int node) const
{
    std::vector<int> chain;
    for (int n = node; n > 0 && chain.size() <= m_nodes.size(); n = m_nodes[static_cast<std::size_t>(n)].parent)
        chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '/';
        path += m_nodes[static_cast<std::size_t>(*it)].name;
    }
    return latin1ToUtf8(path);
}

int RewritePlan::childNamed(int parent, std::string_view latin1) const
{
    for (const int c : m_nodes[static_cast<std::size_t>(parent)].children)
        if (EntryNameRule::sameName(m_nodes[static_cast<std::size_t>(c)].name, latin1))
            return c;
    return -1;
}

RewritePlan::Found RewritePlan::find(std::string_view spec) const
{
    Found f;
    if (!spec.empty() && spec[0] == '#') {
        const std::string_view digits = spec.substr(1);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
            f.refusal = said(MessageId::RewriteBadIndexFormat, std::string(spec).c_str());
            return f;
        }
        const unsigned long long index = std::stoull(std::string(digits));
        if (index >= m_nEntries) {
            f.refusal = said(MessageId::RewriteNoIndexFormat, std::string(digits).c_str());
            return f;
        }
        const int node = static_cast<int>(index) + 1;
        if (!m_nodes[static_cast<std::size_t>(node)].live) {
            f.refusal = said(MessageId::RewriteEntryGoneFormat, std::string(spec).c_str());
            return f;
        }
        f.node = node;
        return f;
    }
    const auto latin1 = korvix::utf8ToLatin1(spec);
    if (!latin1) {
        f.refusal = said(MessageId::RewriteNoEntryFormat, std::string(spec).c_str());
        return f;
    }
    const std::vector<std::string_view> parts = partsOf(*latin1);
    if (parts.empty()) {
        f.refusal = said(MessageId::RewriteEmptyPath);
        return f;
    }
    int node = 0;
    for (const std::string_view part : parts) {
        node = m_nodes[static_cast<std::size_t>(node)].directory ? childNamed(node, part) : -1;
        if (node < 0) {
            f.refusal = said(MessageId::RewriteNoEntryFormat, std::string(spec).c_str());
            return f;
        }
    }
    f.node = node;
    return f;
}

int RewritePlan::fileIndex(const std::string& path)
{
    m_files.push_back(path);
    return static_cast<int>(m_files.size() - 1);
}

int RewritePlan::addNode(int parent, std::string latin1, bool directory)
{
    Node n;
    n.name = std::move(latin1);
    n.parent = parent;
    n.directory = directory;
    n.renamed = true;
    m_nodes.push_back(std::move(n));
    const int id = static_cast<int>(m_nodes.size() - 1);
    // Where pack would put it: before the first sibling whose name sorts after it.
    std::vector<int>& siblings = m_nodes[static_cast<std::size_t>(parent)].children;
    const std::string& name = m_nodes[static_cast<std::size_t>(id)].name;
    const auto at = std::find_if(siblings.begin(), siblings.end(), [&](int s) {
        return sortsBefore(name, m_nodes[static_cast<std::size_t>(s)].name);
    });
    siblings.insert(at, id);
    return id;
}

ChangeOutcome RewritePlan::apply(const VolumeChange& change)
{
    ChangeOutcome outcome;
    if (!loaded()) {
        outcome.refusal = m_strFailure.empty() ? said(MessageId::RewriteCannotReadVolume) : m_strFailure;
        return outcome;
    }
    switch (change.kind) {
    case VolumeChange::Kind::Put: outcome = put(change); break;
    case VolumeChange::Kind::Delete: outcome = remove(change); break;
    case VolumeChange::Kind::Rename: outcome = rename(change); break;
    case VolumeChange::Kind::Comment: outcome = setComment(change); break;
    case VolumeChange::Kind::Timestamp: outcome = setTimestamp(change); break;
    }
    if (outcome.ok())
        ++m_nChanges;
    return outcome;
}

ChangeOutcome RewritePlan::put(const VolumeChange& change)
{
    ChangeOutcome o;
    o.file = change.value;
    // The file first: its size is what the entry will hold.
    struct stat st {};
    if (stat(change.value.c_str(), &st) != 0) {
        o.refusal = said(MessageId::RewriteCannotReadFileFormat, std::generic_category().message(errno).c_str());
        return o;
    }
    if (!S_ISREG(st.st_mode)) {
        o.refusal = said(MessageId::RewriteNotRegularFile);
        return o;
    }
    if (static_cast<std::uint64_t>(st.st_size) > OFFSET_LIMIT) {
        o.refusal = said(MessageId::RewriteFileTooLarge);
        return o;
    }
    const int fd = open(change.value.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        o.refusal = said(MessageId::RewriteCannotReadFileFormat, std::generic_category().message(errno).c_str());
        return o;
    }
    close(fd);
    const auto size = static_cast<std::uint64_t>(st.st_size);

    // An existing file takes the bytes; a missing one is added, with the
    // directories it needs. Nothing is made before the whole path is known good.
    int node = -1;
    std::vector<std::string> missing;  // ISO-8859-1 names still to make, the last one the file
    if (!change.entry.empty() && change.entry[0] == '#') {
        const Found f = find(change.entry);
        if (f.node < 0) {
            o.file.clear();
            o.refusal = f.refusal;
            return o;
        }
        node = f.node;
    } else {
        const auto latin1 = korvix::utf8ToLatin1(change.entry);
        const std::vector<std::string_view> parts = latin1 ? partsOf(*latin1) : std::vector<std::string_view>{};
        if (latin1 && parts.empty()) {
            o.file.clear();
            o.refusal = said(MessageId::RewriteEmptyPath);
            return o;
        }
        int at = 0;
        std::size_t k = 0;
        for (; latin1 && k < parts.size(); ++k) {
            const int child = childNamed(at, parts[k]);
            if (child < 0)
                break;
            if (k + 1 < parts.size() && !m_nodes[static_cast<std::size_t>(child)].directory) {
                o.file.clear();
                o.refusal = said(MessageId::RewriteNotDirectoryFormat, pathOf(child).c_str());
                return o;
            }
            at = child;
        }
        if (latin1 && k == parts.size()) {
            node = at;
        } else {
            // The names to make, each checked by the one name rule (a sibling
            // of the same name would have been found above). A name that does
            // not convert is checked as typed, so the rule says why.
            const std::vector<std::string_view> utf8Parts = partsOf(change.entry);
            const std::size_t first = latin1 ? k : 0;
            for (std::size_t j = first; j < utf8Parts.size(); ++j) {
                const EntryNameRule::Verdict v = EntryNameRule::checkUtf8(utf8Parts[j]);
                if (!v.ok()) {
                    o.file.clear();
                    o.refusal = said(MessageId::RewriteNameFormat, std::string(utf8Parts[j]).c_str(),
                                     EntryNameRule::describe(v.refusal, {}, MessageTable::language()).c_str());
                    return o;
                }
                missing.push_back(v.latin1);
            }
            if (missing.empty()) {
                o.file.clear();
                o.refusal = said(MessageId::RewriteEmptyPath);
                return o;
            }
            node = at;
        }
    }

    if (missing.empty()) {
        Node& n = m_nodes[static_cast<std::size_t>(node)];
        if (n.directory) {
            o.file.clear();
            o.refusal = said(MessageId::RewriteIsDirectoryFormat, pathOf(node).c_str());
            return o;
        }
        o.report.effect = ChangeReport::Effect::Replaced;
        o.report.path = pathOf(node);
        o.report.oldSize = n.size;
        o.report.newSize = size;
        n.size = size;
        n.file = fileIndex(change.value);
        n.fromFile = true;
        return o;
    }
    int parent = node;
    for (std::size_t j = 0; j + 1 < missing.size(); ++j) {
        parent = addNode(parent, missing[j], true);
        o.report.madeDirectories.push_back(pathOf(parent));
    }
    const int added = addNode(parent, missing.back(), false);
    Node& n = m_nodes[static_cast<std::size_t>(added)];
    n.size = size;
    n.file = fileIndex(change.value);
    n.fromFile = true;
    o.report.effect = ChangeReport::Effect::Added;
    o.report.path = pathOf(added);
    o.report.newSize = size;
    return o;
}

ChangeOutcome RewritePlan::remove(const VolumeChange& change)
{
    ChangeOutcome o;
    const Found f = find(change.entry);
    if (f.node < 0) {
        o.refusal = f.refusal;
        return o;
    }
    Node& target = m_nodes[static_cast<std::size_t>(f.node)];
    o.report.effect = ChangeReport::Effect::Deleted;
    o.report.path = pathOf(f.node);
    o.report.directory = target.directory;
    std::uint64_t bytes = 0;
    std::vector<int> stack{f.node};
    while (!stack.empty()) {
        Node& n = m_nodes[static_cast<std::size_t>(stack.back())];
        stack.pop_back();
        n.live = false;
        if (n.directory) {
            stack.insert(stack.end(), n.children.begin(), n.children.end());
        } else {
            ++o.report.files;
            bytes += n.size;
        }
    }
    o.report.oldSize = bytes;
    std::vector<int>& siblings = m_nodes[static_cast<std::size_t>(target.parent)].children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), f.node));
    // The directories this leaves without a file below them, which the format cannot keep.
    const auto holdsFiles = [this](int directory) {
        std::vector<int> below{directory};
        while (!below.empty()) {
            const Node& n = m_nodes[static_cast<std::size_t>(below.back())];
            below.pop_back();
            if (!n.directory)
                return true;
            below.insert(below.end(), n.children.begin(), n.children.end());
        }
        return false;
    };
    for (int p = target.parent; p > 0 && !holdsFiles(p); p = m_nodes[static_cast<std::size_t>(p)].parent)
        o.report.emptiedDirectories.push_back(pathOf(p));
    return o;
}

ChangeOutcome RewritePlan::rename(const VolumeChange& change)
{
    ChangeOutcome o;
    const Found f = find(change.entry);
    if (f.node < 0) {
        o.refusal = f.refusal;
        return o;
    }
    EntryNameRule::Verdict v = EntryNameRule::checkUtf8(change.value);
    std::string takenBy;
    if (v.ok()) {
        for (const int s : m_nodes[static_cast<std::size_t>(m_nodes[static_cast<std::size_t>(f.node)].parent)].children) {
            if (s != f.node && EntryNameRule::sameName(m_nodes[static_cast<std::size_t>(s)].name, v.latin1)) {
                v.refusal = EntryNameRule::Refusal::Taken;
                takenBy = latin1ToUtf8(m_nodes[static_cast<std::size_t>(s)].name);
                break;
            }
        }
    }
    if (!v.ok()) {
        o.refusal = said(MessageId::RewriteNameFormat, change.value.c_str(),
                         EntryNameRule::describe(v.refusal, takenBy, MessageTable::language()).c_str());
        return o;
    }
    Node& n = m_nodes[static_cast<std::size_t>(f.node)];
    o.report.effect = ChangeReport::Effect::Renamed;
    o.report.path = pathOf(f.node);
    o.report.directory = n.directory;
    if (!n.directory)
        o.report.oldSize = o.report.newSize = n.size;
    n.name = v.latin1;
    n.renamed = true;
    o.report.newPath = pathOf(f.node);
    return o;
}

ChangeOutcome RewritePlan::setComment(const VolumeChange& change)
{
    ChangeOutcome o;
    const auto latin1 = korvix::utf8ToLatin1(change.value);
    if (!latin1 || latin1->size() > tarvos::QORB_COMMENT_SIZE) {
        o.refusal = said(MessageId::CommentInvalid);
        return o;
    }
    // A reader ends the comment at the first fill byte, and a zero ends text.
    if (latin1->find_first_of(std::string("\x1A\0", 2)) != std::string::npos) {
        o.refusal = said(MessageId::RewriteCommentBytes);
        return o;
    }
    o.report.effect = ChangeReport::Effect::Comment;
    if (m_comment) {
        o.report.oldText = latin1ToUtf8(*m_comment);
    } else {
        // As readers take it: up to the fill, or all 256 bytes; a zero ends the text.
        std::string_view block(reinterpret_cast<const char*>(m_head.data()), tarvos::QORB_COMMENT_SIZE);
        block = block.substr(0, block.front() == 0x1A ? 0 : block.find_last_not_of('\x1A') + 1);
        block = block.substr(0, block.find('\0'));
        o.report.oldText = latin1ToUtf8(block);
    }
    o.report.newText = change.value;
    m_comment = *latin1;
    return o;
}

ChangeOutcome RewritePlan::setTimestamp(const VolumeChange& change)
{
    ChangeOutcome o;
    if (const auto refusal = dosTimeRefusal(change.time)) {
        o.refusal = said(*refusal);
        return o;
    }
    const std::uint32_t before = m_timestamp.value_or(get32(m_head.data() + 280));
    const std::uint32_t stamp = korvix::toDosTimestamp(change.time);
    o.report.effect = ChangeReport::Effect::Timestamp;
    if (const auto old = korvix::fromDosTimestamp(before))
        o.report.oldText = korvix::formatDateTime(*old);
    o.report.newText = korvix::formatDateTime(*korvix::fromDosTimestamp(stamp));
    m_timestamp = stamp;
    return o;
}

RewritePlan::Layout RewritePlan::layout(std::uint64_t volumeLength) const
{
    Layout out;
    if (!loaded()) {
        out.failure = said(MessageId::RewriteCannotReadVolume);
        return out;
    }
    // Which entries are written: live files, and live directories with
    // something written below them (post-order over the tree).
    std::vector<std::uint8_t> kept(m_nodes.size(), 0);
    {
        struct Item {
            int node;
            bool childrenDone;
        };
        std::vector<Item> stack{{0, false}};
        while (!stack.empty()) {
            const Item item = stack.back();
            stack.pop_back();
            const Node& n = m_nodes[static_cast<std::size_t>(item.node)];
            if (!n.directory) {
                kept[static_cast<std::size_t>(item.node)] = 1;
                continue;
            }
            if (!item.childrenDone) {
                stack.push_back({item.node, true});
                for (const int c : n.children)
                    stack.push_back({c, false});
                continue;
            }
            kept[static_cast<std::size_t>(item.node)] = std::any_of(
                n.children.begin(), n.children.end(), [&](int c) { return kept[static_cast<std::size_t>(c)] != 0; });
        }
    }
    const auto keptChildren = [&](int node) {
        std::vector<int> children;
        for (const int c : m_nodes[static_cast<std::size_t>(node)].children)
            if (kept[static_cast<std::size_t>(c)])
                children.push_back(c);
        return children;
    };

    // The lists: the top level first, then those of the volume as opened in
    // their order, then the new directories' breadth-first.
    std::vector<int> lists;
    std::vector<int> fresh;
    {
        std::deque<int> queue{0};
        while (!queue.empty()) {
            const int d = queue.front();
            queue.pop_front();
            if (d != 0 && m_nodes[static_cast<std::size_t>(d)].original >= 0 && kept[static_cast<std::size_t>(d)])
                lists.push_back(d);
            else if (d != 0 && kept[static_cast<std::size_t>(d)])
                fresh.push_back(d);
            for (const int c : keptChildren(d))
                if (m_nodes[static_cast<std::size_t>(c)].directory)
                    queue.push_back(c);
        }
        std::stable_sort(lists.begin(), lists.end(), [&](int a, int b) {
            return m_nodes[static_cast<std::size_t>(a)].listKey < m_nodes[static_cast<std::size_t>(b)].listKey;
        });
        if (kept[0])
            lists.insert(lists.begin(), 0);
        lists.insert(lists.end(), fresh.begin(), fresh.end());
    }

    // New catalogue indices, list by list.
    std::vector<std::uint32_t> indexOf(m_nodes.size(), 0);
    std::vector<std::uint32_t> listStart(m_nodes.size(), 0);
    std::vector<std::uint8_t> last(m_nodes.size(), 0);
    std::vector<int> order;  // nodes in new catalogue order
    std::uint64_t count = 0;
    for (const int d : lists) {
        listStart[static_cast<std::size_t>(d)] = static_cast<std::uint32_t>(count);
        const std::vector<int> children = keptChildren(d);
        for (const int c : children) {
            indexOf[static_cast<std::size_t>(c)] = static_cast<std::uint32_t>(count++);
            order.push_back(c);
        }
        last[static_cast<std::size_t>(children.back())] = 1;
    }
    const std::uint64_t dataStart = tarvos::QORB_CATALOGUE_OFFSET + count * ENTRY_SIZE;
    if (dataStart > OFFSET_LIMIT) {
        out.failure = said(MessageId::RewriteTooLarge);
        return out;
    }
    out.entries = static_cast<std::uint32_t>(count);
    out.head.assign(static_cast<std::size_t>(dataStart), 0);
    out.parents.resize(order.size());
    out.nodes = order;

    // Comment block and header: as read, with what the changes set.
    std::memcpy(out.head.data(), m_head.data(), tarvos::QORB_CATALOGUE_OFFSET);
    if (m_comment) {
        std::memset(out.head.data(), 0x1A, tarvos::QORB_COMMENT_SIZE);
        std::memcpy(out.head.data(), m_comment->data(), m_comment->size());
    }
    if (m_timestamp)
        put32(out.head.data() + 280, *m_timestamp);

    std::uint64_t dataEnd = dataStart;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const int id = order[k];
        const Node& n = m_nodes[static_cast<std::size_t>(id)];
        std::uint8_t* rec = out.head.data() + tarvos::QORB_CATALOGUE_OFFSET + k * ENTRY_SIZE;
        std::uint32_t flags = 0;
        if (n.original >= 0) {
            std::memcpy(rec, rawEntry(n.original), ENTRY_SIZE);
            flags = get32(rec + 72) & ~tarvos::QORB_FLAG_LAST;
        } else {
            flags = n.directory ? tarvos::QORB_FLAG_DIRECTORY : 0;
        }
        if (n.renamed) {
            std::memset(rec, ' ', 64);
            std::memcpy(rec, n.name.data(), n.name.size());
        }
        if (last[static_cast<std::size_t>(id)])
            flags |= tarvos::QORB_FLAG_LAST;
        put32(rec + 72, flags);
        out.parents[k] = n.parent == 0 ? CatalogueTree::TOP_LEVEL : static_cast<int>(indexOf[static_cast<std::size_t>(n.parent)]);
        if (n.directory) {
            put32(rec + 64, listStart[static_cast<std::size_t>(id)]);
            continue;
        }
        ++out.files;
        if (!n.fromFile && std::uint64_t{get32(rawEntry(n.original) + 64)} + n.size > volumeLength) {
            EntryRecord r;
            r.offset = get32(rawEntry(n.original) + 64);
            r.size = static_cast<std::uint32_t>(n.size);
            out.failure = said(MessageId::RewriteEntryDamagedFormat, pathOf(id).c_str(),
                               entryRangeFailure(r, volumeLength, MessageTable::language()).c_str());
            return out;
        }
        if (dataEnd + n.size > OFFSET_LIMIT) {
            out.failure = said(MessageId::RewriteTooLarge);
            return out;
        }
        put32(rec + 64, static_cast<std::uint32_t>(dataEnd));
        put32(rec + 68, static_cast<std::uint32_t>(n.size));
        if (n.size > 0) {
            Piece p;
            p.to = dataEnd;
            p.size = n.size;
            p.fromVolume = !n.fromFile;
            p.from = n.fromFile ? 0 : get32(rawEntry(n.original) + 64);
            if (n.fromFile)
                p.file = m_files[static_cast<std::size_t>(n.file)];
            p.entry = static_cast<std::uint32_t>(k);
            out.pieces.push_back(std::move(p));
        }
        dataEnd += n.size;
    }
    put32(out.head.data() + 272, out.entries);
    put32(out.head.data() + 276, out.files);
    out.dataBytes = dataEnd - dataStart;
    out.size = dataEnd;
    return out;
}
