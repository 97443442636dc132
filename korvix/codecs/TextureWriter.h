// Writing texture files, and the block compressor's entry that the writer
// drives.
//
// writeTexture checks the image, writes the 36-byte header and has each map
// encoded by compressImage, whose output reaches the file through
// writeCompressedChunk. The file is written beside the target and renamed over
// it only when complete: a failure leaves no file and an existing file untouched.
// The output slot and the chunk counter belong to the calling thread, so one
// texture is written at a time per thread.
#pragma once

#include "codecs/DxtBlock.h"
#include "codecs/PixelBitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>

enum class TextureWriteStatus {
    Ok,
    // A side is not a power of two from 4 to 2048. When the source is the
    // document's own map: "Bitte Textur vor dem TEX-Export ändern:\nKantenlänge ist
    // kleiner 4 oder nicht 2^n (4, 8, 16, 32, ... 2048),\ndaher wäre die Textur für
    // Tarvos nicht verwendbar."; with an image given by the caller: no message.
    BadSize,
    // The format carries alpha and the image has none, or the other way round
    // (or the format index is not 0 ... 4). No message.
    AlphaMismatch,
    // The map count is not 1 for options 0 and 1, or not 1 ... 10 for option 2, or
    // more maps than the image can halve into. No message; no file is created.
    BadMapCount,
    // "Fehler beim Öffnen der Datei."
    OpenFailed,
    // "Kompression fehlgeschlagen."
    CompressFailed,
    // The working images for the maps could not be made or reduced. No message.
    FilterFailed,
    // "Fehler beim Schreiben der Datei."
    WriteFailed,
};

enum class MapOption {
    LargestOnly = 0,  // "Nur größte Map": one map, the image itself
    KeepAll = 1,      // "Alles beibehalten": the caller writes the loaded bytes when it has
                      // them; otherwise the writer treats it as LargestOnly
    Generate = 2,     // "Maps generieren": mapCount maps, smallest first, each reduced
                      // by area averaging directly from the full image
};

// Writes `source` (32 bits per pixel) as a texture in the format of `formatIndex`
// (0 DXT1, 1 DXT3, 2 RGBA 4444, 3 RGB 565, 4 RGBA 8888; texture::FORMATS).
// `alpha` is the effective alpha: for an image given by a caller its alphaWanted;
// for the document's map, the texture has alpha and alpha is wanted. It must agree
// with the format. Without alpha every alpha byte written is 255.
// `mapCount` goes into the header; callers pass 1 for options 0 and 1.
// `quality` is the block compressor's setting for DXT1 and DXT3 (the other
// formats are exact and ignore it): Fast, Default or Best (dxt::Quality).
TextureWriteStatus writeTexture(const std::filesystem::path& path, MapOption option, bool alpha,
                                int mapCount, const PixelBitmap& source, int formatIndex,
                                dxt::Quality quality = dxt::Quality::Default);

// The compressor's results.
constexpr int COMPRESS_OK = 0;
constexpr int COMPRESS_NO_PIXELS = -1;         // pixels is null
constexpr int COMPRESS_BAD_PIXEL_SIZE = -2;    // bytesPerPixel is neither 3 nor 4
constexpr int COMPRESS_NOT_POWER_OF_TWO = -3;  // a side is not a power of two (1, 2, 4, ...)
constexpr int COMPRESS_UNSUPPORTED = -4;       // an unknown code, or maps or dithering asked for
constexpr int COMPRESS_OUT_OF_MEMORY = -5;     // nothing was delivered

// Encodes one map: `pixels` are width x height pixels (bytesPerPixel 4: blue,
// green, red, alpha; 3: blue, green, red, taken as opaque), rows from the top
// without gaps. Codes: 10 DXT1, 12 DXT3, 14 RGBA 4444, 16 RGB 565, 17 RGBA 8888.
// The output is delivered through writeCompressedChunk in three pieces: the
// tag "DDS ", a 124-byte description, then the map's pixel data exactly as the
// texture reader expects it (for block maps below 4 x 4 that is the leading
// (w * h) / 2 or ((w * h) / 2) * 2 bytes of the map's blocks). The checks come
// before any output; generateMaps and dither are not offered by this compressor.
// `quality` chooses the block encoder's setting for codes 10 and 12.
int compressImage(const std::uint8_t* pixels, int width, int height, int compressorCode,
                  bool generateMaps = false, bool dither = false, int bytesPerPixel = 4,
                  dxt::Quality quality = dxt::Quality::Default);

// The compressor's sink. Of every three deliveries the first two are dropped and
// the third is appended to the current output file; nothing happens while no
// output file is set. A failed append is remembered until the slot is reset.
void writeCompressedChunk(std::size_t length, const void* data);

// The current output slot. setCompressedOutput(file) also clears the remembered
// write failure; compressedOutputFailed() tells whether an append failed since.
void setCompressedOutput(std::FILE* file);
bool compressedOutputFailed();
