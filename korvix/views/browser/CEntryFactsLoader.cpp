#include "views/browser/CEntryFactsLoader.h"

#include <QMetaObject>

#include <algorithm>

namespace {

// Results go back in batches of this many: a page of 100,000 textures then
// costs the user-interface thread some hundreds of updates, not 100,000.
constexpr std::size_t BATCH = 512;

const EntryFacts UNKNOWN{};

}  // namespace

CEntryFactsLoader::CEntryFactsLoader(QObject* parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

CEntryFactsLoader::~CEntryFactsLoader()
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        ++m_nGeneration;
    }
    m_pool.waitForDone();
}

void CEntryFactsLoader::setVolume(const std::string& path, std::size_t entries)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
        ++m_nGeneration;
        m_strPath = path;
    }
    m_facts.assign(path.empty() ? 0 : entries, EntryFacts{});
    m_pending.assign(m_facts.size(), 0);
    m_nPending = 0;
}

void CEntryFactsLoader::forget(int entry)
{
    if (entry >= 0 && static_cast<std::size_t>(entry) < m_facts.size())
        m_facts[static_cast<std::size_t>(entry)] = EntryFacts{};
}

const EntryFacts& CEntryFactsLoader::factsOf(int entry) const
{
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_facts.size())
        return UNKNOWN;
    return m_facts[static_cast<std::size_t>(entry)];
}

bool CEntryFactsLoader::wanted(int entry) const
{
    return entry >= 0 && static_cast<std::size_t>(entry) < m_facts.size()
           && !m_facts[static_cast<std::size_t>(entry)].known() && !m_pending[static_cast<std::size_t>(entry)];
}

bool CEntryFactsLoader::settled(int entry)
{
    const EntryRecord* r = m_records ? m_records(entry) : nullptr;
    if (r && r->kind == KIND_IMAGE && !r->damaged && !r->isDirectory && r->size > 0)
        return false;
    m_facts[static_cast<std::size_t>(entry)].type = r && r->damaged && r->kind == KIND_IMAGE ? EntryFacts::Type::Broken
                                                                                             : EntryFacts::Type::None;
    return true;
}

void CEntryFactsLoader::request(int entry)
{
    if (entry < 0 || static_cast<std::size_t>(entry) >= m_facts.size() || m_facts[static_cast<std::size_t>(entry)].known())
        return;
    if (!m_pending[static_cast<std::size_t>(entry)] && settled(entry))
        return;
    const EntryRecord* r = m_records(entry);
    {
        std::lock_guard lock(m_mutex);
        if (m_pending[static_cast<std::size_t>(entry)]) {
            // Waiting behind the prefetch: move it to the front.
            const auto at = std::find_if(m_queue.begin(), m_queue.end(), [&](const Request& q) { return q.entry == entry; });
            if (at == m_queue.end() || at == m_queue.begin())
                return;
            m_queue.erase(at);
        } else {
            m_pending[static_cast<std::size_t>(entry)] = 1;
            ++m_nPending;
        }
        m_queue.push_front({entry, r->offset, r->size, true});
    }
    startWorker();
}

void CEntryFactsLoader::prefetch(const std::vector<int>& entries)
{
    {
        std::lock_guard lock(m_mutex);
        // The previous prefetch gives way; requests the list made stay in front.
        std::erase_if(m_queue, [&](const Request& q) {
            if (q.shown)
                return false;
            m_pending[static_cast<std::size_t>(q.entry)] = 0;
            --m_nPending;
            return true;
        });
        for (const int entry : entries) {
            if (!wanted(entry) || settled(entry))
                continue;
            const EntryRecord* r = m_records(entry);
            m_queue.push_back({entry, r->offset, r->size, false});
            m_pending[static_cast<std::size_t>(entry)] = 1;
            ++m_nPending;
        }
    }
    startWorker();
}

void CEntryFactsLoader::complete(const std::vector<int>& entries)
{
    std::string path;
    {
        std::lock_guard lock(m_mutex);
        path = m_strPath;
    }
    EntryHeadReader reader;
    if (path.empty() || !reader.open(path))
        return;
    bool changed = false;
    for (const int entry : entries) {
        if (entry < 0 || static_cast<std::size_t>(entry) >= m_facts.size() || m_facts[static_cast<std::size_t>(entry)].known())
            continue;
        if (!settled(entry)) {
            const EntryRecord* r = m_records(entry);
            m_facts[static_cast<std::size_t>(entry)] = reader.factsAt(r->offset, r->size);
        }
        changed = true;
    }
    if (changed)
        emit factsReady();
}

bool CEntryFactsLoader::idle() const
{
    return m_nPending == 0;
}

void CEntryFactsLoader::startWorker()
{
    std::lock_guard lock(m_mutex);
    if (m_bWorking || m_queue.empty())
        return;
    m_bWorking = true;
    m_pool.start([this] { work(); });
}

void CEntryFactsLoader::work()
{
    EntryHeadReader reader;
    std::string openPath;
    for (;;) {
        std::vector<Request> taken;
        std::string path;
        quint64 generation;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.empty()) {
                m_bWorking = false;
                return;
            }
            const std::size_t n = std::min(BATCH, m_queue.size());
            taken.assign(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(n));
            m_queue.erase(m_queue.begin(), m_queue.begin() + static_cast<std::ptrdiff_t>(n));
            path = m_strPath;
            generation = m_nGeneration;
        }
        if (path != openPath) {
            reader.open(path);
            openPath = path;
        }
        std::vector<std::pair<int, EntryFacts>> batch;
        batch.reserve(taken.size());
        for (const Request& r : taken) {
            EntryFacts f = reader.factsAt(r.offset, r.size);
            // A volume that cannot be opened gives no facts, not broken ones.
            if (!reader.isOpen())
                f.type = EntryFacts::Type::None;
            batch.emplace_back(r.entry, f);
        }
        QMetaObject::invokeMethod(
            this, [this, generation, batch = std::move(batch)]() mutable { deliver(generation, std::move(batch)); },
            Qt::QueuedConnection);
    }
}

void CEntryFactsLoader::deliver(quint64 generation, std::vector<std::pair<int, EntryFacts>> batch)
{
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_nGeneration)
            return;
    }
    for (const auto& [entry, facts] : batch) {
        const auto e = static_cast<std::size_t>(entry);
        if (e >= m_facts.size())
            continue;
        if (m_pending[e]) {
            m_pending[e] = 0;
            --m_nPending;
        }
        m_facts[e] = facts;
    }
    emit factsReady();
}
