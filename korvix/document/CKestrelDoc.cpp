// The document: construction, the open dispatch, loading and adopting maps,
// paste and the recent-file commands.
#include "document/CKestrelDoc.h"

#include "codecs/TextureLoader.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"
#include "filters/ImageFilters.h"

#include <cstdio>
#include <cstring>
#include <new>

using docinternal::WaitCursor;

namespace {

CKestrelDoc* s_current = nullptr;

constexpr const char* OPEN_FILTER =
    "QRB (*.qrb)|*.qrb|MOD (*.mod)|*.mod|TEX (*.tex)|*.tex|TGA (*.tga)|*.tga|BMP (*.bmp)|*.bmp|WMF "
    "(*.wmf)|*.wmf|TIF (*.tif)|*.tif|JPG (*.jpg)|*.jpg|PNG (*.png)|*.png|Alle Dateien (*.*)|*.*||";

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

void CKestrelDoc::message(const std::string& text)
{
    m_host.messageBox(text, "", MessageIcon::Information, MessageButtons::Ok);
}

void CKestrelDoc::error(const std::string& text)
{
    m_host.messageBox(text, "Fehler", MessageIcon::Error, MessageButtons::Ok);
}

// ---- the open dispatch ----

bool CKestrelDoc::openFile(const std::string& givenPath, bool showDialog)
{
    if (showDialog) {
        const auto chosen = m_host.chooseOpenFile(OPEN_FILTER, ".qrb");
        if (!chosen)
            return false;
        const std::string path = *chosen;
        const std::string file = docinternal::fileNameOf(path);
        const auto dot = file.rfind('.');
        const std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
        if (!isVolumeExtension(ext)) {
            loadMaps(path, false, docinternal::toLowerAscii(ext) == "tex", 0);
            m_host.addRecentFile(path);
            m_host.setWindowTitle(file + TITLE_SUFFIX);
            return true;
        }
        const bool ok = openVolume(path, docinternal::toLowerAscii(file));
        if (ok)
            m_host.updateAllViews();
        return ok;
    }

    // The extension is taken from the file name: a dot in a folder name is not one.
    const std::string file = docinternal::fileNameOf(givenPath);
    const auto dot = file.rfind('.');
    if (dot == std::string::npos) {
        message("Dateityp unbekannt, bitte Extension ('.tex', '.bmp' etc.) verwenden.");
        return false;
    }
    const std::string ext = file.substr(dot + 1);
    if (!isVolumeExtension(ext))
        return loadMaps(givenPath, false, docinternal::toLowerAscii(ext) == "tex", 0);
    if (m_volume.valid())
        m_volume.close();
    const bool ok = openVolume(givenPath, docinternal::toLowerAscii(file));
    if (ok)
        m_host.updateAllViews();
    return ok;
}

// ---- loading ----

bool CKestrelDoc::decodeTexture(const std::vector<std::uint8_t>& bytes, NewMaps& out)
{
    LoadedTexture loaded = loadTexture(bytes.data(), bytes.size());
    switch (loaded.status) {
    case TextureLoadStatus::Ok:
        break;
    case TextureLoadStatus::NotTexture:
        error("Kein KTEX-Format");
        break;
    case TextureLoadStatus::TooManyMaps:
        break;
    case TextureLoadStatus::UnknownFormat:
        m_host.messageBox("Texturformat nicht unterstützt", "Fehler", MessageIcon::Information, MessageButtons::Ok);
        break;
    case TextureLoadStatus::Truncated:
    case TextureLoadStatus::BadSize:
    case TextureLoadStatus::DecodeFailed:
        error("Fehler beim Decodieren aufgetreten.");
        break;
    }
    if (!loaded.ok()) {
        message("Fehler beim Laden der Textur.");
        return false;
    }
    out.maps = std::make_unique<MapSet>(std::move(loaded.maps));
    out.alpha = loaded.hasAlpha;
    out.raw = true;
    return true;
}

bool CKestrelDoc::loadMaps(const std::string& path, bool fromVolume, bool isTexture, int entryIndex)
{
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
        WaitCursor wait(m_host);
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f || fseeko(f, 0, SEEK_END) != 0) {
            if (f)
                std::fclose(f);
            wait.release();
            message("Fehler beim Laden der Textur.");
            return fail();
        }
        const auto size = static_cast<long long>(ftello(f));
        if (size <= 43) {
            std::fclose(f);
            wait.release();
            message("Datei zu klein für die kleinstmögliche\nTextur im TEX-Format.");
            return fail();
        }
        std::vector<std::uint8_t> bytes;
        try {
            bytes.resize(static_cast<std::size_t>(size));
        } catch (const std::exception&) {  // bad_alloc, or a size beyond what a vector holds
            std::fclose(f);
            wait.release();
            message("Zu wenig freier Speicher.");
            return fail();
        }
        std::rewind(f);
        const bool read = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
        std::fclose(f);
        wait.release();
        if (!read) {
            message("Fehler beim Laden der Textur.");
            return fail();
        }
        if (std::memcmp(bytes.data(), "KTEX", 4) != 0) {
            message("Fehler beim Laden der Textur (wahrscheinlich kein TEX-Format).");
            return fail();
        }
        if (!decodeTexture(bytes, fresh))
            return fail();
        fresh.source = SOURCE_TEXTURE_FILE;
        fresh.rawCopy = std::move(bytes);
        fresh.keepRawCopy = true;
        return adoptMaps(std::move(fresh), oldRedraw);
    }

    std::unique_ptr<PixelBitmap> image = loadImageFile(path);
    if (!image)
        return fail();
    fresh.alpha = image->hasAlpha();
    fresh.maps = std::make_unique<MapSet>(1);
    (*fresh.maps)[0] = std::move(*image);
    fresh.source = SOURCE_OTHER;
    fresh.raw = false;
    return adoptMaps(std::move(fresh), oldRedraw);
}

