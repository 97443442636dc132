// Extraction of several entries, a directory or the whole volume into a
// folder, the files of a drag out of the browser, and text entries.
#include "document/CKestrelDoc.h"

#include "common/MessageTable.h"
#include "document/EntryColumns.h"
#include "document/EntryText.h"
#include "document/VolumeFailure.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;
namespace fs = std::filesystem;

namespace {

// At most this many failures are listed one by one; the rest are counted.
constexpr std::size_t LISTED_FAILURES = 20;

// The files in the trees of `entries`.
std::uint64_t bytesIn(const EntryCatalogue& catalogue, const std::vector<int>& entries)
{
    std::uint64_t bytes = 0;
    std::vector<int> stack(entries.begin(), entries.end());
    while (!stack.empty()) {
        const int e = stack.back();
        stack.pop_back();
        if (e < 0 || static_cast<std::size_t>(e) >= catalogue.records().size())
            continue;
        const EntryRecord& r = catalogue.records()[static_cast<std::size_t>(e)];
        if (r.isDirectory) {
            const auto children = catalogue.childrenOf(e);
            stack.insert(stack.end(), children.begin(), children.end());
        } else {
            bytes += r.size;
        }
    }
    return bytes;
}

}  // namespace

std::uint64_t CKestrelDoc::filesBytes(const std::vector<int>& entries) const
{
    return bytesIn(m_catalogue, entries);
}

ExtractionResult CKestrelDoc::extractAsWork(const std::vector<int>& entries, bool wholeVolume,
                                            const std::string& folder, bool durable)
{
    ExtractionResult result;
    const std::string title = msg(MessageId::ExtractProgressTitle);
    m_host.runLongWork(title, [&](const std::atomic<bool>& cancel, const std::function<void(const WorkProgress&)>& report) {
        ExtractionOptions options;
        options.cancel = &cancel;
        options.durable = durable;
        WorkProgress progress;
        options.progress = [&](const ExtractionProgress& p) {
            progress.filesDone = p.filesDone;
            progress.filesTotal = p.filesTotal;
            progress.bytesDone = p.bytesDone;
            progress.bytesTotal = p.bytesTotal;
            progress.current.assign(p.current);
            report(progress);
        };
        options.existing = [&](int, const fs::path& target) { return m_host.askOverwrite(target.string()); };
        result = wholeVolume ? extractVolume(*m_volume, m_catalogue, folder, options)
                             : extractEntries(*m_volume, m_catalogue, entries, folder, options);
    });
    return result;
}

void CKestrelDoc::reportExtractionFailures(const ExtractionResult& result)
{
    if (result.failures.empty())
        return;
    const korvix::Language language = MessageTable::language();
    std::vector<std::string> lines;
    std::size_t entries = 0;
    for (const ExtractionFailure& f : result.failures) {
        using Reason = ExtractionFailure::Reason;
        const bool entry = f.index >= 0;
        entries += entry ? 1 : 0;
        std::string why;
        switch (f.reason) {
        case Reason::UnsafeName: why = msg(MessageId::ExtractWhyUnsafeName); break;
        case Reason::PathUnusable: why = MessageTable::format(MessageId::ExtractWhyPathUnusableFormat, f.detail.c_str()); break;
        case Reason::LinkInTheWay: why = msg(MessageId::ExtractWhyLinkInTheWay); break;
        case Reason::NoDirectory: why = msg(MessageId::ExtractWhyNoDirectory); break;
        case Reason::DataOutsideVolume:
            why = entryRangeFailure(m_catalogue.records()[static_cast<std::size_t>(f.index)], m_volume->fileSize(), language);
            break;
        case Reason::ReadFailed: why = msg(MessageId::ExtractWhyReadFailed); break;
        case Reason::WriteFailed: why = f.detail; break;
        case Reason::SyncFailed: why = MessageTable::format(MessageId::ExtractWhySyncFailedFormat, f.detail.c_str()); break;
        }
        // An entry is named by its path in the volume, the run by its folder.
        lines.push_back((entry ? f.path : f.target.string()) + ": " + why);
    }
    std::string text;
    if (entries == 1)
        text = std::string(msg(MessageId::ExtractOneFailed)) + "\n\n";
    else if (entries > 1)
        text = MessageTable::format(MessageId::ExtractFailedFormat,
                                    korvix::countText(entries, entrycolumns::numberStyle()).c_str())
               + "\n\n";
    for (std::size_t i = 0; i < std::min(lines.size(), LISTED_FAILURES); ++i)
        text += lines[i] + "\n";
    if (lines.size() > LISTED_FAILURES)
        text += MessageTable::format(MessageId::ExtractMoreFailedFormat,
                                     korvix::countText(lines.size() - LISTED_FAILURES, entrycolumns::numberStyle()).c_str());
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    m_host.messageBox(text, msg(MessageId::CaptionError), MessageIcon::Warning, MessageButtons::Ok);
}

