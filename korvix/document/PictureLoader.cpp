#include "document/PictureLoader.h"

#include "codecs/CTextException.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace {

using Status = LoadedPicture::Status;

constexpr int CODE_TOO_LARGE = 12;
// The smallest texture file is larger than this: a header and one map.
constexpr long long TEXTURE_FILE_MINIMUM = 43;

LoadedPicture failed(Status status, std::string detail = {})
{
    LoadedPicture p;
    p.status = status;
    p.detail = std::move(detail);
    return p;
}

LoadedPicture decoded(PixelBitmap&& bitmap, int type, const DecodeLimits& limits)
{
    if (bitmap.width() > limits.maxSide || bitmap.height() > limits.maxSide)
        return failed(Status::TooLarge, std::to_string(bitmap.width()) + " x " + std::to_string(bitmap.height())
                                            + " pixels, more than " + std::to_string(limits.maxSide) + " a side");
    LoadedPicture p;
    p.status = Status::Ok;
    p.alpha = bitmap.hasAlpha();
    p.imageType = type;
    p.maps = std::make_unique<MapSet>(1);
    (*p.maps)[0] = std::move(bitmap);
    return p;
}

// Runs a decoder into a fresh bitmap and sorts its refusals.
template <typename Decode>
LoadedPicture decodeImage(Decode&& decode, const DecodeLimits& limits)
{
    PixelBitmap bitmap;
    int type = IMAGE_NONE;
    try {
        type = decode(bitmap);
    } catch (const CTextException& err) {
        LoadedPicture p = failed(err.code() == CODE_TOO_LARGE ? Status::TooLarge : Status::ImageFailed, err.message());
        p.errorCode = err.code();
        return p;
    } catch (const std::exception& err) {  // memory short
        return failed(Status::OutOfMemory, err.what());
    }
    return decoded(std::move(bitmap), type, limits);
}

}  // namespace

bool hasTextureTag(const std::uint8_t* bytes, std::size_t size)
{
    return size >= 4 && std::memcmp(bytes, "KTEX", 4) == 0;
}

DecodeLimits documentLimits()
{
    constexpr std::int64_t side = 2048;
    return DecodeLimits{side * side, side};
}

LoadedPicture loadTextureBytes(std::vector<std::uint8_t> bytes)
{
    LoadedTexture loaded = loadTexture(bytes.data(), bytes.size());
    if (!loaded.ok()) {
        LoadedPicture p = failed(Status::TextureRejected, describe(loaded.status));
        p.textureStatus = loaded.status;
        return p;
    }
    LoadedPicture p;
    p.status = Status::Ok;
    p.maps = std::make_unique<MapSet>(std::move(loaded.maps));
    p.alpha = loaded.hasAlpha;
    p.rawTexture = true;
    p.format = loaded.format;
    p.bytes = std::move(bytes);
    return p;
}

LoadedPicture loadTextureFile(const std::string& path)
{
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "rb"));
    if (!f || fseeko(f.get(), 0, SEEK_END) != 0)
        return failed(Status::OpenFailed, std::generic_category().message(errno));
    const auto size = static_cast<long long>(ftello(f.get()));
    if (size < 0)
        return failed(Status::OpenFailed, std::generic_category().message(errno));
    if (size <= TEXTURE_FILE_MINIMUM)
        return failed(Status::TooSmall);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::exception&) {  // bad_alloc, or a size beyond what a vector holds
        return failed(Status::OutOfMemory);
    }
    std::rewind(f.get());
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        return failed(Status::OpenFailed, std::ferror(f.get()) ? std::generic_category().message(EIO)
                                                               : std::string("the file ended early"));
    if (!hasTextureTag(bytes.data(), bytes.size()))
        return failed(Status::NotTexture);
    return loadTextureBytes(std::move(bytes));
}

LoadedPicture loadImageFile(const std::string& path, const DecodeLimits& limits)
{
    // A file that cannot be opened is refused with the system's own reason.
    if (std::FILE* f = std::fopen(path.c_str(), "rb"))
        std::fclose(f);
    else
        return failed(Status::OpenFailed, std::generic_category().message(errno));
    return decodeImage([&](PixelBitmap& b) { return decodeFile(path, b, 32, limits); }, limits);
}

LoadedPicture loadImageBytes(const std::uint8_t* bytes, std::size_t size, const DecodeLimits& limits)
{
    return decodeImage([&](PixelBitmap& b) { return decodeMemory(bytes, size, b, 32, limits); }, limits);
}

LoadedPicture loadEntryBytes(std::vector<std::uint8_t> bytes, const DecodeLimits& limits, EntryImages images)
{
    if (hasTextureTag(bytes.data(), bytes.size()))
        return loadTextureBytes(std::move(bytes));
    const int type = detectImageType(bytes.data(), bytes.size());
    if (type == IMAGE_NONE || (images == EntryImages::TgaOnly && type != IMAGE_TGA))
        return failed(Status::NotPicture);
    return loadImageBytes(bytes.data(), bytes.size(), limits);
}
