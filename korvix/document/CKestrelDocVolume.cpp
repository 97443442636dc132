// The open volume: opening it, the entry records, the directory tree and the
// pages of the volume browser, and loading an entry into the document.
#include "document/CKestrelDoc.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/DocumentInternal.h"
#include "document/PictureLoader.h"
#include "document/VolumeFailure.h"
#include "document/VolumePages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>
#include <system_error>

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

// What to select after the volume was opened again: the paths from the root
// (ISO-8859-1) of the directory shown ("" the root item) and of the entry selected.
struct CKestrelDoc::KeepSelection {
    std::optional<std::string> directory;
    std::optional<std::string> entry;
};

bool CKestrelDoc::openVolume(const std::string& path, const std::string& displayName, VolumeAccess access)
{
    return openVolumeKeeping(path, displayName, access, nullptr);
}

bool CKestrelDoc::openVolumeKeeping(const std::string& path, const std::string& displayName, VolumeAccess access,
                                    const KeepSelection* keep)
{
    // The new volume is opened whole (the file, its catalogue walked into
    // records, its identity, the browser's pages) before anything of the open
    // one is let go: a volume that fails to open leaves everything as it was.
    WaitCursor wait(m_host);
    auto fresh = std::make_unique<tarvos::GGroup>();
    fresh->setCallBack(&CKestrelDoc::catalogueCallback);
    const int opened = access == VolumeAccess::ReadOnly ? fresh->open(path.c_str(), true) : fresh->open(path.c_str());
    if (opened != tarvos::GGroup::G_OK) {
        wait.release();
        error(MessageId::FileReadFailed, path, volumeOpenFailure(*fresh, opened, korvix::MessageTable::language()));
        return false;
    }
    tarvos::QORBHeader header{};
    fresh->getCurQORBHeader(header);
    char comment[tarvos::QORB_COMMENT_SIZE + 1] = {};
    fresh->getCurFileComment(comment);

    makeCurrent(this);
    EntryCatalogue catalogue;
    if (!catalogue.walk(*fresh, header.entryCount, &CKestrelDoc::catalogueCallback)) {
        wait.release();
        error(MessageId::FileReadFailed, path, korvix::msg(MessageId::VolumeCatalogueMemory));
        return false;
    }
    VolumeIdentity identity;
    if (!identity.record(path, *fresh)) {
        wait.release();
        // The file was readable a moment ago: it went away or failed while read again.
        error(MessageId::FileReadFailed, path, std::generic_category().message(EIO));
        return false;
    }
    VolumeBrowserModel model;
    model.rootName = displayName;
    const int rootPage = buildPages(catalogue, model);

    if (m_bVolumeOpen)
        m_host.clearVolumeBrowser();
    m_volume = std::move(fresh);
    m_catalogue = std::move(catalogue);
    m_identity = std::move(identity);
    ++m_nVolumeSerial;
    if (rootPage >= 0)
        m_nRootPage = rootPage;
    m_strVolumeComment.assign(comment, strnlen(comment, tarvos::QORB_COMMENT_SIZE));
    // An invalid timestamp (DOS date 0 and the like) reads as now.
    m_volumeTime = korvix::fromDosTimestamp(header.timestamp).value_or(now());
    m_bVolumeOpen = true;
    m_strVolumeName = displayName;
    m_volumeAccess = access;
    m_bDeclined = false;
    m_declinedState.reset();

    if (keep)
        applySelection(*keep, model);
    m_host.showVolumeBrowser(model);
    m_host.activateDirectoryTree();

    setTitle(path + TITLE_SUFFIX);
    m_host.addRecentFile(path);
    // Said once, after opening: entries whose data the volume does not hold.
    if (const std::size_t damaged = m_catalogue.damagedCount(); damaged > 0)
        m_host.setStatusText(2, damaged == 1 ? std::string(korvix::msg(MessageId::OneDamagedEntry))
                                             : korvix::MessageTable::format(MessageId::DamagedEntriesFormat,
                                                                            static_cast<unsigned long long>(damaged)));
    return true;
}

void CKestrelDoc::applySelection(const KeepSelection& keep, VolumeBrowserModel& model) const
{
    const std::vector<EntryRecord>& records = m_catalogue.records();
    std::optional<int> item;
    if (keep.directory) {
        if (keep.directory->empty())
            item = ITEM_VOLUME_ROOT;
        else if (const auto d = m_catalogue.find(*keep.directory); d && records[static_cast<std::size_t>(*d)].isDirectory)
            item = *d;
    }
    std::optional<int> entry;
    if (keep.entry)
        if (const auto e = m_catalogue.find(*keep.entry); e && !records[static_cast<std::size_t>(*e)].isDirectory)
            entry = *e;
    // Without its directory the entry still tells which directory to show.
    if (!item && entry)
        item = VolumePages::directoryItemOf(*entry, records);
    if (!item)
        return;
    model.selectedItem = *item;
    model.pageShown = VolumePages::pageForTreeItem(*item, records, m_catalogue.rootHasFiles(), m_nRootPage)
                          .value_or(NO_PAGE);
    if (entry && VolumePages::directoryItemOf(*entry, records) == *item)
        model.selectedEntry = *entry;
}

