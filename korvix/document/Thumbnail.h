// Small pictures of textures and volumes, for the thumbnailer that file
// managers run and for the volume browser's thumbnail view.
//
// A texture's thumbnail is its largest map, reduced by area averaging so that
// its longer side is at most `size` pixels (never enlarged), with alpha when
// the texture's format carries it. Only the largest map is read and decoded:
// the header says where it lies, and a map larger than the document's limit
// (2048 pixels a side) is refused from the header, before its bytes are read.
// A volume's thumbnail is that of its first texture in catalogue order.
//
// Nothing here shows anything; the result says what happened. No shared
// state: every function is safe on any thread, each call reading through a
// stream of its own.
#pragma once

#include "codecs/PixelBitmap.h"
#include "codecs/TextureLoader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace thumbnail {

// The largest thumbnail side asked for; the freedesktop sizes end at 1024.
constexpr int MAX_SIZE = 2048;

enum class Status {
    Ok,
    OpenFailed,       // the file cannot be opened or read: `detail` holds the system's reason
    NotSupported,     // neither a texture nor a volume (a TeX document named .tex, say)
    TextureRejected,  // the texture's header or data is unusable: `textureStatus`
    ImageFailed,      // a volume entry's TGA image did not decode: `detail`
    TooLarge,         // the picture is larger than the document's limit of 2048 pixels a side
    EmptyPicture,     // the largest map has a side of 0 pixels
    VolumeRejected,   // the volume library refused the file: `detail` holds its code
    NoTexture,        // a volume without any texture
    OutOfMemory,
};

struct Result {
    Status status = Status::NotSupported;
    TextureLoadStatus textureStatus = TextureLoadStatus::Ok;
    std::string detail;  // English
    // 32 bits, rows top-down; hasAlpha when the texture's format (or the
    // image) carries alpha. Empty unless status is Ok.
    PixelBitmap picture;

    bool ok() const { return status == Status::Ok; }
};

// Reads `size` bytes at `offset` of a source into `out`; false unless all of
// them could be read.
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t size, std::uint8_t* out)>;

struct Size {
    int width;
    int height;
};
// A width x height picture brought to at most `size` pixels on its longer
// side, the shorter side in proportion (rounded, at least 1); a picture that
// is already small enough keeps its size.
Size reducedSize(int width, int height, int size);

// The picture reduced to reducedSize() by area averaging; the picture itself
// when it is small enough. hasAlpha is kept.
Result ofPicture(PixelBitmap picture, int size);

// The texture that fills bytes [0, length) of a source.
Result ofTexture(const ReadAt& read, std::uint64_t length, int size);

// A volume entry as the volume browser shows it: a texture when its bytes
// begin with "KTEX", else a TGA image (read whole, within the document's
// limits); anything else is NotSupported.
Result ofEntry(const ReadAt& read, std::uint64_t length, int size);
// The entry of `length` bytes at `offset` of the volume file at `path`.
Result ofVolumeEntry(const std::string& path, std::uint64_t offset, std::uint64_t length, int size);

// A file: a volume when it carries the volume signature at offset 256, a
// texture when it begins with "KTEX"; anything else is NotSupported. Volumes
// are opened without write access.
Result ofFile(const std::string& path, int size);

}  // namespace thumbnail
