// The open volume: opening it, the entry records, the directory tree and the
// pages of the volume browser, and loading an entry into the document.
#include "document/CKestrelDoc.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "document/DocumentInternal.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>

using docinternal::WaitCursor;

namespace {

// The walk's tree while a volume is being opened: directories linked as
// children of their parents in the order the walk reports them. The slot
// `count` stands for the root item.
struct TreeLinks {
    std::vector<int> firstChild, lastChild, nextSibling;
    int root = 0;

    void reset(std::size_t count)
    {
        firstChild.assign(count + 1, -1);
        lastChild.assign(count + 1, -1);
        nextSibling.assign(count + 1, -1);
        root = static_cast<int>(count);
    }
    void append(int parentSlot, int child)
    {
        const auto p = static_cast<std::size_t>(parentSlot);
        if (lastChild[p] < 0)
            firstChild[p] = child;
        else
            nextSibling[static_cast<std::size_t>(lastChild[p])] = child;
        lastChild[p] = child;
    }
};

TreeLinks s_tree;

korvix::DosDateTime now()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace

bool CKestrelDoc::openVolume(const std::string& path, const std::string& displayName)
{
    if (m_bVolumeOpen) {
        m_host.clearVolumeBrowser();
        m_entryRecords.clear();
        m_bVolumeOpen = false;
    }
    WaitCursor wait(m_host);
    m_volume.setCallBack(&CKestrelDoc::catalogueCallback);
    ++m_nVolumeSerial;
    if (m_volume.open(path.c_str()) != tarvos::GGroup::G_OK) {
        wait.release();
        error("Fehler beim Lesen der Datei.");
        m_bVolumeOpen = false;
        return false;
    }
    tarvos::QORBHeader header{};
    m_volume.getCurQORBHeader(header);
    char comment[tarvos::QORB_COMMENT_SIZE + 1] = {};
    m_volume.getCurFileComment(comment);
    m_strVolumeComment.assign(comment, strnlen(comment, tarvos::QORB_COMMENT_SIZE));
    // An invalid timestamp (DOS date 0 and the like) reads as now.
    m_volumeTime = korvix::fromDosTimestamp(header.timestamp).value_or(now());

    try {
        m_entryRecords.assign(header.entryCount, EntryRecord{});
        s_tree.reset(header.entryCount);
    } catch (const std::bad_alloc&) {
        m_volume.close();
        m_entryRecords.clear();
        wait.release();
        error("Fehler beim Lesen der Datei.");
        return false;
    }
    m_bRootHasFiles = false;
    makeCurrent(this);
    m_volume.travEntries();
    m_bVolumeOpen = true;

    VolumeBrowserModel model;
    model.rootName = displayName;
    buildPages(model);
    s_tree.reset(0);
    m_host.showVolumeBrowser(model);
    m_host.activateDirectoryTree();

    m_host.setWindowTitle(path + TITLE_SUFFIX);
    m_host.addRecentFile(path);
    return true;
}

void CKestrelDoc::catalogueCallback(int index, int parentIndex, const tarvos::QORBEntry* entry)
{
    CKestrelDoc* doc = current();
    if (!doc || parentIndex == -1 || !entry || index < 0
        || static_cast<std::size_t>(index) >= doc->m_entryRecords.size())
        return;
    EntryRecord& r = doc->m_entryRecords[static_cast<std::size_t>(index)];
    // The name ends at its trailing blanks, or earlier at a zero byte.
    const std::size_t len = korvix::trimmedLength(entry->name, sizeof entry->name);
    const void* zero = std::memchr(entry->name, 0, len);
    r.name.assign({entry->name, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - entry->name) : len});
    r.offset = entry->offset;
    r.size = entry->size;
    r.isDirectory = entry->flags & tarvos::QORB_FLAG_DIRECTORY;
    r.parent = parentIndex;
    r.marks = 0;
    r.reported = true;
    if (r.isDirectory) {
        s_tree.append(parentIndex == PARENT_TOP_LEVEL ? s_tree.root : parentIndex, index);
    } else if (parentIndex == PARENT_TOP_LEVEL) {
        r.parent = PARENT_TOP_LEVEL_FILE;
        doc->m_bRootHasFiles = true;
    } else if (static_cast<std::size_t>(parentIndex) < doc->m_entryRecords.size()) {
        doc->m_entryRecords[static_cast<std::size_t>(parentIndex)].hasFiles = true;
    }
}