bool CKestrelDoc::exportEntries(const std::vector<int>& entries)
{
    if (!m_bVolumeOpen || entries.empty())
        return false;
    for (const int e : entries)
        if (e < 0 || static_cast<std::size_t>(e) >= m_catalogue.records().size())
            return false;
    const auto folder = m_host.chooseFolder(msg(MessageId::ExtractFolderTitle));
    if (!folder)
        return false;
    // The catalogue the run walks must be the file's.
    if (volumeChangedOnDisk()) {
        offerReopen(true);
        return false;
    }
    reportExtractionFailures(extractAsWork(entries, false, *folder, true));
    return true;
}

bool CKestrelDoc::exportDirectory(int itemData)
{
    if (!m_bVolumeOpen)
        return false;
    if (itemData != ITEM_VOLUME_ROOT) {
        const auto& records = m_catalogue.records();
        if (itemData < 0 || static_cast<std::size_t>(itemData) >= records.size()
            || !records[static_cast<std::size_t>(itemData)].isDirectory)
            return false;
        return exportEntries({itemData});
    }
    const auto folder = m_host.chooseFolder(msg(MessageId::ExtractFolderTitle));
    if (!folder)
        return false;
    if (volumeChangedOnDisk()) {
        offerReopen(true);
        return false;
    }
    reportExtractionFailures(extractAsWork({}, true, *folder, true));
    return true;
}

std::optional<std::vector<std::string>> CKestrelDoc::dragEntries(const std::vector<int>& entries)
{
    if (!m_bVolumeOpen || entries.empty())
        return std::nullopt;
    for (const int e : entries)
        if (e < 0 || static_cast<std::size_t>(e) >= m_catalogue.records().size())
            return std::nullopt;
    const std::uint64_t bytes = filesBytes(entries);
    if (bytes > MAX_DRAG_BYTES) {
        message(MessageTable::format(MessageId::DragTooLargeFormat,
                                     korvix::byteText(bytes, entrycolumns::numberStyle()).c_str()));
        return std::nullopt;
    }
    if (volumeChangedOnDisk()) {
        offerReopen(true);
        return std::nullopt;
    }
    // A fresh folder for each drag: nothing there to overwrite or to mix up
    // with an earlier drag's files.
    const auto base = m_host.dragFolder();
    std::string folder;
    if (base) {
        std::string pattern = (fs::path(*base) / "drag-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            folder = pattern;
    }
    if (folder.empty()) {
        message(MessageId::DragFolderFailed);
        return std::nullopt;
    }
    const ExtractionResult result = extractAsWork(entries, false, folder, false);
    reportExtractionFailures(result);
    if (result.cancelled)
        return std::nullopt;
    std::vector<std::string> paths;
    for (const int e : entries) {
        const fs::path path = fs::path(folder) / korvix::latin1ToUtf8(m_catalogue.records()[static_cast<std::size_t>(e)].name.view());
        std::error_code ec;
        if (fs::exists(path, ec))
            paths.push_back(path.string());
    }
    if (paths.empty())
        return std::nullopt;
    return paths;
}

std::optional<std::string> CKestrelDoc::entryText(int index)
{
    const auto& records = m_catalogue.records();
    if (!m_bVolumeOpen || index < 0 || static_cast<std::size_t>(index) >= records.size())
        return std::nullopt;
    const EntryRecord& r = records[static_cast<std::size_t>(index)];
    const entrytext::Decision decision = entrytext::decide(r);
    if (decision == entrytext::Decision::Never)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    if (decision == entrytext::Decision::LookAtBytes) {
        const std::size_t sniff = std::min<std::size_t>(r.size, entrytext::SNIFF_BYTES);
        bytes.resize(sniff);
        if (!m_volume->getDataBlock(r.offset, sniff, bytes.data())
            || !entrytext::isPrintable(bytes.data(), sniff, sniff == r.size))
            return std::nullopt;
    }
    const std::size_t shown = std::min<std::size_t>(r.size, entrytext::MAX_BYTES);
    bytes.resize(shown);
    if (shown > 0 && !m_volume->getDataBlock(r.offset, shown, bytes.data()))
        return std::nullopt;
    std::string text = entrytext::decode(bytes.data(), bytes.size());
    if (r.size > entrytext::MAX_BYTES)
        text += "\n\n" + MessageTable::format(MessageId::TextTruncatedFormat,
                                              korvix::byteText(r.size, entrycolumns::numberStyle()).c_str());
    return text;
}

bool CKestrelDoc::pickEntry(int index)
{
    m_bKeptChanges = false;
    if (auto text = entryText(index)) {
        m_host.showText(korvix::latin1ToUtf8(m_catalogue.records()[static_cast<std::size_t>(index)].name.view()), *text);
        return true;
    }
    const bool loaded = loadMaps("", true, false, index);
    // A picture picked while the text was shown comes to the front; a sound does not.
    const int kind = index >= 0 && static_cast<std::size_t>(index) < m_catalogue.records().size()
                         ? m_catalogue.records()[static_cast<std::size_t>(index)].kind
                         : 0;
    if (loaded && kind != KIND_MODEL_SOUND && kind != KIND_WAVE && m_host.hasPictureView())
        m_host.activatePictureView();
    return loaded;
}
