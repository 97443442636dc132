#include "document/Thumbnail.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"
#include "document/PictureLoader.h"
#include "document/PictureResize.h"

#include <qorbm.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

namespace thumbnail {

namespace {

Result failed(Status status, std::string detail = {})
{
    Result r;
    r.status = status;
    r.detail = std::move(detail);
    return r;
}

Result textureFailed(TextureLoadStatus status)
{
    Result r = failed(Status::TextureRejected, describe(status));
    r.textureStatus = status;
    return r;
}

// A TGA of the largest picture the document takes, with room for a colour
// map, run-length packets and the footer: anything longer is no such image.
constexpr std::uint64_t MAX_IMAGE_ENTRY = std::uint64_t{2048} * 2048 * 5 + (64u << 10);

bool fitsLimits(int width, int height)
{
    const DecodeLimits limits = documentLimits();
    return width <= limits.maxSide && height <= limits.maxSide
           && std::int64_t{width} * height <= limits.maxPixels;
}

// A read-only stream over one file, unbuffered (every read is one positioned
// read of what the caller wants).
class FileSource {
public:
    explicit FileSource(const std::string& path)
    {
        m_file.rdbuf()->pubsetbuf(nullptr, 0);
        errno = 0;
        m_file.open(path, std::ios::binary);
        if (!m_file) {
            m_strError = errno ? std::generic_category().message(errno) : "cannot be opened";
            return;
        }
        m_file.seekg(0, std::ios::end);
        const std::streamoff end = m_file.tellg();
        if (end < 0) {
            m_strError = "cannot be read";
            return;
        }
        m_nSize = static_cast<std::uint64_t>(end);
        m_bOpen = true;
    }

    bool open() const { return m_bOpen; }
    const std::string& error() const { return m_strError; }
    std::uint64_t size() const { return m_nSize; }

    bool read(std::uint64_t offset, std::size_t size, std::uint8_t* out)
    {
        if (offset > m_nSize || size > m_nSize - offset)
            return false;
        m_file.clear();
        m_file.seekg(static_cast<std::streamoff>(offset));
        m_file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(m_file.gcount()) == size;
    }

    ReadAt reader(std::uint64_t base = 0)
    {
        return [this, base](std::uint64_t offset, std::size_t size, std::uint8_t* out) {
            return read(base + offset, size, out);
        };
    }

private:
    std::ifstream m_file;
    std::uint64_t m_nSize = 0;
    bool m_bOpen = false;
    std::string m_strError;
};

// A file entry the catalogue walk reported.
struct FileEntry {
    std::uint32_t index;
    std::uint32_t offset;
    std::uint32_t size;
    friend bool operator<(const FileEntry& a, const FileEntry& b) { return a.index < b.index; }
};

// The walk of the volume being searched on this thread: the library calls a
// plain function, which collects the files it reports.
struct Walk {
    std::vector<FileEntry> files;
    bool outOfMemory = false;
};
thread_local Walk* t_walk = nullptr;

void collectFile(int index, int parentIndex, const tarvos::QORBEntry* entry)
{
    if (!t_walk || !entry || parentIndex == -1 || index < 0 || (entry->flags & tarvos::QORB_FLAG_DIRECTORY))
        return;
    try {
        t_walk->files.push_back({static_cast<std::uint32_t>(index), entry->offset, entry->size});
    } catch (const std::bad_alloc&) {
        t_walk->outOfMemory = true;
    }
}

Result ofVolume(const std::string& path, int size)
{
    tarvos::GGroup volume;
    const int code = volume.open(path.c_str(), true);
    if (code == tarvos::GGroup::G_ERR_ALLOC)
        return failed(Status::OutOfMemory, "the volume's catalogue does not fit in memory");
    if (code != tarvos::GGroup::G_OK)
        return failed(Status::VolumeRejected, "the volume library refused it (code " + std::to_string(code) + ")");

    // The files the walk reaches (the entries the volume browser lists), in
    // catalogue order.
    Walk walk;
    t_walk = &walk;
    volume.setCallBack(&collectFile);
    volume.travEntries();
    t_walk = nullptr;
    if (walk.outOfMemory)
        return failed(Status::OutOfMemory);
    std::sort(walk.files.begin(), walk.files.end());

    for (const FileEntry& f : walk.files) {
        std::uint8_t tag[4];
        if (f.size < texture::HEADER_SIZE || !volume.getDataBlock(f.offset, sizeof tag, tag)
            || !hasTextureTag(tag, sizeof tag))
            continue;
        const ReadAt read = [&](std::uint64_t offset, std::size_t n, std::uint8_t* out) {
            return offset <= f.size && n <= f.size - offset && volume.getDataBlock(f.offset + offset, n, out);
        };
        return ofTexture(read, f.size, size);
    }
    return failed(Status::NoTexture, "the volume holds no texture");
}

}  // namespace

Size reducedSize(int width, int height, int size)
{
    const int longer = std::max(width, height);
    if (size <= 0 || longer <= size)
        return {width, height};
    auto scale = [&](int side) {
        const std::int64_t s = (std::int64_t{side} * size + longer / 2) / longer;
        return static_cast<int>(std::clamp<std::int64_t>(s, 1, size));
    };
    return {scale(width), scale(height)};
}

Result ofPicture(PixelBitmap picture, int size)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return failed(Status::EmptyPicture, "the picture has no pixels");
    Result r;
    const Size to = reducedSize(picture.width(), picture.height(), size);
    try {
        if (to.width == picture.width() && to.height == picture.height()) {
            r.picture = std::move(picture);
        } else {
            r.picture.create(to.width, to.height, 32, picture.hasAlpha());
            if (!resampleByRule(picture, r.picture))
                return failed(Status::OutOfMemory);
        }
    } catch (const std::bad_alloc&) {
        return failed(Status::OutOfMemory);
    }
    r.status = Status::Ok;
    return r;
}