void CKestrelDoc::buildPages(VolumeBrowserModel& model)
{
    using korvix::latin1ToUtf8;
    // The directory tree in pre-order; bold marks directories that hold files.
    model.rootHasFiles = m_bRootHasFiles;
    std::vector<int> order;
    const bool rootHasChildren = s_tree.firstChild[static_cast<std::size_t>(s_tree.root)] >= 0;
    if (rootHasChildren && m_bRootHasFiles) {
        model.rootBold = true;
        model.selectedItem = ITEM_VOLUME_ROOT;
    }
    std::vector<int> stack;
    for (int c = s_tree.firstChild[static_cast<std::size_t>(s_tree.root)]; c >= 0;
         c = s_tree.nextSibling[static_cast<std::size_t>(c)])
        stack.push_back(c);
    std::reverse(stack.begin(), stack.end());
    while (!stack.empty()) {
        const int d = stack.back();
        stack.pop_back();
        order.push_back(d);
        const EntryRecord& r = m_entryRecords[static_cast<std::size_t>(d)];
        VolumeBrowserModel::Directory dir{d, r.parent, latin1ToUtf8(r.name), r.hasFiles};
        if (r.hasFiles && model.selectedItem == -1)
            model.selectedItem = d;
        model.directories.push_back(std::move(dir));
        std::vector<int> children;
        for (int c = s_tree.firstChild[static_cast<std::size_t>(d)]; c >= 0;
             c = s_tree.nextSibling[static_cast<std::size_t>(c)])
            children.push_back(c);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }

    for (const int d : order) {
        EntryRecord& r = m_entryRecords[static_cast<std::size_t>(d)];
        if (!r.hasFiles) {
            r.page = NO_PAGE;
            continue;
        }
        r.page = static_cast<int>(model.pages.size());
        model.pages.push_back({latin1ToUtf8(r.name), {}});
    }

    int rootPage = NO_PAGE;
    for (std::size_t e = 0; e < m_entryRecords.size(); ++e) {
        EntryRecord& r = m_entryRecords[e];
        if (!r.reported || r.isDirectory)
            continue;
        int page = NO_PAGE;
        if (r.parent == PARENT_TOP_LEVEL_FILE) {
            if (rootPage == NO_PAGE) {
                rootPage = static_cast<int>(model.pages.size());
                model.pages.push_back({"(Root)", {}});
                m_nRootPage = rootPage;
            }
            page = rootPage;
        } else if (r.parent >= 0 && static_cast<std::size_t>(r.parent) < m_entryRecords.size()) {
            page = m_entryRecords[static_cast<std::size_t>(r.parent)].page;
        }
        r.kind = entryKind(r.name);
        if (page == NO_PAGE)
            continue;
        model.pages[static_cast<std::size_t>(page)].items.push_back({r.name.view(), r.kind, static_cast<int>(e)});
    }
    if (!model.pages.empty())
        model.pageShown = m_bRootHasFiles ? m_nRootPage : 0;
}

bool CKestrelDoc::readEntry(const EntryRecord& r, std::vector<std::uint8_t>& out)
{
    // An entry that claims more bytes than the volume holds is refused before
    // anything is allocated.
    if (std::uint64_t{r.offset} + r.size > m_volume.fileSize())
        return false;
    try {
        out.resize(r.size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return r.size > 0 && m_volume.getDataBlock(r.offset, r.size, out.data());
}

bool CKestrelDoc::loadVolumeEntry(int index, bool oldRedraw)
{
    if (!m_volume || index < 0 || static_cast<std::size_t>(index) >= m_entryRecords.size()
        || m_entryRecords[static_cast<std::size_t>(index)].isDirectory) {
        m_bRedraw = oldRedraw;
        return false;
    }
    WaitCursor wait(m_host);
    const EntryRecord& r = m_entryRecords[static_cast<std::size_t>(index)];
    std::vector<std::uint8_t> bytes;
    if (r.kind == KIND_MODEL_SOUND || r.kind == KIND_WAVE) {
        if (readEntry(r, bytes))
            m_host.playSound(bytes.data(), bytes.size());
        m_bRedraw = oldRedraw;
        return true;
    }
    if (!readEntry(r, bytes)) {
        m_bRedraw = oldRedraw;
        return false;
    }
    NewMaps fresh;
    fresh.source = SOURCE_VOLUME;
    fresh.name = korvix::latin1ToUtf8(r.name);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "KTEX", 4) == 0) {
        wait.release();
        if (!decodeTexture(bytes, fresh)) {
            m_bRedraw = oldRedraw;
            return false;
        }
    } else if (detectImageType(bytes.data(), bytes.size()) == IMAGE_TGA) {
        auto bitmap = std::make_unique<PixelBitmap>();
        try {
            decodeMemory(bytes.data(), bytes.size(), *bitmap, 32, DecodeLimits{std::int64_t{MAX_SIDE} * MAX_SIDE, MAX_SIDE});
        } catch (const CTextException& err) {
            // A picture larger than a map may be is refused from its header,
            // with the message the shown maps' check gives.
            wait.release();
            if (err.code() == 12)
                error("Map zu groß (max. Kantenlänge 2048 Pixel).");
            else
                message("Fehler beim Lesen der Textur.");
            m_bRedraw = oldRedraw;
            return false;
        } catch (const std::exception&) {  // memory short
            wait.release();
            message("Fehler beim Lesen der Textur.");
            m_bRedraw = oldRedraw;
            return false;
        }
        fresh.alpha = bitmap->hasAlpha();
        fresh.maps = std::make_unique<MapSet>(1);
        (*fresh.maps)[0] = std::move(*bitmap);
        fresh.raw = false;
    } else {
        m_bRedraw = oldRedraw;
        return false;
    }
    wait.release();
    const bool ok = adoptMaps(std::move(fresh), oldRedraw);
    if (ok) {
        m_nLoadedEntry = index;
        m_nLoadedVolumeSerial = m_nVolumeSerial;
    }
    return ok;
}
