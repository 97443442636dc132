// The facts of the list's texture columns (format, size, maps), read from the
// entries' headers on a worker thread, so that scrolling never waits for them.
//
// Requests wait in one queue: an entry the list draws goes to the front, the
// rest of the page (prefetch) to the back. The worker reads through a
// descriptor of its own (EntryHeadReader) and hands its results back to the
// user-interface thread in batches, as factsReady. Results for a volume that
// has since been replaced are dropped.
#pragma once

#include "document/EntryFacts.h"
#include "document/EntryRecord.h"

#include <QObject>
#include <QThreadPool>

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class CEntryFactsLoader : public QObject {
    Q_OBJECT
public:
    explicit CEntryFactsLoader(QObject* parent = nullptr);
    ~CEntryFactsLoader() override;

    using RecordLookup = std::function<const EntryRecord*(int entry)>;
    // Where the entries' records come from.
    void setRecords(RecordLookup records) { m_records = std::move(records); }
    // The volume whose entries are read (empty: none) and how many catalogue
    // entries it has; forgets every fact.
    void setVolume(const std::string& path, std::size_t entries);
    // Forgets an entry's facts (its bytes were replaced).
    void forget(int entry);

    // Indexed by catalogue index; Unknown for what has not been read yet.
    const std::vector<EntryFacts>& facts() const { return m_facts; }
    const EntryFacts& factsOf(int entry) const;

    // An entry the list shows: to the front of the queue (nothing happens for
    // one that is known or waiting). Entries that are no images get their
    // (empty) facts at once.
    void request(int entry);
    // The rest of a page, behind whatever waits; replaces the previous prefetch.
    void prefetch(const std::vector<int>& entries);
    // Reads whatever of `entries` is not known yet on the calling thread, at
    // once (a sort by a texture column needs them all).
    void complete(const std::vector<int>& entries);

    // Nothing waits or is being read (tests and benchmarks).
    bool idle() const;

signals:
    void factsReady();

private:
    struct Request {
        int entry;
        std::uint32_t offset;
        std::uint32_t size;
        bool shown;
    };
    // Settles an entry that needs no reading; false when it must be read.
    bool settled(int entry);
    void startWorker();
    void work();
    void deliver(quint64 generation, std::vector<std::pair<int, EntryFacts>> batch);
    bool wanted(int entry) const;

    mutable std::mutex m_mutex;
    std::deque<Request> m_queue;
    std::string m_strPath;
    quint64 m_nGeneration = 0;
    bool m_bWorking = false;

    // User-interface thread only.
    RecordLookup m_records;
    std::vector<EntryFacts> m_facts;
    std::vector<std::uint8_t> m_pending;  // by catalogue index: queued or being read
    std::size_t m_nPending = 0;
    QThreadPool m_pool;
};
