#include "document/Extraction.h"

#include "common/AtomicFile.h"
#include "common/SyncBatch.h"
#include "common/Text.h"
#include "document/EntryNameRule.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace {

using Reason = ExtractionFailure::Reason;

// Large entries are read and written a megabyte at a time.
constexpr std::size_t CHUNK = std::size_t{1} << 20;

struct Tally {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// The files in an entry's tree (the entry itself when it is a file).
Tally tallyOf(const EntryCatalogue& catalogue, int index)
{
    Tally t;
    std::vector<int> stack{index};
    while (!stack.empty()) {
        const int e = stack.back();
        stack.pop_back();
        const EntryRecord& r = catalogue.records()[static_cast<std::size_t>(e)];
        if (r.isDirectory) {
            const auto children = catalogue.childrenOf(e);
            stack.insert(stack.end(), children.begin(), children.end());
        } else {
            ++t.files;
            t.bytes += r.size;
        }
    }
    return t;
}

class Run {
public:
    Run(tarvos::GGroup& volume, const EntryCatalogue& catalogue, const fs::path& folder,
        const ExtractionOptions& options)
        : m_volume(volume), m_catalogue(catalogue), m_folder(folder), m_options(options)
    {
    }

    ExtractionResult go(std::span<const int> entries);

private:
    struct Item {
        int index;
        std::size_t depth;
    };

    bool stopRequested() const { return m_options.cancel && m_options.cancel->load(std::memory_order_relaxed); }
    void report(std::string_view current);
    void fail(int index, Reason reason, const fs::path& target, std::string detail = {});
    // Counts an entry's tree as handled without writing it.
    void pass(int index);
    void extractDirectory(const Item& item, const fs::path& target, const fs::file_status& status,
                          std::vector<Item>& stack);
    // False when the run is to end (cancelled).
    bool extractFile(int index, const fs::path& target, const fs::file_status& status);
    bool writeFile(int index, const fs::path& target);

    tarvos::GGroup& m_volume;
    const EntryCatalogue& m_catalogue;
    const fs::path& m_folder;
    const ExtractionOptions& m_options;
    SyncBatch m_batch;
    ExtractionResult m_result;
    ExtractionProgress m_progress;
    bool m_bOverwriteAll = false;
    std::vector<unsigned char> m_buffer;
    // The path below the folder of the entry at hand (UTF-8), and where each
    // depth's folder part of it ends: the names along the walk, never a whole
    // path per entry.
    std::string m_strRelative;
    std::vector<std::size_t> m_folderEnd{0};
};

void Run::report(std::string_view current)
{
    if (m_options.progress) {
        m_progress.current = current;
        m_options.progress(m_progress);
    }
}

void Run::fail(int index, Reason reason, const fs::path& target, std::string detail)
{
    m_result.failures.push_back({index, reason, index >= 0 ? korvix::latin1ToUtf8(m_catalogue.pathOf(index)) : "",
                                 target, std::move(detail)});
}

void Run::pass(int index)
{
    const Tally t = tallyOf(m_catalogue, index);
    m_progress.filesDone += t.files;
    m_progress.bytesDone += t.bytes;
}

ExtractionResult Run::go(std::span<const int> entries)
{
    for (const int e : entries) {
        if (e < 0 || static_cast<std::size_t>(e) >= m_catalogue.records().size())
            throw std::invalid_argument("no such catalogue entry");
        const Tally t = tallyOf(m_catalogue, e);
        m_progress.filesTotal += t.files;
        m_progress.bytesTotal += t.bytes;
    }
    std::error_code ec;
    fs::create_directories(m_folder, ec);
    if (!fs::is_directory(m_folder, ec)) {
        fail(-1, Reason::NoDirectory, m_folder, ec ? ec.message() : std::string());
        return std::move(m_result);
    }
    m_batch.note(m_folder);
    report({});

    std::vector<Item> stack;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        stack.push_back({*it, 0});
    while (!stack.empty() && !m_result.cancelled) {
        if (stopRequested()) {
            m_result.cancelled = true;
            break;
        }
        const Item item = stack.back();
        stack.pop_back();
        const EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(item.index)];
        m_strRelative.resize(m_folderEnd[item.depth]);
        if (item.depth > 0)
            m_strRelative += '/';
        m_strRelative += korvix::latin1ToUtf8(r.name.view());
        const fs::path target = m_folder / m_strRelative;
        if (!EntryNameRule::isSafeFileName(r.name.view())) {
            fail(item.index, Reason::UnsafeName, target);
            pass(item.index);
            continue;
        }
        // Every question to the file system is asked in the error-code form: a
        // path the system cannot hold refuses this entry and its tree, never the run.
        std::error_code probeError;
        const fs::file_status status = fs::symlink_status(target, probeError);
        if (probeError && probeError != std::errc::no_such_file_or_directory) {
            fail(item.index, Reason::PathUnusable, target, probeError.message());
            pass(item.index);
            continue;
        }
        if (r.isDirectory) {
            extractDirectory(item, target, status, stack);
        } else if (!extractFile(item.index, target, status)) {
            m_result.cancelled = true;
            break;
        }
    }
    // What the run wrote stays, so it goes to disk, also after a cancel.
    if (m_options.durable)
        if (const std::error_code synced = m_batch.sync())
            fail(-1, Reason::SyncFailed, m_folder, synced.message());
    return std::move(m_result);
}

