// Thumbnails of a volume's entries for the browser's thumbnail view, made by
// the thumbnailer's code on worker threads and kept in a cache bounded in
// memory.
//
// Requests wait in one queue: an entry the view is drawing goes to the front,
// the rest of the page (prefetch) to the back, so the visible thumbnails come
// first. Each worker reads its entry through a stream of its own (the
// document's volume object is the user-interface thread's alone). A result
// arrives on the user-interface thread as thumbnailReady; one for a volume or
// size that has since changed is dropped.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CThumbnailLoader : public QObject {
    Q_OBJECT
public:
    // The cache's bound: 64 MiB holds a thousand thumbnails of 128 pixels.
    static constexpr qsizetype CACHE_BYTES = qsizetype{64} << 20;
    static constexpr int SMALL = 64;
    static constexpr int LARGE = 128;

    struct Request {
        int entry;
        std::uint32_t offset;
        std::uint32_t size;
    };

    // `workers` threads make thumbnails; 0: as many as the machine runs at once.
    explicit CThumbnailLoader(QObject* parent = nullptr, int workers = 0);
    ~CThumbnailLoader() override;

    // The volume the entries belong to (empty: none); forgets every thumbnail.
    void setVolume(const std::string& path);
    // Side of the thumbnails, SMALL or LARGE; another size forgets every thumbnail.
    void setSize(int size);
    int size() const { return m_nSize; }
    // Forgets one entry's thumbnail (its bytes were replaced).
    void forget(int entry);

    // The entry's thumbnail when it is ready; a null image otherwise.
    QImage thumbnail(int entry) const;
    // True when the entry gave no thumbnail (not a picture, damaged, too large).
    bool failed(int entry) const { return m_failed.contains(entry); }

    // An entry the view shows: to the front of the queue. Nothing happens for
    // an entry that is cached, failed or already being made.
    void request(const Request& r);
    // The rest of a page, in its order, behind whatever is waiting; at most as
    // many as the cache holds. Replaces the previous prefetch.
    void prefetch(const std::vector<Request>& requests);

    // Waiting requests and the ones being made, for tests and benchmarks.
    bool idle() const;
    // While held, requests wait in the queue in their order and no worker
    // takes one (a worker busy with one finishes it); letting go starts them.
    // For tests that need the queue's order without the workers racing them.
    void setHeld(bool held);

signals:
    void thumbnailReady(int entry);

private:
    void startWorkers();
    void work();
    void deliver(quint64 generation, int entry, QImage image, int size);
    void reset();

    struct Queued {
        Request request;
        bool shown;  // asked for by the view, not by the prefetch
    };

    // Shared with the workers, under m_mutex.
    mutable std::mutex m_mutex;
    std::deque<Queued> m_queue;
    std::string m_strPath;
    quint64 m_nGeneration = 0;
    int m_nWorkers = 0;
    int m_nSize = SMALL;
    bool m_bHeld = false;

    // User-interface thread only.
    QCache<int, QImage> m_cache;
    QSet<int> m_failed;
    QSet<int> m_pending;  // queued or being made
    QSet<int> m_stale;    // being made while forgotten
    QThreadPool m_pool;
};
