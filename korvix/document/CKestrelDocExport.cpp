// The export command: the shown texture as a texture file or an image of its
// largest map.
#include "document/CKestrelDoc.h"

#include "codecs/CTextException.h"
#include "codecs/TextureWriter.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/AtomicFile.h"
#include "common/MessageTable.h"
#include "document/DocumentInternal.h"

#include <filesystem>

using docinternal::WaitCursor;
using korvix::MessageId;
using korvix::msg;

void CKestrelDoc::exportCommand()
{
    if (!m_bReady || !m_pMaps)
        return;
    ExportDialogModel model(mipLevelsPossible(), m_nMaps, m_bHasAlpha, m_strName);
    for (;;) {
        if (!m_host.runExportDialog(model))
            return;
        // "Exportieren" over an existing file asks first; No goes back to the
        // dialog as the user left it.
        std::error_code ec;
        if (std::filesystem::exists(model.fileName(), ec)
            && m_host.messageBox(msg(MessageId::OverwriteQuestion), "", MessageIcon::Question, MessageButtons::YesNo)
                   != MessageAnswer::Yes)
            continue;
        break;
    }
    exportTexture(model.result(model.fileName()));
}

bool CKestrelDoc::writeFileBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size)
{
    std::unique_ptr<AtomicFile> file;
    try {
        file = std::make_unique<AtomicFile>(path);
    } catch (const std::runtime_error&) {
        message(MessageId::FileCreateFailed);
        return false;
    }
    try {
        file->write(bytes, size);
        file->commit();
    } catch (const std::runtime_error&) {
        message(MessageId::FileWriteFailed);
        return false;
    }
    return true;
}

// "Alles beibehalten" with the texture's bytes as loaded: a disk texture's copy,
// or the entry it was loaded from, read again from the volume.
CKestrelDoc::LoadedBytes CKestrelDoc::writeLoadedBytes(const std::string& path)
{
    if (m_nSource == SOURCE_TEXTURE_FILE && !m_pRaw.empty()) {
        if (m_pRaw.size() >= 37)
            writeFileBytes(path, m_pRaw.data(), m_pRaw.size());
        return LoadedBytes::Handled;
    }
    if (m_nSource != SOURCE_VOLUME)
        return LoadedBytes::NotKept;
    // The entry that was loaded, as long as its volume is still the open one. A
    // volume opened again since may hold other bytes at that index: nothing is
    // written then, and the user is told why.
    if (!m_bVolumeOpen || m_nLoadedVolumeSerial != m_nVolumeSerial || m_nLoadedEntry < 0
        || static_cast<std::size_t>(m_nLoadedEntry) >= m_catalogue.records().size())
        return LoadedBytes::Gone;
    std::vector<std::uint8_t> bytes;
    if (!readEntry(m_catalogue.records()[static_cast<std::size_t>(m_nLoadedEntry)], bytes))
        return LoadedBytes::Handled;  // unreadable: nothing written, as with no entry at all
    if (bytes.size() >= 37)
        writeFileBytes(path, bytes.data(), bytes.size());
    return LoadedBytes::Handled;
}

void CKestrelDoc::exportTexture(const ExportDialogModel::Result& r)
{
    if (!m_bReady || !m_pMaps)
        return;
    if (r.fileType == ExportDialogModel::TypeUnknown) {
        message(MessageId::UnknownFormat);
        return;
    }
    WaitCursor wait(m_host);
    const PixelBitmap& largest = m_pMaps->largest();
    // Whether the file now holds the picture as it is: only then is it saved.
    bool saved = false;
    switch (r.fileType) {
    case ExportDialogModel::TypeTex: {
        const bool keep = r.mapOption == 1 && m_bRawTexture
                          && (m_nSource == SOURCE_VOLUME || m_nSource == SOURCE_TEXTURE_FILE);
        if (keep) {
            // The bytes as loaded: changes made since are not in them.
            const LoadedBytes kept = writeLoadedBytes(r.path);
            if (kept == LoadedBytes::Handled)
                break;
            if (kept == LoadedBytes::Gone) {
                wait.release();
                message(MessageId::LoadedBytesGone);
                return;
            }
        }
        const MapOption option = r.mapOption == 2 ? MapOption::Generate : MapOption::LargestOnly;
        const bool alpha = m_bHasAlpha && !r.noAlpha;
        const TextureWriteStatus status =
            writeTexture(r.path, option, alpha, r.mapOption == 2 ? r.mapCount : 1, largest, r.formatIndex);
        saved = status == TextureWriteStatus::Ok;
        switch (status) {
        case TextureWriteStatus::BadSize:
            message(MessageId::TexSideInvalid);
            break;
        case TextureWriteStatus::OpenFailed:
            message(MessageId::FileOpenFailed);
            break;
        case TextureWriteStatus::CompressFailed:
            message(MessageId::CompressionFailed);
            break;
        case TextureWriteStatus::WriteFailed:
            message(MessageId::FileWriteFailed);
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
            message(MessageId::ExportFailed);
            return;
        }
        saved = true;
        break;
    }
    case ExportDialogModel::TypePng:
        try {
            // Lossless, with the alpha channel as a TGA export keeps it.
            const bool withAlpha = m_bHasAlpha && !r.noAlpha;
            if (largest.hasAlpha() == withAlpha) {
                encodePng(r.path, largest);
            } else {
                PixelBitmap flagged(largest);
                flagged.setHasAlpha(withAlpha);
                encodePng(r.path, flagged);
            }
        } catch (const std::exception&) {  // CTextException from the writer, or memory
            // As with a TGA, the document keeps its name when nothing was written.
            wait.release();
            message(MessageId::ExportFailed);
            return;
        }
        break;
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
            saved = true;
        } catch (const std::runtime_error&) {  // CTextException from the writers, or the file
            message(MessageId::ExportFailed);
        }
        break;
    default:
        break;
    }
    m_strName = r.path;
    setPictureStatus(" " + r.path);
    if (saved)
        m_history.markSaved();
    setTitle(r.path + TITLE_SUFFIX);
}
