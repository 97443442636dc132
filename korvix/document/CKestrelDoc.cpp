// The document: construction, the open dispatch, loading and adopting maps,
// paste and the recent-file commands.
#include "document/CKestrelDoc.h"

#include "codecs/TextureLoader.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"
#include "document/PictureLoader.h"
#include "filters/ImageFilters.h"

#include <cstdio>
#include <cstring>
#include <new>

using docinternal::WaitCursor;
using korvix::MessageId;
using korvix::msg;

namespace {

CKestrelDoc* s_current = nullptr;

// The open dialog's type list, in this order.
std::vector<FileFilter> openFilters()
{
    std::vector<FileFilter> filters;
    for (const char* ext : {"qrb", "mod", "tex", "tga", "bmp", "wmf", "tif", "jpg", "png"}) {
        std::string upper(ext);
        for (char& c : upper)
            c = static_cast<char>(c - 'a' + 'A');
        filters.push_back({upper + " (*." + ext + ")", {std::string("*.") + ext}});
    }
    filters.push_back({std::string(msg(MessageId::FilterAllFiles)) + " (*.*)", {"*.*"}});
    return filters;
}

// The background pattern's 16-row tile: an 8 x 8 checkerboard with grid lines of
// grey 130, cells alternately white and light grey, the top-left cell white.
std::uint8_t patternValue(int x, int y)
{
    if (x % 8 == 0 || y % 8 == 0)
        return 130;
    return ((x / 8 + y / 8) % 2 == 0) ? 255 : 204;
}

bool isVolumeExtension(const std::string& ext)
{
    const std::string e = docinternal::toLowerAscii(ext);
    return e == "qrb" || e == "mod";
}

}  // namespace

CKestrelDoc* CKestrelDoc::current()
{
    return s_current;
}

void CKestrelDoc::makeCurrent(CKestrelDoc* doc)
{
    s_current = doc;
}

CKestrelDoc::CKestrelDoc(DocumentHost& host) : m_host(host)
{
    s_current = this;
    // Rows repeat the 16-row tile, so every map up to 2048 x 2048 finds its
    // background value at y * 2048 + x without further work.
    m_pBackground.resize(static_cast<std::size_t>(BACKGROUND_SIDE) * BACKGROUND_SIDE);
    std::uint8_t tile[16][BACKGROUND_SIDE];
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < BACKGROUND_SIDE; ++x)
            tile[y][x] = patternValue(x, y);
    for (int y = 0; y < BACKGROUND_SIDE; ++y)
        std::memcpy(m_pBackground.data() + static_cast<std::size_t>(y) * BACKGROUND_SIDE, tile[y % 16],
                    BACKGROUND_SIDE);
    for (PixelBitmap& b : m_pViewBuffers)
        b.create(4, 4, 32, true);
    // Filter errors come back to the caller; the primitives never report them.
    setFilterSilentMode(true);
}

CKestrelDoc::~CKestrelDoc()
{
    freeMaps();
    if (s_current == this)
        s_current = nullptr;
}

void CKestrelDoc::message(MessageId id)
{
    message(std::string(msg(id)));
}

void CKestrelDoc::message(const std::string& text)
{
    m_host.messageBox(text, "", MessageIcon::Information, MessageButtons::Ok);
}

void CKestrelDoc::error(MessageId id)
{
    m_host.messageBox(msg(id), msg(MessageId::CaptionError), MessageIcon::Error, MessageButtons::Ok);
}

std::string CKestrelDoc::withCause(MessageId id, const std::string& file, const std::string& cause)
{
    std::string text = std::string(msg(id)) + "\n\n" + file;
    if (!cause.empty())
        text += ": " + cause;
    return text;
}

void CKestrelDoc::message(MessageId id, const std::string& file, const std::string& cause)
{
    message(withCause(id, file, cause));
}

void CKestrelDoc::error(MessageId id, const std::string& file, const std::string& cause)
{
    m_host.messageBox(withCause(id, file, cause), msg(MessageId::CaptionError), MessageIcon::Error, MessageButtons::Ok);
}