std::unique_ptr<PixelBitmap> CKestrelDoc::loadImageFile(const std::string& path)
{
    WaitCursor wait(m_host);
    auto bitmap = std::make_unique<PixelBitmap>();
    // A picture wider or taller than the program shows is refused from its
    // header, before its pixels are decoded.
    bool tooLarge = false;
    try {
        decodeFile(path, *bitmap, 32, DecodeLimits{std::int64_t{MAX_SIDE} * MAX_SIDE, MAX_SIDE});
    } catch (const CTextException& err) {
        tooLarge = err.code() == 12;
        if (!tooLarge) {
            wait.release();
            message("Fehler beim Laden der Textur.");
            return nullptr;
        }
    } catch (const std::exception&) {  // memory short
        wait.release();
        message("Fehler beim Laden der Textur.");
        return nullptr;
    }
    if (tooLarge || bitmap->width() > MAX_SIDE || bitmap->height() > MAX_SIDE) {
        wait.release();
        message("Es werden nur Texturen mit einer Kantenlänge von\nmaximal 2048 Pixeln unterstützt.");
        return nullptr;
    }
    return bitmap;
}

bool CKestrelDoc::adoptMaps(NewMaps&& fresh, bool oldRedraw)
{
    const PixelBitmap& largest = fresh.maps->largest();
    if (largest.width() > MAX_SIDE || largest.height() > MAX_SIDE) {
        error("Map zu groß (max. Kantenlänge 2048 Pixel).");
        m_bRedraw = oldRedraw;
        return false;
    }
    m_pMaps = std::move(fresh.maps);
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

    for (const int id : {ID_VIEW_RGB, ID_VIEW_RGBA, ID_VIEW_ALPHA})
        m_host.setButtonChecked(id, false);
    m_host.setButtonChecked(m_nDisplayMode == MODE_RGBA ? ID_VIEW_RGBA
                            : m_nDisplayMode == MODE_ALPHA ? ID_VIEW_ALPHA : ID_VIEW_RGB,
                            true);

    m_strName = fresh.name;
    m_host.setStatusText(2, " " + m_strName);
    if (fresh.titleFromName)
        m_host.setWindowTitle(m_strName + TITLE_SUFFIX);

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
    std::optional<PixelBitmap> pasted = m_host.clipboardBitmap();
    if (!pasted)
        return;
    if (pasted->width() < 4 || pasted->height() < 4) {
        message("Bitmap zu klein");
        return;
    }
    // Every load keeps to the background pattern's size; a paste does too.
    if (pasted->width() > MAX_SIDE || pasted->height() > MAX_SIDE) {
        error("Map zu groß (max. Kantenlänge 2048 Pixel).");
        return;
    }
    if (pasted->bitsPerPixel() != 32)
        pasted->copyFrom(PixelBitmap(*pasted), 32);
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    m_pMaps = std::make_unique<MapSet>(1);
    (*m_pMaps)[0] = std::move(*pasted);
    m_bHasAlpha = (*m_pMaps)[0].hasAlpha();
    m_nMaps = 1;
    m_nSource = SOURCE_OTHER;
    m_bReady = true;
    m_nLargestMap = 0;
    m_nCurMap = 0;
    m_bAlphaViewStale = m_bRgbaViewStale = true;
    selectMap(0);
    setDisplayMode(m_nDisplayMode);
    m_host.setStatusText(2, " Daten aus der Zwischenablage");
    m_strName = "unbenannt.tex";
    m_host.setWindowTitle(m_strName + TITLE_SUFFIX);
    clearSelection();
    m_bNoSelection = false;
    if (oldRedraw && m_host.hasPictureView())
        m_host.refreshPictureView();
    m_bRedraw = oldRedraw;
}

void CKestrelDoc::openRecentFile(int index)
{
    const auto path = m_host.recentFile(index);
    if (!path)
        return;
    if (!openFile(*path, false))
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
