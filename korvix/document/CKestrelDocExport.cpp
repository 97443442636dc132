// The export command: the shown texture as a texture file or an image of its
// largest map.
#include "document/CKestrelDoc.h"

#include "codecs/CTextException.h"
#include "codecs/TextureWriter.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/AtomicFile.h"
#include "document/DocumentInternal.h"

#include <filesystem>

using docinternal::WaitCursor;

void CKestrelDoc::exportCommand()
{
    if (!m_bReady || !m_pMaps)
        return;
    ExportDialogModel model(mipLevelsPossible(), m_nMaps, m_bHasAlpha, m_strName);
    if (!m_host.runExportDialog(model))
        return;
    exportTexture(model.result(model.fileName()));
}

bool CKestrelDoc::writeFileBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size)
{
    std::unique_ptr<AtomicFile> file;
    try {
        file = std::make_unique<AtomicFile>(path);
    } catch (const std::runtime_error&) {
        message("Fehler beim Erzeugen der Datei.");
        return false;
    }
    try {
        file->write(bytes, size);
        file->commit();
    } catch (const std::runtime_error&) {
        message("Fehler beim Schreiben der Datei.");
        return false;
    }
    return true;
}

// "Alles beibehalten" with the texture's bytes as loaded: a disk texture's copy,
// or the entry it was loaded from, read again from the volume. False when the
// bytes are not available (the caller then writes the largest map instead).
bool CKestrelDoc::writeLoadedBytes(const std::string& path)
{
    if (m_nSource == SOURCE_TEXTURE_FILE && !m_pRaw.empty()) {
        if (m_pRaw.size() >= 37)
            writeFileBytes(path, m_pRaw.data(), m_pRaw.size());
        return true;
    }
    // The entry that was loaded, as long as its volume is still the open one.
    if (m_nSource == SOURCE_VOLUME && m_bVolumeOpen && m_nLoadedVolumeSerial == m_nVolumeSerial
        && m_nLoadedEntry >= 0 && static_cast<std::size_t>(m_nLoadedEntry) < m_entryRecords.size()) {
        std::vector<std::uint8_t> bytes;
        if (!readEntry(m_entryRecords[static_cast<std::size_t>(m_nLoadedEntry)], bytes))
            return true;  // unreadable: nothing written, as with no entry at all
        if (bytes.size() >= 37)
            writeFileBytes(path, bytes.data(), bytes.size());
        return true;
    }
    return false;
}

void CKestrelDoc::exportTexture(const ExportDialogModel::Result& r)
{
    if (!m_bReady || !m_pMaps)
        return;
    if (r.fileType == ExportDialogModel::TypeUnknown) {
        message("Unbekanntes Format.");
        return;
    }
    WaitCursor wait(m_host);
    const PixelBitmap& largest = m_pMaps->largest();
    switch (r.fileType) {
    case ExportDialogModel::TypeTex: {
        const bool keep = r.mapOption == 1 && m_bRawTexture
                          && (m_nSource == SOURCE_VOLUME || m_nSource == SOURCE_TEXTURE_FILE);
        if (keep && writeLoadedBytes(r.path))
            break;
        const MapOption option = r.mapOption == 2 ? MapOption::Generate : MapOption::LargestOnly;
        const bool alpha = m_bHasAlpha && !r.noAlpha;
        switch (writeTexture(r.path, option, alpha, r.mapOption == 2 ? r.mapCount : 1, largest, r.formatIndex)) {
        case TextureWriteStatus::BadSize:
            message("Bitte Textur vor dem TEX-Export ändern:\nKantenlänge ist kleiner 4 oder nicht 2^n (4, 8, "
                    "16, 32, ... 2048),\ndaher wäre die Textur für Tarvos nicht verwendbar.");
            break;
        case TextureWriteStatus::OpenFailed:
            message("Fehler beim Öffnen der Datei.");
            break;
        case TextureWriteStatus::CompressFailed:
            message("Kompression fehlgeschlagen.");
            break;
        case TextureWriteStatus::WriteFailed:
            message("Fehler beim Schreiben der Datei.");
            break;
        default:
            break;
        }
        break;
    }
    case ExportDialogModel::TypeTga: {
        const bool withAlpha = m_bHasAlpha && !r.noAlpha;
        const std::unique_ptr<RawImage> raw = rawImageFromBitmap(largest, withAlpha);
        const bool ok = raw && writeTga(*raw, r.path) == 0;
        if (!ok) {
            wait.release();
            message("Fehler beim Exportieren aufgetreten.");
            return;
        }
        break;
    }
    case ExportDialogModel::TypeBmp:
    case ExportDialogModel::TypeTiff:
    case ExportDialogModel::TypeJpeg:
        try {
            if (r.fileType == ExportDialogModel::TypeBmp) {
                // Written beside the target and renamed over it when complete.
                AtomicFile file(r.path);
                largest.saveAsBmp(file.tempPath().string());
                file.commit();
            } else if (r.fileType == ExportDialogModel::TypeTiff)
                encodeTiff(r.path, largest);
            else
                encodeJpeg(r.path, largest);
        } catch (const std::runtime_error&) {  // CTextException from the writers, or the file
            message("Fehler beim Exportieren aufgetreten.");
        }
        break;
    default:
        break;
    }
    m_strName = r.path;
    m_host.setStatusText(2, " " + r.path);
    m_host.setWindowTitle(r.path + TITLE_SUFFIX);
}
