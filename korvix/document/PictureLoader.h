// Turning files and volume-entry bytes into maps, the way the document loads
// them: a texture file is read whole and decoded with every map; an entry's
// bytes are a texture when they begin with "KTEX", else an image; an image is
// decoded at 32 bits within the caller's size limits.
//
// Nothing here shows anything: the result says what happened, and each front
// end words it (the document in its message boxes, the command line in its
// error lines). No state; safe on any thread.
#pragma once

#include "codecs/MapSet.h"
#include "codecs/TextureFormat.h"
#include "codecs/TextureLoader.h"
#include "codecs/imagefile/ImageFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct LoadedPicture {
    enum class Status {
        Ok,
        OpenFailed,       // the file cannot be opened or read; `detail` holds the system's reason
        TooSmall,         // a texture file of 43 bytes or less: not even the smallest texture
        OutOfMemory,
        NotTexture,       // a texture file whose bytes do not begin with "KTEX"
        TextureRejected,  // the texture loader refused the bytes: `textureStatus`
        ImageFailed,      // the image decoder refused the picture: `errorCode`, `detail`
        TooLarge,         // the picture is larger than the limits allow: `detail`
        NotPicture,       // entry bytes that are neither a texture nor an image this load takes
    };

    Status status = Status::NotPicture;
    TextureLoadStatus textureStatus = TextureLoadStatus::Ok;
    int errorCode = 0;      // the image layer's code (12: beyond the limits)
    std::string detail;     // the image layer's or the system's text, in English
    std::unique_ptr<MapSet> maps;
    bool alpha = false;     // the texture's format carries alpha, or the image has alpha
    bool rawTexture = false;  // the maps are a texture as stored (its bytes below)
    std::optional<texture::Format> format;  // a texture's
    int imageType = IMAGE_NONE;              // an image's
    std::vector<std::uint8_t> bytes;  // a texture's bytes as loaded

    bool ok() const { return status == Status::Ok; }
};

// Bytes that begin with the texture tag "KTEX".
bool hasTextureTag(const std::uint8_t* bytes, std::size_t size);

// Decodes the bytes of a whole texture with every map; keeps the bytes.
LoadedPicture loadTextureBytes(std::vector<std::uint8_t> bytes);

// A texture file from disk: read whole (TooSmall at 43 bytes or less), tagged
// "KTEX" (else NotTexture) and decoded.
LoadedPicture loadTextureFile(const std::string& path);

// An image file of any type the image layer reads, at 32 bits. A picture
// beyond `limits` is refused from its header (TooLarge) before its pixels are
// decoded.
LoadedPicture loadImageFile(const std::string& path, const DecodeLimits& limits);
// The same from bytes in memory.
LoadedPicture loadImageBytes(const std::uint8_t* bytes, std::size_t size, const DecodeLimits& limits);

// Which images a volume entry may hold: the desktop program shows TGA entries
// only; the command line converts any image type it reads.
enum class EntryImages { TgaOnly, Any };

// A volume entry's bytes: a texture when they begin with "KTEX", else an image
// of the types `images` admits, else NotPicture.
LoadedPicture loadEntryBytes(std::vector<std::uint8_t> bytes, const DecodeLimits& limits, EntryImages images);

// The document's limits: a map of at most 2048 pixels a side.
DecodeLimits documentLimits();
