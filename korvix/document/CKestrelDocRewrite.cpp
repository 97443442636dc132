// Rewriting the open volume: what the in-place edits cannot do (an entry of
// another size, new and deleted entries), as one transaction that writes a
// new volume beside the old one, behind the host's progress, after which the
// volume is opened again.
#include "document/CKestrelDoc.h"

#include "common/MessageTable.h"
#include "document/DocumentInternal.h"
#include "document/EntryColumns.h"
#include "document/VolumeRewrite.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using korvix::MessageId;
using korvix::MessageTable;
using korvix::msg;

namespace {

// A question lists this many lines, then how many more there are.
constexpr std::size_t MAX_LISTED = 20;

std::string listed(const std::vector<std::string>& lines)
{
    std::string text;
    for (std::size_t k = 0; k < lines.size() && k < MAX_LISTED; ++k)
        text += lines[k] + "\n";
    if (lines.size() > MAX_LISTED)
        text += MessageTable::format(MessageId::ListMoreFormat,
                                     docinternal::groupedNumber(lines.size() - MAX_LISTED).c_str()) + "\n";
    return text;
}

// The files a dropped path stands for: itself, or a folder's files below it
// (symbolic links left out, as pack leaves them out), each with the entry path
// it takes below `prefix`.
void expandDropped(const std::string& prefix, const fs::path& dropped, std::vector<VolumeChange>& changes)
{
    fs::path path = dropped.lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    const std::string name = path.filename().string();
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        changes.push_back(VolumeChange::put(prefix + name, dropped.string()));
        return;
    }
    std::vector<std::pair<std::string, std::string>> found;  // entry path, file
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_symlink(typeError) || !it->is_regular_file(typeError))
            continue;
        found.emplace_back(prefix + name + "/" + it->path().lexically_relative(path).generic_string(),
                           it->path().string());
    }
    std::sort(found.begin(), found.end());
    for (auto& [entry, file] : found)
        changes.push_back(VolumeChange::put(std::move(entry), std::move(file)));
}

}  // namespace

std::string docinternal::groupedNumber(std::uint64_t n)
{
    return korvix::countText(n, entrycolumns::numberStyle());
}

std::unique_ptr<RewritePlan> CKestrelDoc::startRewrite()
{
    if (!m_bVolumeOpen)
        return nullptr;
    if (m_volume->readOnly()) {
        message(MessageId::VolumeReadOnly);
        return nullptr;
    }
    auto plan = std::make_unique<RewritePlan>();
    if (!plan->load(*m_volume, m_catalogue.tree())) {
        m_host.messageBox(MessageTable::format(MessageId::RewriteFailedFormat, m_identity.path().c_str(),
                                               plan->failure().c_str()),
                          msg(MessageId::CaptionError), MessageIcon::Error, MessageButtons::Ok);
        return nullptr;
    }
    return plan;
}

bool CKestrelDoc::applyChanges(RewritePlan& plan, const std::vector<VolumeChange>& changes,
                               std::vector<ChangeReport>* reports)
{
    for (const VolumeChange& change : changes) {
        ChangeOutcome outcome = plan.apply(change);
        if (!outcome.ok()) {
            const std::string& file = outcome.file.empty() ? m_identity.path() : outcome.file;
            m_host.messageBox(MessageTable::format(MessageId::RewriteFailedFormat, file.c_str(), outcome.refusal.c_str()),
                              msg(MessageId::CaptionError), MessageIcon::Error, MessageButtons::Ok);
            return false;
        }
        if (reports)
            reports->push_back(std::move(outcome.report));
    }
    return true;
}

bool CKestrelDoc::runRewrite(const RewritePlan& plan)
{
    RewriteOptions options;
    options.backup = m_bKeepBackup;
    RewriteResult result;
    {
        struct Running {
            bool& flag;
            explicit Running(bool& f) : flag(f) { flag = true; }
            ~Running() { flag = false; }
        } running(m_bRewriting);
        m_host.runLongWork(msg(MessageId::RewriteTitle), [&](const std::atomic<bool>& cancel,
                                                             const std::function<void(const WorkProgress&)>& report) {
            options.cancel = &cancel;
            // The stage in words where an extraction names its file.
            options.progress = [&report](const RewriteProgress& p) {
                using Stage = RewriteProgress::Stage;
                const MessageId stage = p.stage == Stage::Writing    ? MessageId::RewriteStageWriting
                                        : p.stage == Stage::Checking ? MessageId::RewriteStageChecking
                                                                     : MessageId::RewriteStageSyncing;
                report({p.filesDone, p.filesTotal, p.bytesDone, p.bytesTotal, msg(stage)});
            };
            result = ::rewriteVolume(*m_volume, m_identity, plan, options);
        });
    }
    switch (result.status) {
    case RewriteResult::Status::Written:
        break;
    case RewriteResult::Status::Changed:
        offerReopen(true);
        return false;
    case RewriteResult::Status::ReadOnly:
        message(MessageId::VolumeReadOnly);
        return false;
    default:
        m_host.messageBox(MessageTable::format(MessageId::RewriteFailedFormat, result.file.c_str(), result.detail.c_str()),
                          msg(MessageId::CaptionError), MessageIcon::Error, MessageButtons::Ok);
        return false;
    }
    // The old file is gone from under the path: what is shown comes from the new one.
    reopenVolume();
    if (!result.detail.empty())
        m_host.messageBox(result.detail, "", MessageIcon::Warning, MessageButtons::Ok);
    return true;
}