// ---- the open dispatch ----

bool CKestrelDoc::openFile(const std::string& givenPath, bool showDialog)
{
    m_bKeptChanges = false;
    if (showDialog) {
        const auto chosen = m_host.chooseOpenFile(openFilters(), ".qrb");
        if (!chosen)
            return false;
        const std::string path = *chosen;
        const std::string file = docinternal::fileNameOf(path);
        const auto dot = file.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
        if (!isVolumeExtension(ext)) {
            // A file that fails to load changes nothing: not the title, not the recent files.
            if (!loadMaps(path, false, docinternal::toLowerAscii(ext) == "tex", 0))
                return false;
            m_host.addRecentFile(path);
            setTitle(file + TITLE_SUFFIX);
            return true;
        }
        // Opening a volume keeps the picture, but the picture may belong to an
        // entry of the volume that goes: it is asked about all the same.
        if (!confirmDiscard())
            return false;
        const bool ok = openVolume(path, docinternal::toLowerAscii(file));
        if (ok)
            m_host.updateAllViews();
        return ok;
    }

    // The extension is taken from the file name: a dot in a folder name is not one.
    const std::string file = docinternal::fileNameOf(givenPath);
    const auto dot = file.rfind('.');
    if (dot == std::string::npos) {
        message(MessageId::UnknownFileType);
        return false;
    }
    const std::string ext = file.substr(dot + 1);
    if (!isVolumeExtension(ext))
        return loadMaps(givenPath, false, docinternal::toLowerAscii(ext) == "tex", 0);
    if (!confirmDiscard())
        return false;
    const bool ok = openVolume(givenPath, docinternal::toLowerAscii(file));
    if (ok)
        m_host.updateAllViews();
    return ok;
}

// ---- loading ----

void CKestrelDoc::textureRefused(TextureLoadStatus status)
{
    switch (status) {
    case TextureLoadStatus::Ok:
    case TextureLoadStatus::TooManyMaps:
        break;
    case TextureLoadStatus::NotTexture:
        error(MessageId::NotKtexFormat);
        break;
    case TextureLoadStatus::UnknownFormat:
        m_host.messageBox(msg(MessageId::TextureFormatNotSupported), msg(MessageId::CaptionError), MessageIcon::Information,
                          MessageButtons::Ok);
        break;
    case TextureLoadStatus::Truncated:
    case TextureLoadStatus::BadSize:
    case TextureLoadStatus::DecodeFailed:
        error(MessageId::DecodeFailed);
        break;
    }
    message(MessageId::TextureLoadFailed);
}

bool CKestrelDoc::loadMaps(const std::string& path, bool fromVolume, bool isTexture, int entryIndex)
{
    m_bKeptChanges = false;
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    const auto fail = [&] {
        m_bRedraw = oldRedraw;
        return false;
    };
    if (fromVolume)
        return loadVolumeEntry(entryIndex, oldRedraw);

    NewMaps fresh;
    fresh.name = path;
    fresh.titleFromName = true;
    if (isTexture) {
        LoadedPicture loaded;
        {
            WaitCursor wait(m_host);
            loaded = loadTextureFile(path);
        }
        switch (loaded.status) {
        case LoadedPicture::Status::Ok:
            break;
        case LoadedPicture::Status::TooSmall:
            message(MessageId::TextureFileTooSmall);
            return fail();
        case LoadedPicture::Status::OutOfMemory:
            message(MessageId::OutOfMemory);
            return fail();
        case LoadedPicture::Status::NotTexture:
            message(MessageId::NotTexFormat);
            return fail();
        case LoadedPicture::Status::TextureRejected:
            textureRefused(loaded.textureStatus);
            return fail();
        default:
            message(MessageId::TextureLoadFailed, path, loaded.detail);
            return fail();
        }
        fresh.maps = std::move(loaded.maps);
        fresh.alpha = loaded.alpha;
        fresh.raw = true;
        fresh.source = SOURCE_TEXTURE_FILE;
        fresh.rawCopy = std::move(loaded.bytes);
        fresh.keepRawCopy = true;
        if (loaded.format)
            fresh.origin = PictureOrigin::ofTexture(*loaded.format);
        return adoptMaps(std::move(fresh), oldRedraw);
    }

    int type = IMAGE_NONE;
    std::unique_ptr<PixelBitmap> image = loadImageFile(path, &type);
    if (!image)
        return fail();
    fresh.origin = PictureOrigin::ofImage(type);
    fresh.alpha = image->hasAlpha();
    fresh.maps = std::make_unique<MapSet>(1);
    (*fresh.maps)[0] = std::move(*image);
    fresh.source = SOURCE_OTHER;
    fresh.raw = false;
    return adoptMaps(std::move(fresh), oldRedraw);
}