bool CKestrelDoc::volumeChangedOnDisk()
{
    return m_bVolumeOpen && !m_identity.unchanged(*m_volume, VolumeIdentity::Depth::States);
}

bool CKestrelDoc::offerReopenIfChanged()
{
    if (m_bOffering || m_bRewriting || !volumeChangedOnDisk())
        return false;
    if (m_bDeclined && m_declinedState == VolumeIdentity::stateOf(m_identity.path()))
        return false;
    return offerReopen(false);
}

bool CKestrelDoc::offerReopen(bool nothingWritten)
{
    std::string text = korvix::MessageTable::format(MessageId::VolumeChangedFormat, m_identity.path().c_str());
    if (nothingWritten)
        text += std::string(" ") + korvix::msg(MessageId::NothingWritten);
    m_bOffering = true;
    const bool yes = m_host.offerReopen(text, korvix::msg(MessageId::ReopenQuestion));
    m_bOffering = false;
    if (!yes) {
        m_bDeclined = true;
        m_declinedState = VolumeIdentity::stateOf(m_identity.path());
        return false;
    }
    return reopenVolume();
}

bool CKestrelDoc::reopenVolume()
{
    if (!m_bVolumeOpen)
        return false;
    const std::vector<EntryRecord>& records = m_catalogue.records();
    const auto valid = [&](int i) { return i >= 0 && static_cast<std::size_t>(i) < records.size(); };
    KeepSelection keep;
    if (const auto d = m_host.selectedDirectory()) {
        if (*d == ITEM_VOLUME_ROOT)
            keep.directory = std::string();
        else if (valid(*d))
            keep.directory = m_catalogue.pathOf(*d);
    }
    if (const auto e = m_host.selectedEntry(); e && valid(*e))
        keep.entry = m_catalogue.pathOf(*e);
    // Opening replaces what these are read from.
    const std::string path = m_identity.path();
    const std::string name = m_strVolumeName;
    const bool ok = openVolumeKeeping(path, name, m_volumeAccess, &keep);
    if (ok)
        m_host.updateAllViews();
    return ok;
}

void CKestrelDoc::catalogueCallback(int index, int parentIndex, const tarvos::QORBEntry* entry)
{
    // The records are the catalogue's; it knows the walk in progress.
    EntryCatalogue::record(index, parentIndex, entry);
}

int CKestrelDoc::buildPages(EntryCatalogue& catalogue, VolumeBrowserModel& model)
{
    using korvix::latin1ToUtf8;
    // The directory tree in pre-order; bold marks directories that hold files.
    std::vector<EntryRecord>& records = catalogue.records();
    const bool rootHasFiles = catalogue.rootHasFiles();
    model.rootHasFiles = rootHasFiles;
    std::vector<int> order;
    // The directories below an item, in the order the walk reported them.
    const auto directoriesIn = [&](int parent) {
        std::vector<int> dirs;
        for (const int c : catalogue.childrenOf(parent))
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
            }
            page = rootPage;
        } else if (r.parent >= 0 && static_cast<std::size_t>(r.parent) < records.size()) {
            page = records[static_cast<std::size_t>(r.parent)].page;
        }
        r.kind = entryKind(r.name);
        if (page == NO_PAGE)
            continue;
        model.pages[static_cast<std::size_t>(page)].items.push_back(
            {latin1ToUtf8(r.name), r.kind, static_cast<int>(e),
             r.damaged ? entryRangeFailure(r, catalogue.volumeLength(), korvix::MessageTable::language()) : ""});
    }
    if (!model.pages.empty())
        model.pageShown = rootHasFiles ? rootPage : 0;
    return rootPage;
}

bool CKestrelDoc::readEntry(const EntryRecord& r, std::vector<std::uint8_t>& out)
{
    return readEntryData(*m_volume, r, out) && r.size > 0;
}

bool CKestrelDoc::loadVolumeEntry(int index, bool oldRedraw)
{
    const std::vector<EntryRecord>& records = m_catalogue.records();
    if (!*m_volume || index < 0 || static_cast<std::size_t>(index) >= records.size()
        || records[static_cast<std::size_t>(index)].isDirectory) {
        m_bRedraw = oldRedraw;
        return false;
    }
    const EntryRecord& r = records[static_cast<std::size_t>(index)];
    if (r.damaged) {
        error(MessageId::FileReadFailed, korvix::latin1ToUtf8(m_catalogue.pathOf(index)),
              entryRangeFailure(r, m_catalogue.volumeLength(), korvix::MessageTable::language()));
        m_bRedraw = oldRedraw;
        return false;
    }
    WaitCursor wait(m_host);
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
