// Small files that declare very large pictures: each one is a few bytes to a
// few hundred kilobytes and names a picture of 16384 x 16384 (or a pixel map
// of 16000 x 16000) that a careless decoder would allocate before it looks at
// the data. Built in code, so no large binary is kept in the repository; the
// fuzz seed writer and the tests share them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <zlib.h>

namespace hostile {

struct HostileFile {
    std::string name;  // the extension tells the type (metafiles are found by name only)
    std::vector<std::uint8_t> bytes;
    int width;   // what the header declares
    int height;
};

using Bytes = std::vector<std::uint8_t>;

inline void le16(Bytes& b, unsigned v) { b.push_back(static_cast<std::uint8_t>(v)); b.push_back(static_cast<std::uint8_t>(v >> 8)); }
inline void le32(Bytes& b, std::uint32_t v) { le16(b, v & 0xFFFF); le16(b, v >> 16); }
inline void be16(Bytes& b, unsigned v) { b.push_back(static_cast<std::uint8_t>(v >> 8)); b.push_back(static_cast<std::uint8_t>(v)); }
inline void be32(Bytes& b, std::uint32_t v) { be16(b, v >> 16); be16(b, v & 0xFFFF); }

// zlib's format of `size` zero bytes, at the best compression.
inline Bytes deflatedZeros(std::size_t size)
{
    const Bytes zeros(size, 0);
    uLongf length = compressBound(static_cast<uLong>(size));
    Bytes out(length);
    compress2(out.data(), &length, zeros.data(), static_cast<uLong>(size), 9);
    out.resize(length);
    return out;
}

// A run-length BMP of 16384 x 16384 at 8 bits: a few runs, then the end of the
// bitmap, which leaves every other row at colour 0.
inline HostileFile rle8Bmp()
{
    Bytes b = {'B', 'M'};
    le32(b, 248); le32(b, 0); le32(b, 14 + 40 + 8);
    le32(b, 40); le32(b, 16384); le32(b, 16384); le16(b, 1); le16(b, 8); le32(b, 1);
    le32(b, 0); le32(b, 2835); le32(b, 2835); le32(b, 2); le32(b, 0);
    le32(b, 0x00000000); le32(b, 0x00FFFFFF);
    for (int i = 0; i < 92; ++i) { b.push_back(255); b.push_back(1); }
    b.push_back(0); b.push_back(1);
    return {"rle8_16384.bmp", b, 16384, 16384};
}

// The start of a version 2 picture: preamble, size, frame, version and header opcodes.
inline Bytes pictStart(int frameSide)
{
    Bytes b(512, 0);
    be16(b, 0);
    be16(b, 0); be16(b, 0); be16(b, static_cast<unsigned>(frameSide)); be16(b, static_cast<unsigned>(frameSide));
    be16(b, 0x0011); be16(b, 0x02FF);
    be16(b, 0x0C00);
    b.insert(b.end(), 24, 0);
    return b;
}

// A picture whose 16384 x 16384 frame holds nothing but the end opcode.
inline HostileFile pictFrame()
{
    Bytes b = pictStart(16384);
    be16(b, 0x00FF);
    return {"frame_16384.pict", b, 16384, 16384};
}

// A 16 x 16 picture with a packed 16000 x 16000 pixel map whose rows are absent.
inline HostileFile pictPixmap()
{
    Bytes b = pictStart(16);
    be16(b, 0x0098);
    be16(b, 0x8000 | 16000);
    be16(b, 0); be16(b, 0); be16(b, 16000); be16(b, 16000);         // bounds
    be16(b, 0); be16(b, 0); be32(b, 0); be32(b, 0x00480000); be32(b, 0x00480000);
    be16(b, 0); be16(b, 8); be16(b, 1); be16(b, 8); be32(b, 0); be32(b, 0); be32(b, 0);
    be32(b, 0); be16(b, 0); be16(b, 1);                                // colour table: 2 entries
    for (unsigned i = 0; i < 2; ++i) { be16(b, i); be16(b, i * 0xFFFF); be16(b, i * 0xFFFF); be16(b, i * 0xFFFF); }
    be16(b, 0); be16(b, 0); be16(b, 16000); be16(b, 16000);          // source
    be16(b, 0); be16(b, 0); be16(b, 16); be16(b, 16);                // destination
    be16(b, 0);                                                      // mode
    b.insert(b.end(), 16384, 0);
    return {"pixmap_16000.pict", b, 16, 16};
}

// A placeable Windows metafile framing 16384 x 16384 pixels at 96 per inch.
inline HostileFile wmf()
{
    Bytes b;
    le32(b, 0x9AC6CDD7); le16(b, 0);
    le16(b, 0); le16(b, 0); le16(b, 16384); le16(b, 16384); le16(b, 96); le32(b, 0);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 20; i += 2)
        sum ^= static_cast<unsigned>(b[i] | (b[i + 1] << 8));
    le16(b, sum);
    le16(b, 1); le16(b, 9); le16(b, 0x0300); le32(b, 12); le16(b, 0); le32(b, 3); le16(b, 0);
    le32(b, 3); le16(b, 0);
    return {"frame_16384.wmf", b, 16384, 16384};
}

