// The open volume: opening it, the entry records, the directory tree and the
// pages of the volume browser, and loading an entry into the document.
#include "document/CKestrelDoc.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/DocumentInternal.h"
#include "document/PictureLoader.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>

using docinternal::WaitCursor;
using korvix::MessageId;

namespace {

korvix::DosDateTime now()
{
    const std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

}  // namespace

bool CKestrelDoc::openVolume(const std::string& path, const std::string& displayName, VolumeAccess access)
{
    if (m_bVolumeOpen) {
        m_host.clearVolumeBrowser();
        m_catalogue.clear();
        m_bVolumeOpen = false;
    }
    WaitCursor wait(m_host);
    m_volume.setCallBack(&CKestrelDoc::catalogueCallback);
    ++m_nVolumeSerial;
    const int opened = access == VolumeAccess::ReadOnly ? m_volume.open(path.c_str(), true) : m_volume.open(path.c_str());
    if (opened != tarvos::GGroup::G_OK) {
        wait.release();
        error(MessageId::FileReadFailed);
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

    makeCurrent(this);
    if (!m_catalogue.walk(m_volume, header.entryCount, &CKestrelDoc::catalogueCallback)) {
        m_volume.close();
        wait.release();
        error(MessageId::FileReadFailed);
        return false;
    }
    m_bVolumeOpen = true;

    VolumeBrowserModel model;
    model.rootName = displayName;
    buildPages(model);
    m_host.showVolumeBrowser(model);
    m_host.activateDirectoryTree();

    m_host.setWindowTitle(path + TITLE_SUFFIX);
    m_host.addRecentFile(path);
    return true;
}

void CKestrelDoc::catalogueCallback(int index, int parentIndex, const tarvos::QORBEntry* entry)
{
    // The records are the catalogue's; it knows the walk in progress.
    EntryCatalogue::record(index, parentIndex, entry);
}

void CKestrelDoc::buildPages(VolumeBrowserModel& model)
{
    using korvix::latin1ToUtf8;
    // The directory tree in pre-order; bold marks directories that hold files.
    std::vector<EntryRecord>& records = m_catalogue.records();
    const bool rootHasFiles = m_catalogue.rootHasFiles();
    model.rootHasFiles = rootHasFiles;
    std::vector<int> order;
    // The directories below an item, in the order the walk reported them.
    const auto directoriesIn = [&](int parent) {
        std::vector<int> dirs;
        for (const int c : m_catalogue.childrenOf(parent))
            if (records[static_cast<std::size_t>(c)].isDirectory)
                dirs.push_back(c);
        return dirs;
    };
    const std::vector<int> topLevel = directoriesIn(PARENT_TOP_LEVEL);
    if (!topLevel.empty() && rootHasFiles) {
        model.rootBold = true;
        model.selectedItem = ITEM_VOLUME_ROOT;
    }
    std::vector<int> stack(topLevel.rbegin(), topLevel.rend());
    while (!stack.empty()) {
        const int d = stack.back();
        stack.pop_back();
        order.push_back(d);
        const EntryRecord& r = records[static_cast<std::size_t>(d)];
        VolumeBrowserModel::Directory dir{d, r.parent, latin1ToUtf8(r.name), r.hasFiles};
        if (r.hasFiles && model.selectedItem == -1)
            model.selectedItem = d;
        model.directories.push_back(std::move(dir));
        const std::vector<int> children = directoriesIn(d);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }

    for (const int d : order) {
        EntryRecord& r = records[static_cast<std::size_t>(d)];
        if (!r.hasFiles) {
            r.page = NO_PAGE;
            continue;
        }
        r.page = static_cast<int>(model.pages.size());
        model.pages.push_back({latin1ToUtf8(r.name), {}});
    }

    int rootPage = NO_PAGE;
    for (std::size_t e = 0; e < records.size(); ++e) {
        EntryRecord& r = records[e];
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
        } else if (r.parent >= 0 && static_cast<std::size_t>(r.parent) < records.size()) {
            page = records[static_cast<std::size_t>(r.parent)].page;
        }
        r.kind = entryKind(r.name);
        if (page == NO_PAGE)
            continue;
        model.pages[static_cast<std::size_t>(page)].items.push_back({latin1ToUtf8(r.name), r.kind, static_cast<int>(e)});
    }
    if (!model.pages.empty())
        model.pageShown = rootHasFiles ? m_nRootPage : 0;
}

bool CKestrelDoc::readEntry(const EntryRecord& r, std::vector<std::uint8_t>& out)
{
    return readEntryData(m_volume, r, out) && r.size > 0;
}

bool CKestrelDoc::loadVolumeEntry(int index, bool oldRedraw)
{
    const std::vector<EntryRecord>& records = m_catalogue.records();
    if (!m_volume || index < 0 || static_cast<std::size_t>(index) >= records.size()
        || records[static_cast<std::size_t>(index)].isDirectory) {
        m_bRedraw = oldRedraw;
        return false;
    }
    WaitCursor wait(m_host);
    const EntryRecord& r = records[static_cast<std::size_t>(index)];
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
    LoadedPicture loaded = loadEntryBytes(std::move(bytes), documentLimits(), EntryImages::TgaOnly);
    wait.release();
    switch (loaded.status) {
    case LoadedPicture::Status::Ok:
        break;
    case LoadedPicture::Status::NotPicture:
        m_bRedraw = oldRedraw;
        return false;
    case LoadedPicture::Status::TextureRejected:
        textureRefused(loaded.textureStatus);
        m_bRedraw = oldRedraw;
        return false;
    case LoadedPicture::Status::TooLarge:
        // A picture larger than a map may be is refused from its header, with
        // the message the shown maps' check gives.
        error(MessageId::MapTooLarge);
        m_bRedraw = oldRedraw;
        return false;
    default:
        message(MessageId::EntryTextureReadFailed);
        m_bRedraw = oldRedraw;
        return false;
    }
    NewMaps fresh;
    fresh.source = SOURCE_VOLUME;
    fresh.name = korvix::latin1ToUtf8(r.name);
    fresh.maps = std::move(loaded.maps);
    fresh.alpha = loaded.alpha;
    fresh.raw = loaded.rawTexture;
    fresh.origin = loaded.format ? PictureOrigin::ofTexture(*loaded.format) : PictureOrigin::ofImage(loaded.imageType);
    const bool ok = adoptMaps(std::move(fresh), oldRedraw);
    if (ok) {
        m_nLoadedEntry = index;
        m_nLoadedVolumeSerial = m_nVolumeSerial;
    }
    return ok;
}