std::unique_ptr<PixelBitmap> CKestrelDoc::loadImageFile(const std::string& path, int* type)
{
    // A picture wider or taller than the program shows is refused from its
    // header, before its pixels are decoded.
    LoadedPicture loaded;
    {
        WaitCursor wait(m_host);
        loaded = ::loadImageFile(path, documentLimits());
    }
    if (loaded.status == LoadedPicture::Status::TooLarge) {
        message(MessageId::ImageTooLarge);
        return nullptr;
    }
    if (!loaded.ok()) {
        message(MessageId::TextureLoadFailed, path, loaded.detail);
        return nullptr;
    }
    if (type)
        *type = loaded.imageType;
    return std::make_unique<PixelBitmap>(std::move((*loaded.maps)[0]));
}

bool CKestrelDoc::adoptMaps(NewMaps&& fresh, bool oldRedraw)
{
    const PixelBitmap& largest = fresh.maps->largest();
    if (largest.width() > MAX_SIDE || largest.height() > MAX_SIDE) {
        error(MessageId::MapTooLarge);
        m_bRedraw = oldRedraw;
        return false;
    }
    // Asked only now, when the new picture is there to take the old one's place.
    if (!confirmDiscard()) {
        m_bRedraw = oldRedraw;
        return false;
    }
    endExternalEdit();  // the file handed out belongs to the picture that goes
    m_pShown = nullptr;
    m_pMaps = std::move(fresh.maps);
    m_origin = fresh.origin;
    m_history.clear();
    m_bHasAlpha = fresh.alpha;
    m_nMaps = m_pMaps->count();
    m_bReady = true;
    m_nLargestMap = m_nMaps - 1;
    m_bRawTexture = fresh.raw;
    m_nSource = fresh.source;
    if (fresh.keepRawCopy)
        m_pRaw = std::move(fresh.rawCopy);
    else if (fresh.source == SOURCE_VOLUME)
        m_pRaw.clear();  // a volume entry's bytes are read again from the volume when needed

    m_nCurMap = m_nLargestMap;
    selectMap(m_nLargestMap);
    m_bAlphaViewStale = m_bRgbaViewStale = true;
    setDisplayMode(m_bHasAlpha ? m_nDisplayMode : MODE_RGB);

    m_nViewButton = m_nDisplayMode;

    m_strName = fresh.name;
    setPictureStatus(" " + m_strName);
    if (fresh.titleFromName)
        setTitle(m_strName + TITLE_SUFFIX);
    else
        showTitle();

    if (oldRedraw) {
        if (m_host.hasPictureView())
            m_host.refreshPictureView();
        m_bRedraw = true;
    }
    clearSelection();
    m_bNoSelection = m_nMaps != 1;
    return true;
}

void CKestrelDoc::freeMaps()
{
    m_pMaps.reset();
    if (!m_pRaw.empty()) {
        m_pRaw.clear();
        m_bRawTexture = false;
    }
}

// ---- paste and recent files ----

