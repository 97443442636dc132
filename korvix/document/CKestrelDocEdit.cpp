// Editing the open volume in place: comment and timestamp, renaming, extracting
// and replacing entries. Nothing changes the size of the volume or an entry.
//
// Every write is a patch that can be undone: the old bytes are read first, the
// written bytes are read back and compared, and a failed, short or wrong write
// puts the old bytes back, so an entry is never left half old and half new.
// And every write goes only into the file that was opened, as it was: a volume
// another program replaced or changed meanwhile is not written at all.
#include "document/CKestrelDoc.h"

#include "codecs/BitmapFilterImage.h"
#include "codecs/TextureFormat.h"
#include "codecs/TextureWriter.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/AtomicFile.h"
#include "common/MessageTable.h"
#include "document/DocumentInternal.h"
#include "document/DosTimeRule.h"
#include "document/EntryNameRule.h"
#include "document/PictureResize.h"
#include "filters/ImageFilters.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <unistd.h>

using docinternal::WaitCursor;
using korvix::latin1ToUtf8;
using korvix::MessageId;
using korvix::utf8ToLatin1;

namespace {

// A temporary file "kvx..." in the temporary directory, removed with the object.
class TemporaryFile {
public:
    TemporaryFile()
    {
        // No usable temporary directory leaves the object invalid, which callers report.
        std::error_code ec;
        const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
        if (ec)
            return;
        std::string pattern = (dir / "kvxXXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd >= 0) {
            close(fd);
            m_path = pattern;
        }
    }
    ~TemporaryFile()
    {
        if (!m_path.empty())
            std::remove(m_path.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    bool valid() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// Writes `size` bytes at `offset` so that either all of them land or the old
// bytes stay.
bool patchVolume(tarvos::GGroup& volume, std::uint64_t offset, const std::uint8_t* bytes, std::size_t size)
{
    if (size == 0 || offset + size > volume.fileSize())
        return false;
    std::vector<std::uint8_t> old(size), check(size);
    if (!volume.getDataBlock(static_cast<unsigned long>(offset), size, old.data()))
        return false;
    if (volume.writeDataBlock(static_cast<unsigned long>(offset), size, bytes)
        && volume.getDataBlock(static_cast<unsigned long>(offset), size, check.data())
        && std::memcmp(check.data(), bytes, size) == 0)
        return true;
    volume.writeDataBlock(static_cast<unsigned long>(offset), size, old.data());
    return false;
}

std::uint16_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
           | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

// ---- every write ----

CKestrelDoc::VolumeWrite CKestrelDoc::writeVolume(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size)
{
    if (!m_identity.unchanged(*m_volume)) {
        offerReopen(true);
        return VolumeWrite::Changed;
    }
    const bool written = patchVolume(*m_volume, offset, bytes, size);
    // Our own write, or the old bytes put back, changed the file's time and
    // perhaps its catalogue: the record follows, so that it is not taken for a
    // change by someone else. A file that cannot be read back any more is
    // refused at the next write.
    m_identity.record(m_identity.path(), *m_volume);
    return written ? VolumeWrite::Written : VolumeWrite::Failed;
}

// ---- comment and timestamp ----

void CKestrelDoc::editVolumeData()
{
    if (!m_bVolumeOpen)
        return;
    const auto answer = m_host.runVolumeDataDialog({latin1ToUtf8(m_strVolumeComment), m_volumeTime});
    if (!answer)
        return;
    // The date is checked first: a refused date writes nothing at all.
    if (!checkVolumeTime(answer->time))
        return;
    if (setVolumeComment(answer->comment))
        setVolumeTime(answer->time);
}

bool CKestrelDoc::checkVolumeTime(const korvix::DosDateTime& t)
{
    // Nothing before 1980 can be stored either; such a date is refused like a late one.
    if (const auto refusal = dosTimeRefusal(t)) {
        message(*refusal);
        return false;
    }
    return true;
}

bool CKestrelDoc::setVolumeComment(const std::string& text)
{
    if (!m_bVolumeOpen)
        return false;
    const auto comment = utf8ToLatin1(text);
    if (!comment || comment->size() > tarvos::QORB_COMMENT_SIZE) {
        message(MessageId::CommentInvalid);
        return false;
    }
    if (m_volume->readOnly()) {
        message(MessageId::VolumeReadOnly);
        return false;
    }
    std::uint8_t block[tarvos::QORB_COMMENT_SIZE + 1];
    std::memset(block, 0x1A, sizeof block);
    std::memcpy(block, comment->data(), comment->size());
    switch (writeVolume(0, block, tarvos::QORB_COMMENT_SIZE)) {
    case VolumeWrite::Written: break;
    case VolumeWrite::Changed: return false;
    case VolumeWrite::Failed: message(MessageId::FileWriteFailed); return false;
    }
    m_strVolumeComment = *comment;
    return true;
}

bool CKestrelDoc::setVolumeTime(const korvix::DosDateTime& t)
{
    if (!m_bVolumeOpen || !checkVolumeTime(t))
        return false;
    if (m_volume->readOnly()) {
        message(MessageId::VolumeReadOnly);
        return false;
    }
    // The time word and the date word sit side by side and form one timestamp:
    // they go to disk as one patch, so a failed write leaves the old pair whole
    // instead of a new time beside an old date.
    const std::uint32_t stamp = korvix::toDosTimestamp(t);
    const std::uint8_t field[4] = {static_cast<std::uint8_t>(stamp), static_cast<std::uint8_t>(stamp >> 8),
                                   static_cast<std::uint8_t>(stamp >> 16), static_cast<std::uint8_t>(stamp >> 24)};
    switch (writeVolume(280, field, sizeof field)) {
    case VolumeWrite::Written: break;
    case VolumeWrite::Changed: return false;
    case VolumeWrite::Failed: message(MessageId::FileWriteFailed); return false;
    }
    m_volumeTime = t;
    return true;
}

// ---- rename ----

bool CKestrelDoc::renameCommand(int index, const std::string& itemText, bool isSelected)
{
    if (!m_bVolumeOpen || index < 0 || static_cast<std::size_t>(index) >= m_catalogue.records().size())
        return false;
    // The dialog asks the rule while the user types and stays open on a refused name.
    const NameValidator validate = [this, index](const std::string& name) {
        return EntryNameRule::describe(EntryNameRule::checkRename(m_catalogue, index, name), m_catalogue);
    };
    const auto newName =
        m_host.runRenameDialog(latin1ToUtf8(m_catalogue.records()[static_cast<std::size_t>(index)].name), validate);
    if (!newName || newName->empty() || *newName == itemText)
        return false;
    return renameEntry(index, *newName, isSelected);
}

bool CKestrelDoc::renameEntry(int index, const std::string& newName, bool isSelected)
{
    if (!m_bVolumeOpen || index < 0 || static_cast<std::size_t>(index) >= m_catalogue.records().size())
        return false;
    const EntryNameRule::Verdict verdict = EntryNameRule::checkRename(m_catalogue, index, newName);
    if (!verdict.ok()) {
        message(EntryNameRule::describe(verdict, m_catalogue));
        return false;
    }
    if (m_volume->readOnly()) {
        message(MessageId::VolumeReadOnly);
        return false;
    }
    std::uint8_t field[64];
    std::memset(field, ' ', sizeof field);
    std::memcpy(field, verdict.latin1.data(), verdict.latin1.size());
    switch (writeVolume(tarvos::QORB_CATALOGUE_OFFSET + 80ull * static_cast<unsigned>(index), field, 64)) {
    case VolumeWrite::Written: break;
    case VolumeWrite::Changed: return false;
    case VolumeWrite::Failed: message(MessageId::FileWriteFailed); return false;
    }
    EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(index)];
    r.name.assign(verdict.latin1);
    r.marks |= EntryRecord::MARK_RENAMED;
    if (isSelected)
        m_host.setStatusText(2, newName);
    return true;
}

// ---- extract ----

void CKestrelDoc::extractEntry(int index)
{
    if (!m_bVolumeOpen || index < 0 || static_cast<std::size_t>(index) >= m_catalogue.records().size())
        return;
    const EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(index)];
    std::vector<std::uint8_t> bytes;
    if (r.isDirectory || (!readEntry(r, bytes) && r.size > 0))
        return;
    const auto path = m_host.chooseSaveFile(latin1ToUtf8(r.name));
    if (!path)
        return;
    try {
        AtomicFile file(*path);
        file.write(bytes.data(), bytes.size());
        file.commit();
    } catch (const std::runtime_error&) {
        error(MessageId::FileWriteFailed);
    }
}

// ---- replace by a file ----

bool CKestrelDoc::replaceEntryFromFile(int index, bool reload)
{
    if (!m_bVolumeOpen || index < 0 || static_cast<std::size_t>(index) >= m_catalogue.records().size())
        return false;
    EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(index)];
    const auto path = m_host.chooseOpenFile({}, "*.*");
    if (!path)
        return false;
    std::ifstream in(*path, std::ios::binary | std::ios::ate);
    if (!in) {
        message(MessageId::FileOpenFailed, *path, std::generic_category().message(errno));
        return false;
    }
    const auto length = static_cast<long long>(in.tellg());
    if (r.isDirectory) {
        message(MessageId::SizesDiffer);
        return false;
    }
    if (length != static_cast<long long>(r.size)) {
        // In place only the same size fits; the volume can be written anew instead.
        in.close();
        const std::string text = korvix::MessageTable::format(
            MessageId::RewriteSizesDifferFormat, docinternal::groupedNumber(static_cast<std::uint64_t>(length)).c_str(),
            docinternal::groupedNumber(r.size).c_str());
        if (m_host.messageBox(text, "", MessageIcon::Question, MessageButtons::RewriteCancel) != MessageAnswer::Ok)
            return false;
        const std::string entryPath = m_catalogue.pathOf(index);
        if (!rewriteVolume({VolumeChange::put(VolumeChange::entryAt(index), *path)}))
            return false;
        // The volume was opened again: the entry has the same path and perhaps another index.
        if (reload)
            if (const auto entry = m_catalogue.find(entryPath))
                loadMaps("", true, false, *entry);
        return true;
    }
    WaitCursor wait(m_host);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(r.size);
    } catch (const std::bad_alloc&) {
        wait.release();
        message(MessageId::OutOfMemory);
        return false;
    }
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        const int error = errno;
        wait.release();
        message(MessageId::FileReadFailed, *path, std::generic_category().message(error ? error : EIO));
        return false;
    }
    in.close();
    if (m_volume->readOnly()) {
        wait.release();
        message(MessageId::VolumeReadOnly);
        return false;
    }
    if (r.size > 0) {
        // After a refusal the volume may have been opened again: `r` is not used.
        const VolumeWrite result = writeVolume(r.offset, bytes.data(), bytes.size());
        wait.release();
        if (result == VolumeWrite::Changed)
            return false;
        if (result == VolumeWrite::Failed) {
            message(MessageId::ReplaceFailed);
            return false;
        }
    }
    r.marks |= EntryRecord::MARK_REPLACED;
    if (reload)
        loadMaps("", true, false, index);
    return true;
}

