#include "document/PixelDelta.h"

#include <lz4.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A band of about this many bytes stays in the second-level cache between its
// decompression and its addition to the picture's rows.
constexpr std::size_t BAND_BYTES = std::size_t{256} << 10;

enum BandKind : std::uint8_t { UNCHANGED = 0, COMPRESSED = 1, STORED = 2 };

// out = a - b bytewise (modulo 256); whether any byte differs. out may be a.
bool difference(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, std::size_t n)
{
    std::size_t i = 0;
    std::uint8_t any = 0;
#if defined(__SSE2__)
    __m128i anyV = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i)));
        anyV = _mm_or_si128(anyV, d);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), d);
    }
    any = _mm_movemask_epi8(_mm_cmpeq_epi8(anyV, _mm_setzero_si128())) != 0xFFFF;
#endif
    for (; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(a[i] - b[i]);
        any |= out[i];
    }
    return any != 0;
}

// p += d (add) or p -= d bytewise, modulo 256.
void addOrSubtract(std::uint8_t* p, const std::uint8_t* d, std::size_t n, bool add)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), add ? _mm_add_epi8(v, dv) : _mm_sub_epi8(v, dv));
    }
#endif
    for (; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(add ? p[i] + d[i] : p[i] - d[i]);
}

}  // namespace

struct PixelDelta::Record {
    // Fixed when the record is made.
    int width = 0, height = 0, rowBytes = 0;
    int y0 = 0, rows = 0, bandRows = 1;
    std::vector<bool> changed;  // per band

    std::size_t bandOffset(std::size_t band) const
    {
        return band * static_cast<std::size_t>(bandRows) * static_cast<std::size_t>(rowBytes);
    }
    int rowsOf(std::size_t band) const
    {
        return std::min(bandRows, rows - static_cast<int>(band) * bandRows);
    }

    mutable std::mutex mutex;
    std::condition_variable settledSignal;
    bool settled = false;
    // The plain difference, rows y0 ... y0 + rows - 1, until the bands are
    // compressed; shared with an application running meanwhile.
    std::shared_ptr<const PixelMemory> plain;
    // Written once, before `packed` is set; read-only after.
    bool packed = false;
    std::vector<std::uint8_t> kinds;
    std::vector<std::size_t> offsets, sizes;
    std::vector<std::uint8_t> data;

    // Compresses the bands; on the background thread.
    void pack();
};

void PixelDelta::Record::pack()
{
    std::vector<std::uint8_t> newKinds, newData;
    std::vector<std::size_t> newOffsets, newSizes;
    bool ok = true;
    try {
        const std::uint8_t* source = plain->data();
        const std::size_t bands = changed.size();
        newKinds.assign(bands, UNCHANGED);
        newOffsets.assign(bands, 0);
        newSizes.assign(bands, 0);
        std::vector<char> scratch(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(BAND_BYTES))));
        for (std::size_t b = 0; b < bands; ++b) {
            if (!changed[b])
                continue;
            const std::size_t n = static_cast<std::size_t>(rowsOf(b)) * static_cast<std::size_t>(rowBytes);
            const char* in = reinterpret_cast<const char*>(source + bandOffset(b));
            if (scratch.size() < static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(n))))
                scratch.resize(static_cast<std::size_t>(LZ4_compressBound(static_cast<int>(n))));
            const int size = LZ4_compress_default(in, scratch.data(), static_cast<int>(n), static_cast<int>(scratch.size()));
            newOffsets[b] = newData.size();
            // A band that does not compress is kept as it is.
            if (size > 0 && static_cast<std::size_t>(size) < n) {
                newKinds[b] = COMPRESSED;
                newSizes[b] = static_cast<std::size_t>(size);
                newData.insert(newData.end(), scratch.begin(), scratch.begin() + size);
            } else {
                newKinds[b] = STORED;
                newSizes[b] = n;
                newData.insert(newData.end(), in, in + n);
            }
        }
        newData.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        ok = false;  // the plain difference stays
    }
    std::shared_ptr<const PixelMemory> released;
    {
        const std::lock_guard lock(mutex);
        if (ok) {
            kinds = std::move(newKinds);
            offsets = std::move(newOffsets);
            sizes = std::move(newSizes);
            data = std::move(newData);
            packed = true;
            released = std::move(plain);
            plain.reset();
        }
        settled = true;
    }
    settledSignal.notify_all();
    // The plain difference goes here, off the lock (and off the user's thread).
}

