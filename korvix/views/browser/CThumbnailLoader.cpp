#include "views/browser/CThumbnailLoader.h"

#include "document/Thumbnail.h"

#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace {

// The reduced picture as an image the view draws: the bitmap's blue, green,
// red, alpha bytes are QImage's 32-bit ARGB words on a little-endian machine.
QImage toImage(const PixelBitmap& picture)
{
    QImage image(picture.width(), picture.height(), picture.hasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const auto rowBytes = static_cast<std::size_t>(picture.width()) * 4;
    for (int y = 0; y < picture.height(); ++y) {
        std::uint8_t* out = image.scanLine(y);
        const std::uint8_t* in = picture.row(y);
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(out, in, rowBytes);
        } else {
            for (std::size_t x = 0; x < rowBytes; x += 4) {
                const quint32 v = quint32(in[x + 3]) << 24 | quint32(in[x + 2]) << 16 | quint32(in[x + 1]) << 8 | in[x];
                std::memcpy(out + x, &v, 4);
            }
        }
    }
    return image;
}

}  // namespace

CThumbnailLoader::CThumbnailLoader(QObject* parent, int workers) : QObject(parent)
{
    m_cache.setMaxCost(CACHE_BYTES);
    m_pool.setMaxThreadCount(workers > 0 ? workers : std::max(1, QThread::idealThreadCount()));
}

CThumbnailLoader::~CThumbnailLoader()
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        ++m_nGeneration;
    }
    m_pool.waitForDone();
}

void CThumbnailLoader::reset()
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        ++m_nGeneration;
    }
    m_cache.clear();
    m_failed.clear();
    m_pending.clear();
    m_stale.clear();
}

void CThumbnailLoader::setVolume(const std::string& path)
{
    reset();
    std::lock_guard lock(m_mutex);
    m_strPath = path;
}

void CThumbnailLoader::setSize(int size)
{
    if (size == m_nSize)
        return;
    reset();
    std::lock_guard lock(m_mutex);
    m_nSize = size;
}

void CThumbnailLoader::forget(int entry)
{
    m_cache.remove(entry);
    m_failed.remove(entry);
    // A thumbnail being made now may show the old bytes: it is dropped when it comes.
    if (m_pending.contains(entry))
        m_stale.insert(entry);
}

QImage CThumbnailLoader::thumbnail(int entry) const
{
    const QImage* image = m_cache.object(entry);
    return image ? *image : QImage();
}

void CThumbnailLoader::request(const Request& r)
{
    if (m_cache.contains(r.entry) || m_failed.contains(r.entry))
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_strPath.empty())
            return;
        if (m_pending.contains(r.entry)) {
            // Waiting behind the prefetch: move it to the front. (Being made: leave it.)
            const auto at = std::find_if(m_queue.begin(), m_queue.end(),
                                         [&](const Queued& q) { return q.request.entry == r.entry; });
            if (at == m_queue.end() || at == m_queue.begin())
                return;
            m_queue.erase(at);
        }
        m_queue.push_front({r, true});
    }
    m_pending.insert(r.entry);
    startWorkers();
}

void CThumbnailLoader::prefetch(const std::vector<Request>& requests)
{
    const qsizetype perThumbnail = qsizetype{m_nSize} * m_nSize * 4;
    const std::size_t room = static_cast<std::size_t>(CACHE_BYTES / perThumbnail);
    std::size_t taken = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_strPath.empty())
            return;
        // The previous prefetch gives way; requests the view made stay in front.
        std::erase_if(m_queue, [&](const Queued& q) {
            if (q.shown)
                return false;
            m_pending.remove(q.request.entry);
            return true;
        });
        for (const Request& r : requests) {
            if (taken == room)
                break;
            ++taken;
            if (m_cache.contains(r.entry) || m_failed.contains(r.entry) || m_pending.contains(r.entry))
                continue;
            m_queue.push_back({r, false});
            m_pending.insert(r.entry);
        }
    }
    startWorkers();
}

bool CThumbnailLoader::idle() const
{
    return m_pending.isEmpty();
}

void CThumbnailLoader::setHeld(bool held)
{
    {
        std::lock_guard lock(m_mutex);
        m_bHeld = held;
    }
    if (!held)
        startWorkers();
}

void CThumbnailLoader::startWorkers()
{
    std::lock_guard lock(m_mutex);
    if (m_bHeld)
        return;
    const int wanted = std::min<int>(m_pool.maxThreadCount(), static_cast<int>(m_queue.size()));
    for (; m_nWorkers < wanted; ++m_nWorkers)
        m_pool.start([this] { work(); });
}

// One worker: takes requests from the front until the queue is empty.
void CThumbnailLoader::work()
{
    for (;;) {
        Request r;
        std::string path;
        quint64 generation;
        int size;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty() || m_bHeld) {
                --m_nWorkers;
                return;
            }
            r = m_queue.front().request;
            m_queue.pop_front();
            path = m_strPath;
            generation = m_nGeneration;
            size = m_nSize;
        }
        const thumbnail::Result result = thumbnail::ofVolumeEntry(path, r.offset, r.size, size);
        QImage image = result.ok() ? toImage(result.picture) : QImage();
        QMetaObject::invokeMethod(
            this, [this, generation, entry = r.entry, image = std::move(image), size] { deliver(generation, entry, image, size); },
            Qt::QueuedConnection);
    }
}

void CThumbnailLoader::deliver(quint64 generation, int entry, QImage image, int size)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_nGeneration || size != m_nSize)
            return;
    }
    m_pending.remove(entry);
    if (m_stale.remove(entry)) {
        // Made from bytes since replaced: the view asks again when it draws.
    } else if (image.isNull()) {
        m_failed.insert(entry);
    } else {
        const auto cost = static_cast<qsizetype>(image.sizeInBytes());
        m_cache.insert(entry, new QImage(std::move(image)), cost);
    }
    emit thumbnailReady(entry);
}
