// Reading a texture file (or a texture entry of a volume) into a MapSet.
//
// loadTexture takes the bytes of the whole file and never reads past `length`.
// It shows nothing: the status says which of the loader's messages the
// document shows (each is followed by the document's own "Fehler beim Laden
// der Textur." when the result is not Ok). Thread-safe; keeps no state.
#pragma once

#include "codecs/MapSet.h"
#include "codecs/TextureFormat.h"

#include <cstddef>
#include <cstdint>

enum class TextureLoadStatus {
    Ok,
    // The first four bytes are not "KTEX" (or there are fewer than four).
    // Message "Kein KTEX-Format", caption "Fehler", error icon.
    NotTexture,
    // The map count byte is above 10. No message.
    TooManyMaps,
    // The format byte is none of 2, 6, 8, 10, 12.
    // Message "Texturformat nicht unterstützt", caption "Fehler", information icon.
    UnknownFormat,
    // The bytes end before the header or before the last map they announce.
    // Message "Fehler beim Decodieren aufgetreten.", caption "Fehler", error icon.
    Truncated,
    // The reference size is negative or above MAX_SIDE. Same message as Truncated.
    BadSize,
    // A map could not be built (out of memory). Same message as Truncated.
    DecodeFailed,
};

struct LoadedTexture {
    TextureLoadStatus status = TextureLoadStatus::DecodeFailed;
    MapSet maps;                // smallest first; empty unless status is Ok
    texture::Format format = texture::Format::Dxt1;
    bool hasAlpha = false;      // the format carries alpha (codes 2, 6, 12)

    bool ok() const { return status == TextureLoadStatus::Ok; }
    int count() const { return maps.count(); }
};

namespace texture {
// Sides above this are refused before anything is allocated: the game's largest
// textures are 2048 pixels, and a map of width 0 still costs a row table of its height.
constexpr std::int32_t MAX_SIDE = 65536;
}

// Decodes every map, smallest first. Each map is created as 32 bits with
// hasAlpha set; formats without alpha get alpha 255 everywhere.
//
// Block maps whose data is shorter than their block grid (a side below 4, where
// the file holds (w * h) / 2 or ((w * h) / 2) * 2 bytes) give each block an equal
// share of the data as its leading bytes, the missing bytes taken as zero: a
// 2 x 2 DXT1 map shows its colour c0, an 8 x 2 one the c0 of each block (with
// indices zero), a 2 x 2 DXT3 map keeps its alpha over black. The texture writer
// produces exactly these bytes (c0 the mean colour), so such maps survive a
// round trip as their mean colour.
LoadedTexture loadTexture(const std::uint8_t* bytes, std::size_t length);

// Where a texture's maps lie, read from its header alone: the checks of
// loadTexture up to the point where the maps' data would be needed. `end` is
// where the last map's data ends; whether the bytes reach it is the caller's
// business (loadTexture refuses shorter data as Truncated).
struct TextureLayout {
    TextureLoadStatus status = TextureLoadStatus::NotTexture;
    texture::Format format = texture::Format::Dxt1;
    bool hasAlpha = false;
    int count = 0;                       // maps, at least 1 when status is Ok
    texture::MapSize largest = {0, 0};   // the last map in the file
    std::uint64_t largestOffset = 0;     // where its data begins
    std::uint64_t largestBytes = 0;      // and how many bytes it has
    std::uint64_t end = 0;

    bool ok() const { return status == TextureLoadStatus::Ok; }
};
// Needs the 36 header bytes; fewer give NotTexture (no "KTEX") or Truncated.
TextureLayout textureLayout(const std::uint8_t* bytes, std::size_t length);

// Decodes the data of one map of `format` into `map`, which the caller has
// created at the map's size with 32 bits; `dataSize` is the map's data size
// as the format gives it (texture::mapDataSize). Used to show one map without
// decoding the others.
void decodeTextureMap(texture::Format format, const std::uint8_t* data, std::uint64_t dataSize, PixelBitmap& map);

// A short English description of a status, for the command line.
const char* describe(TextureLoadStatus status);