namespace {

// The background thread that compresses records, oldest first; a record
// dropped before its turn is skipped. Joined at the end of the process.
class Packer {
public:
    static Packer& instance()
    {
        static Packer packer;
        return packer;
    }

    void post(const std::shared_ptr<PixelDelta::Record>& record)
    {
        {
            const std::lock_guard lock(m_mutex);
            if (!m_thread.joinable()) {
                try {
                    m_thread = std::thread([this] { run(); });
                } catch (const std::system_error&) {
                    // No thread to be had: compressed here and now.
                }
            }
            if (m_thread.joinable()) {
                m_queue.push_back(record);
                m_signal.notify_one();
                return;
            }
        }
        record->pack();
    }

    ~Packer()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_bStop = true;
        }
        m_signal.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    Packer() = default;

    void run()
    {
        for (;;) {
            std::weak_ptr<PixelDelta::Record> next;
            {
                std::unique_lock lock(m_mutex);
                m_signal.wait(lock, [this] { return m_bStop || !m_queue.empty(); });
                if (m_bStop)
                    return;
                next = std::move(m_queue.front());
                m_queue.pop_front();
            }
            if (const auto record = next.lock())
                record->pack();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_signal;
    std::deque<std::weak_ptr<PixelDelta::Record>> m_queue;
    std::thread m_thread;
    bool m_bStop = false;
};

}  // namespace

namespace {

std::shared_ptr<PixelDelta::Record> newRecord(const PixelBitmap& after, int y0, int rows)
{
    auto r = std::make_shared<PixelDelta::Record>();
    r->width = after.width();
    r->height = after.height();
    r->rowBytes = after.bytesPerLine();
    r->y0 = y0;
    r->rows = rows;
    r->bandRows = static_cast<int>(std::max<std::size_t>(1, BAND_BYTES / static_cast<std::size_t>(std::max(1, r->rowBytes))));
    r->changed.assign(static_cast<std::size_t>((rows + r->bandRows - 1) / r->bandRows), false);
    return r;
}

// Turns `block` (rows y0 ... of the old picture) into the difference to
// `after` where it lies; the record, or none when no byte differs.
std::shared_ptr<PixelDelta::Record> recordFrom(PixelMemory&& block, int y0, int rows, const PixelBitmap& after)
{
    auto r = newRecord(after, y0, rows);
    const std::size_t rowBytes = static_cast<std::size_t>(r->rowBytes);
    bool any = false;
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* d = block.data() + static_cast<std::size_t>(y) * rowBytes;
        if (difference(d, after.row(y0 + y), d, rowBytes)) {
            r->changed[static_cast<std::size_t>(y / r->bandRows)] = true;
            any = true;
        }
    }
    if (!any)
        return nullptr;
    r->plain = std::make_shared<const PixelMemory>(std::move(block));
    Packer::instance().post(r);
    return r;
}

}  // namespace