void Run::extractDirectory(const Item& item, const fs::path& target, const fs::file_status& status,
                           std::vector<Item>& stack)
{
    // A link in the way could lead outside the target folder.
    if (fs::is_symlink(status)) {
        fail(item.index, Reason::LinkInTheWay, target);
        pass(item.index);
        return;
    }
    std::error_code ec;
    const bool made = fs::create_directory(target, ec);
    std::error_code isError;
    if (!fs::is_directory(target, isError)) {
        fail(item.index, Reason::NoDirectory, target, ec ? ec.message() : std::string());
        pass(item.index);
        return;
    }
    if (made)
        m_batch.note(target);
    if (m_folderEnd.size() <= item.depth + 1)
        m_folderEnd.resize(item.depth + 2);
    m_folderEnd[item.depth + 1] = m_strRelative.size();
    const auto children = m_catalogue.childrenOf(item.index);
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        stack.push_back({*it, item.depth + 1});
}

bool Run::extractFile(int index, const fs::path& target, const fs::file_status& status)
{
    const EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(index)];
    if (fs::is_directory(status)) {
        fail(index, Reason::WriteFailed, target, std::make_error_code(std::errc::is_a_directory).message());
        pass(index);
        report(m_strRelative);
        return true;
    }
    if (fs::exists(status) && !m_bOverwriteAll) {
        const OverwriteAnswer answer = m_options.existing ? m_options.existing(index, target) : OverwriteAnswer::Skip;
        switch (answer) {
        case OverwriteAnswer::Cancel:
            return false;
        case OverwriteAnswer::Skip:
            ++m_result.filesSkipped;
            pass(index);
            report(m_strRelative);
            return true;
        case OverwriteAnswer::OverwriteAll:
            m_bOverwriteAll = true;
            break;
        case OverwriteAnswer::Overwrite:
            break;
        }
    }
    if (std::uint64_t{r.offset} + r.size > m_volume.fileSize()) {
        fail(index, Reason::DataOutsideVolume, target);
        pass(index);
        report(m_strRelative);
        return true;
    }
    if (!writeFile(index, target))
        return false;
    ++m_progress.filesDone;
    report(m_strRelative);
    return true;
}

bool Run::writeFile(int index, const fs::path& target)
{
    const EntryRecord& r = m_catalogue.records()[static_cast<std::size_t>(index)];
    std::uint64_t done = 0;
    try {
        AtomicFile file(target, &m_batch);
        if (m_buffer.size() < std::min<std::size_t>(CHUNK, r.size))
            m_buffer.resize(std::min<std::size_t>(CHUNK, r.size));
        while (done < r.size) {
            // A file cut short by a cancel is removed with its temporary file.
            if (done > 0 && stopRequested())
                return false;
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(CHUNK, r.size - done));
            if (!m_volume.getDataBlock(r.offset + done, n, m_buffer.data())) {
                fail(index, Reason::ReadFailed, target);
                m_progress.bytesDone += r.size - done;
                return true;
            }
            file.write(m_buffer.data(), n);
            done += n;
            m_progress.bytesDone += n;
            if (done < r.size)
                report(m_strRelative);
        }
        file.commit();
    } catch (const std::runtime_error& err) {
        fail(index, Reason::WriteFailed, target, err.what());
        m_progress.bytesDone += r.size - done;
        return true;
    }
    ++m_result.filesWritten;
    m_result.bytesWritten += r.size;
    return true;
}

}  // namespace

ExtractionResult extractEntries(tarvos::GGroup& volume, const EntryCatalogue& catalogue, std::span<const int> entries,
                                const fs::path& folder, const ExtractionOptions& options)
{
    return Run(volume, catalogue, folder, options).go(entries);
}

ExtractionResult extractVolume(tarvos::GGroup& volume, const EntryCatalogue& catalogue, const fs::path& folder,
                               const ExtractionOptions& options)
{
    return extractEntries(volume, catalogue, catalogue.childrenOf(PARENT_TOP_LEVEL), folder, options);
}