std::unique_ptr<RewritePlan> CKestrelDoc::planChanges(const std::vector<VolumeChange>& changes,
                                                     std::vector<ChangeReport>& reports)
{
    if (changes.empty())
        return nullptr;
    std::unique_ptr<RewritePlan> plan = startRewrite();
    if (!plan || !applyChanges(*plan, changes, &reports))
        return nullptr;
    return plan;
}

bool CKestrelDoc::rewriteVolume(const std::vector<VolumeChange>& changes)
{
    const std::unique_ptr<RewritePlan> plan = startRewrite();
    return plan && applyChanges(*plan, changes, nullptr) && runRewrite(*plan);
}

bool CKestrelDoc::deleteEntriesCommand(const std::vector<int>& entries)
{
    if (!m_bVolumeOpen)
        return false;
    // An entry below another one named goes with it.
    const CatalogueTree& tree = m_catalogue.tree();
    const std::set<int> named(entries.begin(), entries.end());
    std::vector<VolumeChange> changes;
    for (const int e : named) {
        if (e < 0 || static_cast<std::uint32_t>(e) >= tree.size() || !tree.reported(e))
            continue;
        bool below = false;
        for (int p = tree.parent(e); p >= 0 && !below; p = tree.parent(p))
            below = named.count(p) > 0;
        if (!below)
            changes.push_back(VolumeChange::remove(VolumeChange::entryAt(e)));
    }
    std::vector<ChangeReport> reports;
    const std::unique_ptr<RewritePlan> plan = planChanges(changes, reports);
    if (!plan)
        return false;
    std::vector<std::string> lines;
    for (const ChangeReport& r : reports) {
        const std::string bytes = docinternal::groupedNumber(r.oldSize.value_or(0));
        lines.push_back(r.directory ? MessageTable::format(MessageId::DeleteLineDirectoryFormat, r.path.c_str(),
                                                           docinternal::groupedNumber(r.files).c_str(), bytes.c_str())
                                    : MessageTable::format(MessageId::DeleteLineFileFormat, r.path.c_str(), bytes.c_str()));
        for (const std::string& d : r.emptiedDirectories)
            lines.push_back(MessageTable::format(MessageId::DeleteLineEmptiedFormat, d.c_str()));
    }
    const std::string text = MessageTable::format(MessageId::DeleteConfirmFormat, listed(lines).c_str());
    if (m_host.messageBox(text, "", MessageIcon::Question, MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;
    return runRewrite(*plan);
}

bool CKestrelDoc::dropFilesCommand(int directoryItem, const std::vector<std::string>& files)
{
    if (!m_bVolumeOpen || files.empty())
        return false;
    std::string prefix;
    if (directoryItem != ITEM_VOLUME_ROOT) {
        const auto& records = m_catalogue.records();
        if (directoryItem < 0 || static_cast<std::size_t>(directoryItem) >= records.size()
            || !records[static_cast<std::size_t>(directoryItem)].isDirectory)
            return false;
        prefix = korvix::latin1ToUtf8(m_catalogue.pathOf(directoryItem)) + "/";
    }
    std::vector<VolumeChange> changes;
    for (const std::string& f : files)
        expandDropped(prefix, f, changes);
    std::vector<ChangeReport> reports;
    const std::unique_ptr<RewritePlan> plan = planChanges(changes, reports);
    if (!plan)
        return false;
    std::vector<std::string> lines;
    for (const ChangeReport& r : reports) {
        const std::string newSize = docinternal::groupedNumber(r.newSize.value_or(0));
        for (const std::string& d : r.madeDirectories)
            lines.push_back(MessageTable::format(MessageId::DropDirectoryMadeFormat, d.c_str()));
        if (r.effect == ChangeReport::Effect::Replaced)
            lines.push_back(MessageTable::format(MessageId::DropLineReplacedFormat, r.path.c_str(),
                                                 docinternal::groupedNumber(r.oldSize.value_or(0)).c_str(),
                                                 newSize.c_str()));
        else
            lines.push_back(MessageTable::format(MessageId::DropLineNewFormat, r.path.c_str(), newSize.c_str()));
    }
    const std::string text = MessageTable::format(MessageId::DropConfirmFormat, listed(lines).c_str());
    if (m_host.messageBox(text, "", MessageIcon::Question, MessageButtons::OkCancel) != MessageAnswer::Ok)
        return false;
    return runRewrite(*plan);
}