PixelDelta PixelDelta::between(const PixelBitmap& before, const PixelBitmap& after)
{
    if (before.width() != after.width() || before.height() != after.height()
        || before.bitsPerPixel() != after.bitsPerPixel())
        throw std::invalid_argument("PixelDelta: pictures of different sizes");
    // Only the rows from the first to the last that differ are kept.
    const std::size_t rowBytes = static_cast<std::size_t>(after.bytesPerLine());
    int top = 0, bottom = after.height();
    while (top < bottom && std::memcmp(before.row(top), after.row(top), rowBytes) == 0)
        ++top;
    while (bottom > top && std::memcmp(before.row(bottom - 1), after.row(bottom - 1), rowBytes) == 0)
        --bottom;
    PixelDelta delta;
    if (top == bottom)
        return delta;
    PixelMemory block(static_cast<std::size_t>(bottom - top) * rowBytes);
    for (int y = top; y < bottom; ++y)
        std::memcpy(block.data() + static_cast<std::size_t>(y - top) * rowBytes, before.row(y), rowBytes);
    delta.m_record = recordFrom(std::move(block), top, bottom - top, after);
    return delta;
}

PixelDelta PixelDelta::between(PixelMemory&& beforeRows, int y0, int rows, const PixelBitmap& after)
{
    if (y0 < 0 || rows < 0 || y0 + rows > after.height()
        || beforeRows.size() < static_cast<std::size_t>(rows) * static_cast<std::size_t>(after.bytesPerLine()))
        throw std::invalid_argument("PixelDelta: rows outside the picture");
    PixelDelta delta;
    if (rows > 0)
        delta.m_record = recordFrom(std::move(beforeRows), y0, rows, after);
    return delta;
}

void PixelDelta::apply(PixelBitmap& picture, bool add) const
{
    if (!m_record)
        return;
    const Record& r = *m_record;
    if (picture.width() != r.width || picture.height() != r.height || picture.bytesPerLine() != r.rowBytes)
        throw std::invalid_argument("PixelDelta: applied to a picture of another size");
    std::shared_ptr<const PixelMemory> plain;
    bool packed = false;
    {
        const std::lock_guard lock(r.mutex);
        packed = r.packed;
        plain = r.plain;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(r.rowBytes);
    // Everything that may fail comes before the first row changes.
    std::vector<std::uint8_t> band(packed ? static_cast<std::size_t>(r.bandRows) * rowBytes : 0);
    for (std::size_t b = 0; b < r.changed.size(); ++b) {
        if (!r.changed[b])
            continue;
        const int y0 = r.y0 + static_cast<int>(b) * r.bandRows, n = r.rowsOf(b);
        const std::uint8_t* d = nullptr;
        if (!packed) {
            d = plain->data() + r.bandOffset(b);
        } else if (r.kinds[b] == STORED) {
            d = r.data.data() + r.offsets[b];
        } else {
            const int expected = n * r.rowBytes;
            const int got = LZ4_decompress_safe(reinterpret_cast<const char*>(r.data.data() + r.offsets[b]),
                                                reinterpret_cast<char*>(band.data()), static_cast<int>(r.sizes[b]), expected);
            // The data never left this process: a failure here is a broken program.
            if (got != expected)
                throw std::logic_error("PixelDelta: a band does not decompress");
            d = band.data();
        }
        for (int y = 0; y < n; ++y)
            addOrSubtract(picture.row(y0 + y), d + static_cast<std::size_t>(y) * rowBytes, rowBytes, add);
    }
}

void PixelDelta::restore(PixelBitmap& picture) const
{
    apply(picture, true);
}

void PixelDelta::reapply(PixelBitmap& picture) const
{
    apply(picture, false);
}

bool PixelDelta::empty() const
{
    return !m_record;
}

std::size_t PixelDelta::bytes() const
{
    if (!m_record)
        return 0;
    const Record& r = *m_record;
    const std::lock_guard lock(r.mutex);
    std::size_t n = sizeof(Record) + r.changed.capacity() / 8;
    if (r.packed)
        n += r.data.capacity() + r.kinds.capacity() + (r.offsets.capacity() + r.sizes.capacity()) * sizeof(std::size_t);
    else if (r.plain)
        n += r.plain->size();
    return n;
}

void PixelDelta::settle() const
{
    if (!m_record)
        return;
    std::unique_lock lock(m_record->mutex);
    m_record->settledSignal.wait(lock, [this] { return m_record->settled; });
}
