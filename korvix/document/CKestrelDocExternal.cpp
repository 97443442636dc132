// Editing the shown picture in another program: the map goes out as a PNG
// into a folder of the program's own, and every save of that file comes back
// as the shown picture through the door a paste uses.
#include "document/CKestrelDoc.h"

#include "codecs/TextureFormat.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"
#include "document/DocumentInternal.h"
#include "document/PictureLoader.h"

#include <stdexcept>

using docinternal::WaitCursor;
using korvix::MessageId;
using korvix::msg;

namespace {

// The file's name: the picture's own name with ".png" in place of its
// extension, so that the other program's title says what is being edited.
std::string outsideFileName(const std::string& name)
{
    std::string stem = docinternal::fileNameOf(name);
    if (const auto dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    if (stem.empty() || stem == "." || stem == "..")
        stem = "unbenannt";
    return stem + ".png";
}

}  // namespace

bool CKestrelDoc::externalEditCommand()
{
    if (!m_bReady || !m_pMaps || m_nCurMap < 0 || m_nCurMap >= m_nMaps)
        return false;
    const auto folder = m_host.externalEditFolder();
    if (!folder) {
        message(MessageId::ExternalFolderFailed);
        return false;
    }
    const std::string path = *folder + "/" + outsideFileName(m_strName);
    const PixelBitmap& map = (*m_pMaps)[m_nCurMap];
    try {
        WaitCursor wait(m_host);
        // PNG is lossless: what comes back unchanged is the map, bit for bit,
        // with its alpha channel exactly when the texture has one.
        if (map.hasAlpha() == m_bHasAlpha) {
            encodePng(path, map);
        } else {
            PixelBitmap flagged(map);
            flagged.setHasAlpha(m_bHasAlpha);
            encodePng(path, flagged);
        }
    } catch (const std::exception&) {  // CTextException from the writer, or memory
        message(MessageId::ExternalWriteFailed);
        return false;
    }
    endExternalEdit();
    if (!m_host.startExternalEdit(path)) {
        message(MessageId::ExternalStartFailed);
        return false;
    }
    m_strExternalFile = path;
    return true;
}

bool CKestrelDoc::externalFileSaved()
{
    // Nothing handed out, or a command at work on the picture.
    if (m_strExternalFile.empty() || !m_bReady)
        return false;
    LoadedPicture loaded;
    {
        WaitCursor wait(m_host);
        loaded = ::loadImageFile(m_strExternalFile, documentLimits());
    }
    if (loaded.status == LoadedPicture::Status::TooLarge) {
        error(MessageId::MapTooLarge);
        return false;
    }
    if (!loaded.ok()) {
        message(MessageId::TextureLoadFailed);
        return false;
    }
    PixelBitmap picture = std::move((*loaded.maps)[0]);
    const int w = picture.width(), h = picture.height();
    const PixelBitmap* before = m_pMaps && m_nCurMap < m_nMaps ? &(*m_pMaps)[m_nCurMap] : nullptr;
    const bool resized = !before || before->width() != w || before->height() != h;
    if (!replacePicture(std::move(picture), PictureOrigin::ofImage(loaded.imageType), MessageId::StepExternalEdit,
                        std::nullopt))
        return false;
    // The picture is kept whatever its size; a size no texture can take is
    // told once, when the other program changed it.
    if (resized && !(texture::isTextureSide(w) && texture::isTextureSide(h)))
        message(korvix::MessageTable::format(MessageId::ExternalNotTextureSizeFormat, w, h));
    return true;
}

void CKestrelDoc::endExternalEdit()
{
    if (m_strExternalFile.empty())
        return;
    m_strExternalFile.clear();
    m_host.stopExternalEdit();
}
