// TGA: colour-mapped (1, 9), true-colour (2, 10) and grey (3, 11) images,
// uncompressed or run-length encoded. Rows run bottom-up unless bit 5 of the
// image descriptor is set; right-to-left order and the origin are ignored.
#include "Decoders.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace imagefile {

namespace {

// An uncompressed picture of this many pixels or more is converted on two
// threads, of twice as many on three, and so on up to the cores there are.
constexpr std::uint64_t PIXELS_PER_THREAD = std::uint64_t{1} << 19;

// 15- and 16-bit pixels keep the five bits of each channel in the top of the
// byte; at 16 bits the attribute bit becomes alpha 128, its absence alpha 0.
inline std::uint32_t from16(std::uint32_t v, bool attribute)
{
    const std::uint32_t r = (v >> 7) & 0xF8;
    const std::uint32_t g = (v >> 2) & 0xF8;
    const std::uint32_t b = (v << 3) & 0xF8;
    const std::uint32_t a = attribute ? ((v & 0x8000) ? 128u : 0u) : 255u;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// Converts count stored pixels of depth bytes each to 0xAARRGGBB.
inline void convertPixels(const std::uint8_t* in, std::uint32_t* out, int count, int depth)
{
    switch (depth) {
    case 15:
        for (int i = 0; i < count; ++i, in += 2)
            out[i] = from16(in[0] | (in[1] << 8), false);
        break;
    case 16:
        for (int i = 0; i < count; ++i, in += 2)
            out[i] = from16(in[0] | (in[1] << 8), true);
        break;
    case 24:
        for (int i = 0; i < count; ++i, in += 3)
            out[i] = rgb(in[2], in[1], in[0]);
        break;
    default:
        std::memcpy(out, in, static_cast<std::size_t>(count) * 4);
        break;
    }
}

// Feeds stored pixels one row at a time, through run-length packets when the
// image is compressed; packets may span rows.
class PixelStream {
public:
    PixelStream(ByteSource& src, int bytesPerPixel, bool rle) : m_src(src), m_nBpp(bytesPerPixel), m_bRle(rle) {}

    // count stored pixels, contiguous; valid until the next call.
    const std::uint8_t* next(int count)
    {
        const std::size_t bytes = static_cast<std::size_t>(count) * static_cast<std::size_t>(m_nBpp);
        if (!m_bRle)
            return m_src.take(bytes);
        m_buffer.resize(bytes);
        std::uint8_t* out = m_buffer.data();
        int left = count;
        while (left > 0) {
            if (m_nPacketLeft == 0) {
                const std::uint8_t header = m_src.u8();
                m_bRun = header & 0x80;
                m_nPacketLeft = (header & 0x7F) + 1;
                if (m_bRun)
                    std::memcpy(m_run, m_src.take(static_cast<std::size_t>(m_nBpp)), static_cast<std::size_t>(m_nBpp));
            }
            const int n = left < m_nPacketLeft ? left : m_nPacketLeft;
            const std::size_t nBytes = static_cast<std::size_t>(n) * static_cast<std::size_t>(m_nBpp);
            if (m_bRun) {
                for (int i = 0; i < n; ++i, out += m_nBpp)
                    std::memcpy(out, m_run, static_cast<std::size_t>(m_nBpp));
            } else {
                std::memcpy(out, m_src.take(nBytes), nBytes);
                out += nBytes;
            }
            m_nPacketLeft -= n;
            left -= n;
        }
        return m_buffer.data();
    }

private:
    ByteSource& m_src;
    int m_nBpp;
    bool m_bRle;
    bool m_bRun = false;
    int m_nPacketLeft = 0;
    std::uint8_t m_run[4] = {};
    std::vector<std::uint8_t> m_buffer;
};

}  // namespace

void decodeTga(ByteSource& src, PixelBitmap& bitmap, const Request& req)
{
    src.seek(0);
    const std::uint8_t idLength = src.u8();
    const std::uint8_t mapType = src.u8();
    const std::uint8_t imageType = src.u8();
    const std::uint16_t mapFirst = src.u16le();
    const std::uint16_t mapLength = src.u16le();
    const std::uint8_t mapEntryBits = src.u8();
    src.skip(4);  // origin
    const std::uint16_t width = src.u16le();
    const std::uint16_t height = src.u16le();
    const std::uint8_t depth = src.u8();
    const std::uint8_t descriptor = src.u8();

    const int kind = imageType & 7;  // 1 mapped, 2 true colour, 3 grey
    const bool rle = imageType & 8;
    if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 && imageType != 11)
        throw CTextException(2, "Unknown TGA image type.");
    if ((kind == 2 && depth != 15 && depth != 16 && depth != 24 && depth != 32) || (kind != 2 && depth != 8))
        src.fail(2, std::to_string(depth) + "-bit pixels are not supported for image type " + std::to_string(imageType));
    if (kind == 1 && mapType != 1)
        src.fail(1, "a colour-mapped image has no colour map");
    src.skip(idLength);