void CKestrelDoc::paste()
{
    m_bKeptChanges = false;
    std::optional<PixelBitmap> pasted = m_host.clipboardBitmap();
    if (!pasted)
        return;
    // The refusals come before the question: a paste that cannot happen asks nothing.
    if (!pictureAllowed(*pasted) || !confirmDiscard())
        return;
    if (replacePicture(std::move(*pasted), PictureOrigin::ofClipboard(), MessageId::StepPaste,
                       OutsideName{msg(MessageId::UntitledName), msg(MessageId::StatusClipboard)}))
        endExternalEdit();
}

bool CKestrelDoc::pictureAllowed(const PixelBitmap& picture)
{
    if (picture.width() < 4 || picture.height() < 4) {
        message(MessageId::BitmapTooSmall);
        return false;
    }
    // Every load keeps to the background pattern's size; a picture from outside does too.
    if (picture.width() > MAX_SIDE || picture.height() > MAX_SIDE) {
        error(MessageId::MapTooLarge);
        return false;
    }
    return true;
}

bool CKestrelDoc::replacePicture(PixelBitmap&& picture, const PictureOrigin& origin, MessageId stepName,
                                 const std::optional<OutsideName>& naming)
{
    if (!pictureAllowed(picture))
        return false;
    if (picture.bitsPerPixel() != 32)
        picture.copyFrom(PixelBitmap(picture), 32);
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    // The whole picture before it, with its name and where it came from, is the undo step.
    PictureState before = statusQuo(true);
    before.keepRaw(std::move(m_pRaw));
    m_pRaw.clear();
    m_pShown = nullptr;
    std::unique_ptr<MapSet> old = std::move(m_pMaps);
    m_bHasAlpha = picture.hasAlpha();
    m_pMaps = std::make_unique<MapSet>(1);
    (*m_pMaps)[0] = std::move(picture);
    m_origin = origin;
    m_nMaps = 1;
    m_nSource = SOURCE_OTHER;
    m_bReady = true;
    m_nLargestMap = 0;
    m_nCurMap = 0;
    m_bAlphaViewStale = m_bRgbaViewStale = true;
    selectMap(0);
    setDisplayMode(m_bHasAlpha ? m_nDisplayMode : MODE_RGB);
    m_nViewButton = m_nDisplayMode;
    if (naming) {
        setPictureStatus(naming->status);
        m_strName = naming->name;
    }
    if (old)
        recordPicture(stepName, std::move(before), std::move(old), true);
    else
        m_history.recordLoss();  // nothing before it to go back to; still a picture nobody saved
    if (naming)
        setTitle(m_strName + TITLE_SUFFIX);
    else
        showTitle();
    clearSelection();
    m_bNoSelection = false;
    if (oldRedraw && m_host.hasPictureView())
        m_host.refreshPictureView();
    m_bRedraw = oldRedraw;
    return true;
}

void CKestrelDoc::copyCommand()
{
    if (!m_bReady || !m_pMaps || m_nCurMap < 0 || m_nCurMap >= m_nMaps)
        return;
    m_host.setClipboardBitmap((*m_pMaps)[m_nCurMap], m_bHasAlpha);
}

std::string CKestrelDoc::formatText() const
{
    if (!m_pMaps)
        return " ";
    return formatPaneText(m_origin, m_nMaps, m_bHasAlpha);
}

void CKestrelDoc::openRecentFile(int index)
{
    const auto path = m_host.recentFile(index);
    if (!path)
        return;
    // A file kept out by "Nein" stays in the list: it did not fail.
    if (!openFile(*path, false) && !m_bKeptChanges)
        m_host.removeRecentFile(index);
}

// ---- sizes for the export ----

int CKestrelDoc::mipLevelsPossible() const
{
    if (!m_pMaps)
        return 0;
    return texture::mapsPossible(m_pMaps->largest().width(), m_pMaps->largest().height());
}

void CKestrelDoc::halveSize(int& width, int& height, int n)
{
    for (int i = 1; i < n; ++i) {
        width /= 2;
        height /= 2;
    }
}

int CKestrelDoc::powerOfTwo(int n)
{
    return n <= 1 ? 1 : 1 << (n - 1);
}