// ---- replace by the shown picture ----

bool CKestrelDoc::replaceEntryFromImage(int index, dxt::Quality quality)
{
    if (!m_bReady || !m_pMaps || index < 0 || static_cast<std::size_t>(index) >= m_catalogue.records().size())
        return false;
    EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(index)];
    if (r.kind != KIND_IMAGE) {
        message(MessageId::OnlyImagesReplaceable);
        return false;
    }
    if (r.name.size() <= 4) {
        message(MessageId::InvalidFileName);
        return false;
    }

    // The target's size and format come from the entry's own bytes. The ending
    // is compared without regard to case, as the entry's kind was decided: a
    // "wall.tex" is as much an image as a "WALL.TEX".
    std::string ending(r.name.view().substr(r.name.size() - 3));
    for (char& c : ending)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    int targetWidth = 0, targetHeight = 0, targetMaps = 1, formatIndex = 0;
    bool targetAlpha = false, targetIsTga = false;
    if (ending == "TGA") {
        std::uint8_t head[6];
        if (std::uint64_t{r.offset} + 18 > m_volume->fileSize() || !m_volume->getDataBlock(r.offset + 12ul, 6, head)) {
            message(MessageId::DataNotRead);
            return false;
        }
        targetWidth = le16(head);
        targetHeight = le16(head + 2);
        if (targetWidth > MAX_SIDE || targetHeight > MAX_SIDE || targetWidth == 0 || targetHeight == 0) {
            message(MessageId::TargetSideInvalid);
            return false;
        }
        if (head[4] == 32 && head[5] == 8) {
            targetAlpha = true;
        } else if (!(head[4] == 24 && head[5] == 0)) {
            message(MessageId::FormatNotSupported);
            return false;
        }
        targetIsTga = true;
    } else if (ending == "TEX") {
        std::uint8_t head[32];
        if (std::uint64_t{r.offset} + 32 > m_volume->fileSize() || !m_volume->getDataBlock(r.offset, 32, head)) {
            message(MessageId::DataNotRead);
            return false;
        }
        const std::uint32_t w = le32(head + 12), h = le32(head + 16);
        if (w < 1 || w > MAX_SIDE || h < 1 || h > MAX_SIDE) {
            message(MessageId::TargetSideInvalid);
            return false;
        }
        targetWidth = static_cast<int>(w);
        targetHeight = static_cast<int>(h);
        if (std::memcmp(head, "KTEX", 4) != 0) {
            message(MessageId::TextureError);
            return false;
        }
        // Format code and map count as the texture loader reads them: one byte
        // each, the count signed, 0 or less meaning one map, more than ten
        // not a texture the game or this program can read.
        switch (head[8]) {
        case 10: formatIndex = 0; targetAlpha = false; break;
        case 12: formatIndex = 1; targetAlpha = true; break;
        case 6: formatIndex = 2; targetAlpha = true; break;
        case 8: formatIndex = 3; targetAlpha = false; break;
        case 2: formatIndex = 4; targetAlpha = true; break;
        default:
            message(MessageId::TextureFormatNotSupportedHere);
            return false;
        }
        const int count = static_cast<std::int8_t>(head[20]);
        if (count > texture::MAX_MAPS) {
            message(MessageId::TextureError);
            return false;
        }
        targetMaps = std::max(1, count);
    } else {
        message(MessageId::OnlyImagesReplaceableEnding);
        return false;
    }

    // The shown picture at the target's size.
    WaitCursor wait(m_host);
    const PixelBitmap& source = m_pMaps->largest();
    std::optional<PixelBitmap> resized = resampledPicture(source, targetWidth, targetHeight);
    wait.release();
    if (!resized) {
        message(MessageId::ResizeFailed);
        return false;
    }
    PixelBitmap& prepared = *resized;
    prepared.setHasAlpha(false);

    const std::string text = korvix::MessageTable::format(MessageId::ReplaceConfirmFormat, source.width(), source.height(),
                                                          m_nMaps, targetWidth, targetHeight, targetMaps);
    if (m_host.messageBox(text, "", MessageIcon::Information, MessageButtons::OkCancel) != MessageAnswer::Ok)
        return false;

    WaitCursor writing(m_host);
    TemporaryFile temp;
    bool written = temp.valid();
    if (written && targetIsTga) {
        const std::unique_ptr<RawImage> raw = rawImageFromBitmap(prepared, targetAlpha);
        written = raw && writeTga(*raw, temp.path()) == 0;
    } else if (written) {
        written = writeTexture(temp.path(), MapOption::Generate, targetAlpha, targetMaps, prepared, formatIndex, quality)
                  == TextureWriteStatus::Ok;
    }
    if (!written) {
        writing.release();
        message(MessageId::TempWriteFailed);
        return false;
    }
    std::ifstream in(temp.path(), std::ios::binary | std::ios::ate);
    if (!in) {
        writing.release();
        message(MessageId::TempOpenFailed);
        return false;
    }
    if (static_cast<long long>(in.tellg()) != static_cast<long long>(r.size)) {
        writing.release();
        message(MessageId::ConversionProblem);
        return false;
    }
    std::vector<std::uint8_t> bytes(r.size);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        writing.release();
        message(MessageId::TempReadFailed);
        return false;
    }
    in.close();
    if (m_volume->readOnly()) {
        writing.release();
        message(MessageId::VolumeReadOnly);
        return false;
    }
    // After a refusal the volume may have been opened again: `r` is not used.
    const VolumeWrite result = writeVolume(r.offset, bytes.data(), bytes.size());
    writing.release();
    if (result == VolumeWrite::Changed)
        return false;
    if (result == VolumeWrite::Failed) {
        message(MessageId::ReplaceFailed);
        return false;
    }
    r.marks |= EntryRecord::MARK_REPLACED;
    pictureSaved();
    return true;
}