    // The colour map is read whenever present (true-colour files may carry one).
    std::uint32_t table[256];
    for (std::uint32_t i = 0; i < 256; ++i)
        table[i] = kind == 3 ? rgb(i, i, i) : 0xFF000000u;
    if (mapType == 1) {
        if (mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
            src.fail(2, std::to_string(mapEntryBits) + "-bit colour map entries are not supported");
        const int entryBytes = (mapEntryBits + 7) / 8;
        const std::uint8_t* map = src.take(std::size_t{mapLength} * static_cast<std::size_t>(entryBytes));
        for (std::uint32_t i = 0; i < mapLength; ++i) {
            const std::uint32_t index = mapFirst + i;
            if (kind != 1 || index > 255)
                continue;
            const std::uint8_t* e = map + i * static_cast<std::uint32_t>(entryBytes);
            std::uint32_t c = 0;
            // The map's own alpha matters only through its colours: the image has none.
            if (entryBytes == 2)
                c = from16(e[0] | (e[1] << 8), false);
            else
                c = rgb(e[2], e[1], e[0]);
            table[index] = c;
        }
    }

    const int bytesPerPixel = (depth + 7) / 8;
    const std::uint64_t pixelCount = std::uint64_t{width} * height;
    // Refuse before allocating: raw data must be all there, and every run-length
    // packet of at most 128 pixels costs at least 1 + bytesPerPixel bytes.
    if (!rle && src.remaining() / static_cast<std::uint64_t>(bytesPerPixel) < pixelCount)
        src.truncated();
    if (rle && src.remaining() < (pixelCount + 127) / 128 * static_cast<std::uint64_t>(1 + bytesPerPixel))
        src.truncated();

    const bool eightBit = depth == 8 && req.bitsWanted == 0;
    const bool alpha = kind == 2 && (depth == 16 || depth == 32);
    createImage(bitmap, width, height, eightBit ? 8 : 32, alpha, "TGA", req);
    if (eightBit)
        std::memcpy(bitmap.colourTable(), table, sizeof table);

    const bool topDown = descriptor & 0x20;
    const auto putRow = [&](int s, const std::uint8_t* in) {
        const int y = topDown ? s : height - 1 - s;
        if (depth == 8)
            putIndexRow(bitmap, y, in, table);
        else
            convertPixels(in, reinterpret_cast<std::uint32_t*>(bitmap.row(y)), width, depth);
    };
    if (!rle) {
        // Stored rows lie at fixed places: a large picture is converted in bands
        // on every core, each writing (and so first touching) its own rows.
        const std::size_t rowBytes = std::size_t{width} * static_cast<std::size_t>(bytesPerPixel);
        const std::uint8_t* stored = src.take(rowBytes * height);
        const auto band = [&](int first, int end) {
            for (int s = first; s < end; ++s)
                putRow(s, stored + static_cast<std::size_t>(s) * rowBytes);
        };
        const unsigned threads = static_cast<unsigned>(
            std::min<std::uint64_t>({std::max(1u, std::thread::hardware_concurrency()), pixelCount / PIXELS_PER_THREAD + 1,
                                     std::uint64_t{height}}));
        std::vector<std::thread> helpers;
        int done = 0;  // the rows before this are the helpers'
        for (unsigned t = 1; t < threads; ++t) {
            const int first = static_cast<int>(std::uint64_t{height} * (t - 1) / threads);
            const int end = static_cast<int>(std::uint64_t{height} * t / threads);
            try {
                helpers.emplace_back(band, first, end);
            } catch (const std::system_error&) {
                break;  // no more threads to be had: this one converts the rest
            }
            done = end;
        }
        band(done, height);
        for (std::thread& t : helpers)
            t.join();
        return;
    }
    PixelStream stream(src, bytesPerPixel, rle);
    for (int s = 0; s < height; ++s)
        putRow(s, stream.next(width));
}

}  // namespace imagefile