// An enhanced metafile whose frame is 16384 x 16384 pixels at 96 per inch.
inline HostileFile emf()
{
    Bytes b;
    le32(b, 1); le32(b, 88);
    le32(b, 0); le32(b, 0); le32(b, 16383); le32(b, 16383);
    le32(b, 0); le32(b, 0); le32(b, 433494); le32(b, 433494);
    le32(b, 0x464D4520); le32(b, 0x10000); le32(b, 108); le32(b, 2); le16(b, 1); le16(b, 0);
    le32(b, 0); le32(b, 0); le32(b, 0); le32(b, 1024); le32(b, 768); le32(b, 320); le32(b, 240);
    le32(b, 14); le32(b, 20); le32(b, 0); le32(b, 16); le32(b, 20);
    return {"frame_16384.emf", b, 16384, 16384};
}

inline void pngChunk(Bytes& b, const char* type, const Bytes& data)
{
    be32(b, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    be32(b, static_cast<std::uint32_t>(crc32(0, b.data() + start, static_cast<uInt>(b.size() - start))));
}

// A 1-bit grey PNG of 16384 x 16384: 32 MiB of packed rows compress to 33 KB.
inline HostileFile png1Bit()
{
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    be32(ihdr, 16384); be32(ihdr, 16384);
    ihdr.insert(ihdr.end(), {1, 0, 0, 0, 0});
    pngChunk(b, "IHDR", ihdr);
    pngChunk(b, "IDAT", deflatedZeros(16384u * (1 + 2048)));
    pngChunk(b, "IEND", {});
    return {"grey1_16384.png", b, 16384, 16384};
}

// A 1-bit TIFF of 16384 x 16384 in 1024 deflate strips that all point at one
// stream.
inline HostileFile tiffSharedStrips()
{
    const Bytes stream = deflatedZeros(16384u * 2048);
    constexpr std::uint32_t strips = 1024;
    Bytes b = {'I', 'I', 42, 0};
    const std::uint32_t streamAt = 8;
    const std::uint32_t offsetsAt = streamAt + static_cast<std::uint32_t>(stream.size());
    const std::uint32_t countsAt = offsetsAt + 4 * strips;
    const std::uint32_t ifdAt = countsAt + 4 * strips;
    le32(b, ifdAt);
    b.insert(b.end(), stream.begin(), stream.end());
    for (std::uint32_t i = 0; i < strips; ++i) le32(b, streamAt);
    for (std::uint32_t i = 0; i < strips; ++i) le32(b, static_cast<std::uint32_t>(stream.size()));
    const auto tag = [&](unsigned id, unsigned type, std::uint32_t count, std::uint32_t value) {
        le16(b, id); le16(b, type); le32(b, count); le32(b, value);
    };
    le16(b, 9);
    tag(256, 4, 1, 16384);
    tag(257, 4, 1, 16384);
    tag(258, 3, 1, 1);
    tag(259, 3, 1, 8);
    tag(262, 3, 1, 1);
    tag(273, 4, strips, offsetsAt);
    tag(277, 3, 1, 1);
    tag(278, 4, 1, 16);
    tag(279, 4, strips, countsAt);
    le32(b, 0);
    return {"shared_strips_16384.tif", b, 16384, 16384};
}

// A progressive colour JPEG whose frame says 16384 x 16384, padded with
// comments to 600 KB so that it is long enough for its blocks.
inline HostileFile progressiveJpeg()
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    unsigned char row[16 * 3] = {};
    for (int y = 0; y < 16; ++y) {
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    Bytes small(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);

    for (std::size_t i = 0; i + 9 < small.size(); ++i)
        if (small[i] == 0xFF && small[i + 1] == 0xC2) {
            small[i + 5] = 0x40; small[i + 6] = 0x00;  // height 16384
            small[i + 7] = 0x40; small[i + 8] = 0x00;  // width 16384
            break;
        }
    Bytes b(small.begin(), small.begin() + 2);
    while (b.size() < 600000) {
        b.insert(b.end(), {0xFF, 0xFE});
        be16(b, 65535);
        b.insert(b.end(), 65533, ' ');
    }
    b.insert(b.end(), small.begin() + 2, small.end());
    return {"progressive_16384.jpg", b, 16384, 16384};
}

inline std::vector<HostileFile> imageFiles()
{
    return {rle8Bmp(), pictFrame(), pictPixmap(), wmf(), emf(), png1Bit(), tiffSharedStrips(), progressiveJpeg()};
}

}  // namespace hostile
