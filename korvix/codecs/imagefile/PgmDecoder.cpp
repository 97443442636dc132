// PGM grey maps: "P5" (binary samples, one byte up to a maximum of 255, two
// bytes big-endian above) and "P2" (decimal text). Samples are scaled to 0-255.
#include "Decoders.h"

#include <cctype>
#include <vector>

namespace imagefile {

namespace {

// The next decimal number, skipping white space and comments.
std::uint32_t number(ByteSource& src)
{
    for (;;) {
        if (!src.has(1))
            src.truncated();
        const std::uint8_t c = src.data()[src.pos()];
        if (c == '#') {
            while (src.has(1) && src.data()[src.pos()] != '\n' && src.data()[src.pos()] != '\r')
                src.skip(1);
        } else if (std::isspace(c)) {
            src.skip(1);
        } else {
            break;
        }
    }
    std::uint64_t v = 0;
    int digits = 0;
    while (src.has(1) && std::isdigit(src.data()[src.pos()])) {
        v = v * 10 + (src.u8() - '0');
        if (v > 0xFFFFFFFFu)
            src.fail(1, "number out of range");
        ++digits;
    }
    if (digits == 0)
        src.fail(1, "a number was expected");
    return static_cast<std::uint32_t>(v);
}

}  // namespace

void decodePgm(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    src.seek(0);
    const std::uint8_t* magic = src.take(2);
    const bool plain = magic[1] == '2';
    const std::uint32_t width = number(src);
    const std::uint32_t height = number(src);
    const std::uint32_t maxval = number(src);
    if (maxval == 0 || maxval > 65535)
        src.fail(1, "maximum value " + std::to_string(maxval) + " is not valid");
    const int sampleBytes = maxval > 255 ? 2 : 1;
    if (!plain) {
        // Exactly one white-space byte separates the header from the samples.
        if (!std::isspace(src.u8()))
            src.fail(1, "no white space after the header");
        if (std::uint64_t{width} * height > src.remaining() / static_cast<std::size_t>(sampleBytes))
            src.truncated();
    } else if (std::uint64_t{width} * height > src.remaining() / 2 + 1) {
        src.truncated();  // a text sample takes at least two bytes
    }

    std::uint8_t scale[256];
    for (std::uint32_t v = 0; v < 256; ++v)
        scale[v] = static_cast<std::uint8_t>(v <= maxval ? (v * 255 + maxval / 2) / maxval : 255);
    std::uint32_t table[256];
    for (std::uint32_t i = 0; i < 256; ++i)
        table[i] = rgb(i, i, i);

    createImage(bitmap, width, height, req.bitsWanted == 0 ? 8 : 32, false, "PGM", req);
    std::vector<std::uint8_t> grey(width);
    for (std::uint32_t y = 0; y < height; ++y) {
        if (plain) {
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint32_t v = number(src);
                if (v > maxval)
                    src.fail(1, "sample " + std::to_string(v) + " exceeds the maximum value");
                grey[x] = maxval == 255 ? static_cast<std::uint8_t>(v)
                                        : static_cast<std::uint8_t>((std::uint64_t{v} * 255 + maxval / 2) / maxval);
            }
        } else if (sampleBytes == 1) {
            const std::uint8_t* in = src.take(width);
            if (maxval == 255) {
                putIndexRow(bitmap, static_cast<int>(y), in, table);
                continue;
            }
            for (std::uint32_t x = 0; x < width; ++x)
                grey[x] = scale[in[x]];
        } else {
            const std::uint8_t* in = src.take(std::size_t{width} * 2);
            for (std::uint32_t x = 0; x < width; ++x) {
                std::uint32_t v = (in[2 * x] << 8) | in[2 * x + 1];
                if (v > maxval)
                    v = maxval;
                grey[x] = static_cast<std::uint8_t>((std::uint64_t{v} * 255 + maxval / 2) / maxval);
            }
        }
        putIndexRow(bitmap, static_cast<int>(y), grey.data(), table);
    }
}

}  // namespace imagefile