Result ofTexture(const ReadAt& read, std::uint64_t length, int size)
{
    std::uint8_t header[texture::HEADER_SIZE];
    const std::size_t headerBytes = static_cast<std::size_t>(std::min<std::uint64_t>(length, sizeof header));
    if (!read(0, headerBytes, header))
        return failed(Status::OpenFailed, "the texture's header cannot be read");
    const TextureLayout layout = textureLayout(header, headerBytes);
    if (!layout.ok())
        return textureFailed(layout.status);
    if (layout.end > length)
        return textureFailed(TextureLoadStatus::Truncated);
    const texture::MapSize s = layout.largest;
    if (s.width <= 0 || s.height <= 0)
        return failed(Status::EmptyPicture, "the texture's largest map has no pixels");
    if (!fitsLimits(s.width, s.height))
        return failed(Status::TooLarge, "the largest map is " + std::to_string(s.width) + " x "
                                            + std::to_string(s.height) + " pixels, more than 2048 a side");

    PixelBitmap map;
    try {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(layout.largestBytes));
        if (!data.empty() && !read(layout.largestOffset, data.size(), data.data()))
            return failed(Status::OpenFailed, "the texture's largest map cannot be read");
        map.create(s.width, s.height, 32, true);
        decodeTextureMap(layout.format, data.data(), data.size(), map);
    } catch (const std::bad_alloc&) {
        return failed(Status::OutOfMemory);
    } catch (const CTextException&) {
        return failed(Status::OutOfMemory);
    }
    map.setHasAlpha(layout.hasAlpha);
    return ofPicture(std::move(map), size);
}

Result ofEntry(const ReadAt& read, std::uint64_t length, int size)
{
    std::uint8_t head[4] = {};
    if (length >= sizeof head && !read(0, sizeof head, head))
        return failed(Status::OpenFailed, "the entry cannot be read");
    if (length >= sizeof head && hasTextureTag(head, sizeof head))
        return ofTexture(read, length, size);

    if (length > MAX_IMAGE_ENTRY)
        return failed(Status::NotSupported, "neither a texture nor an image that fits the limits");
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return failed(Status::OutOfMemory);
    }
    if (!bytes.empty() && !read(0, bytes.size(), bytes.data()))
        return failed(Status::OpenFailed, "the entry cannot be read");
    if (detectImageType(bytes.data(), bytes.size()) != IMAGE_TGA)
        return failed(Status::NotSupported, "neither a texture nor a TGA image");
    LoadedPicture image = loadImageBytes(bytes.data(), bytes.size(), documentLimits());
    bytes = {};
    switch (image.status) {
    case LoadedPicture::Status::Ok: break;
    case LoadedPicture::Status::TooLarge: return failed(Status::TooLarge, image.detail);
    case LoadedPicture::Status::OutOfMemory: return failed(Status::OutOfMemory);
    default: return failed(Status::ImageFailed, image.detail);
    }
    PixelBitmap picture = std::move((*image.maps)[0]);
    picture.setHasAlpha(image.alpha);
    return ofPicture(std::move(picture), size);
}

Result ofVolumeEntry(const std::string& path, std::uint64_t offset, std::uint64_t length, int size)
{
    FileSource file(path);
    if (!file.open())
        return failed(Status::OpenFailed, file.error());
    if (offset > file.size() || length > file.size() - offset)
        return failed(Status::OpenFailed, "the entry reaches past the end of the volume");
    return ofEntry(file.reader(offset), length, size);
}

Result ofFile(const std::string& path, int size)
{
    // A pipe or a device would block or never end: only plain files are read.
    std::error_code ec;
    const auto type = std::filesystem::status(path, ec).type();
    if (!ec && type != std::filesystem::file_type::regular)
        return failed(Status::OpenFailed, "not a regular file");
    FileSource file(path);
    if (!file.open())
        return failed(Status::OpenFailed, file.error());

    std::uint8_t head[tarvos::QORB_HEADER_OFFSET + 12] = {};
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), sizeof head));
    if (n > 0 && !file.read(0, n, head))
        return failed(Status::OpenFailed, "cannot be read");
    // The volume's signature first: its comment is free text and may well
    // begin with "KTEX", while a texture's pixels hardly hold the signature.
    if (file.size() >= tarvos::QORB_CATALOGUE_OFFSET
        && std::memcmp(head + tarvos::QORB_HEADER_OFFSET, tarvos::QORB_SIGNATURE, 12) == 0)
        return ofVolume(path, size);
    if (hasTextureTag(head, n))
        return ofTexture(file.reader(), file.size(), size);
    return failed(Status::NotSupported, "neither a texture nor a QORB volume");
}

}  // namespace thumbnail
