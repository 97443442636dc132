// update VOLUME [CHANGE]... [--backup] [--dry-run] [--json]: changes that the
// in-place edits cannot make (an entry of another size, new entries, deleted
// ones), in the order given, as one rewrite of the whole volume.
//
// The changes are checked one by one against the volume as the changes before
// left it, then written as a new volume beside the old one, read back and
// renamed over it (RewritePlan.h, VolumeRewrite.h). A refusal or a failure
// leaves the volume as it was.
#include "Cli.h"
#include "CliVolume.h"
#include "JsonOut.h"
#include "Language.h"
#include "ProgressLine.h"
#include "TimeArgument.h"

#include "document/RewritePlan.h"
#include "document/VolumeIdentity.h"
#include "document/VolumeRewrite.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <optional>
#include <ostream>

namespace cli {

using korvix::MessageId;
using Json = nlohmann::ordered_json;

namespace {

// ENTRY=VALUE, split at the first '='.
std::pair<std::string, std::string> splitAssignment(const std::string& option, const std::string& word,
                                                    const char* wants)
{
    const auto eq = word.find('=');
    if (eq == std::string::npos || eq == 0)
        throw UsageError(format(MessageId::CliUpdateWantsFormat, option, std::string(wants)));
    return {word.substr(0, eq), word.substr(eq + 1)};
}

// The changes in the order given on the command line.
std::vector<VolumeChange> changesOf(const Args& args)
{
    std::vector<VolumeChange> changes;
    for (const auto& [name, value] : args.sequence) {
        if (name == "--put") {
            auto [entry, file] = splitAssignment(name, value, "ENTRY=FILE");
            changes.push_back(VolumeChange::put(std::move(entry), std::move(file)));
        } else if (name == "--delete") {
            changes.push_back(VolumeChange::remove(value));
        } else if (name == "--rename") {
            auto [entry, newName] = splitAssignment(name, value, "ENTRY=NEWNAME");
            changes.push_back(VolumeChange::rename(std::move(entry), std::move(newName)));
        } else if (name == "--comment") {
            changes.push_back(VolumeChange::comment(value));
        } else if (name == "--timestamp") {
            const auto t = parseTimeFields(value);
            if (!t)
                throw UsageError(tr(MessageId::CliTimestampWants));
            changes.push_back(VolumeChange::timestamp(*t));
        }
    }
    if (changes.empty())
        throw UsageError(tr(MessageId::CliUpdateNoChanges));
    return changes;
}

const char* changeName(VolumeChange::Kind kind)
{
    switch (kind) {
    case VolumeChange::Kind::Put: return "put";
    case VolumeChange::Kind::Delete: return "delete";
    case VolumeChange::Kind::Rename: return "rename";
    case VolumeChange::Kind::Comment: return "comment";
    case VolumeChange::Kind::Timestamp: return "timestamp";
    }
    return "";
}

const char* effectName(ChangeReport::Effect effect)
{
    switch (effect) {
    case ChangeReport::Effect::Added: return "added";
    case ChangeReport::Effect::Replaced: return "replaced";
    case ChangeReport::Effect::Deleted: return "deleted";
    case ChangeReport::Effect::Renamed: return "renamed";
    case ChangeReport::Effect::Comment: return "comment";
    case ChangeReport::Effect::Timestamp: return "timestamp";
    }
    return "";
}

// One line per thing a change does, as --dry-run shows it.
void printReport(const ChangeReport& r, std::ostream& out)
{
    using Effect = ChangeReport::Effect;
    const auto size = [](const std::optional<std::uint64_t>& s) { return static_cast<unsigned long long>(s.value_or(0)); };
    switch (r.effect) {
    case Effect::Added:
        for (const std::string& d : r.madeDirectories)
            out << format(MessageId::CliUpdateDirectoryFormat, d) << '\n';
        out << format(MessageId::CliUpdateAddedFormat, r.path, size(r.newSize)) << '\n';
        break;
    case Effect::Replaced:
        out << format(MessageId::CliUpdateReplacedFormat, r.path, size(r.oldSize), size(r.newSize)) << '\n';
        break;
    case Effect::Deleted:
        if (r.directory)
            out << format(MessageId::CliUpdateDeletedDirectoryFormat, r.path, static_cast<unsigned long long>(r.files),
                          size(r.oldSize))
                << '\n';
        else
            out << format(MessageId::CliUpdateDeletedFormat, r.path, size(r.oldSize)) << '\n';
        for (const std::string& d : r.emptiedDirectories)
            out << format(MessageId::CliUpdateEmptiedFormat, d) << '\n';
        break;
    case Effect::Renamed:
        out << format(MessageId::CliUpdateRenamedFormat, r.path, r.newPath) << '\n';
        break;
    case Effect::Comment:
        out << format(MessageId::CliUpdateCommentFormat, r.oldText, r.newText) << '\n';
        break;
    case Effect::Timestamp:
        out << format(MessageId::CliUpdateTimestampFormat, r.oldText.empty() ? std::string("-") : r.oldText, r.newText)
            << '\n';
        break;
    }
}

Json reportJson(VolumeChange::Kind kind, const ChangeReport& r)
{
    const auto size = [](const std::optional<std::uint64_t>& s) { return s ? Json(*s) : Json(nullptr); };
    Json j;
    j["change"] = changeName(kind);
    j["effect"] = effectName(r.effect);
    switch (r.effect) {
    case ChangeReport::Effect::Comment:
    case ChangeReport::Effect::Timestamp:
        j["old"] = r.oldText.empty() && r.effect == ChangeReport::Effect::Timestamp ? Json(nullptr) : Json(r.oldText);
        j["new"] = r.newText;
        return j;
    default:
        break;
    }
    j["path"] = r.path;
    if (r.effect == ChangeReport::Effect::Renamed)
        j["newPath"] = r.newPath;
    j["directory"] = r.directory;
    j["oldSize"] = size(r.oldSize);
    j["newSize"] = size(r.newSize);
    if (r.effect == ChangeReport::Effect::Deleted) {
        j["files"] = r.files;
        j["directoriesEmptied"] = r.emptiedDirectories;
    }
    if (r.effect == ChangeReport::Effect::Added)
        j["directoriesMade"] = r.madeDirectories;
    return j;
}

// Ctrl+C during the rewrite cancels it, so that the temporary file goes too; a
// second one ends the program at once.
std::atomic<bool> s_interrupted{false};

extern "C" void onInterrupt(int)
{
    s_interrupted.store(true, std::memory_order_relaxed);
}

class InterruptCancels {
public:
    InterruptCancels()
    {
        s_interrupted = false;
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(SIGNALS); ++i)
            sigaction(SIGNALS[i], &action, &m_old[i]);
    }
    ~InterruptCancels()
    {
        for (std::size_t i = 0; i < std::size(SIGNALS); ++i)
            sigaction(SIGNALS[i], &m_old[i], nullptr);
    }
    InterruptCancels(const InterruptCancels&) = delete;
    InterruptCancels& operator=(const InterruptCancels&) = delete;

private:
    static constexpr int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction m_old[std::size(SIGNALS)] {};
};

int runUpdate(const Args& args, Io& io)
{
    const std::string& path = args.positionals[0];
    const std::vector<VolumeChange> changes = changesOf(args);
    const bool json = args.has("--json");
    const bool dryRun = args.has("--dry-run");

    // The rewrite reads the volume; it never writes into it.
    CliVolume vol(path);
    VolumeIdentity identity;
    RewritePlan plan;
    if (!identity.record(path, vol.group()))
        throw Failure("update", path, tr(MessageId::CliCannotOpenVolume));
    if (!plan.load(vol.group(), vol.tree()))
        throw Failure("update", path, plan.failure());

    std::vector<ChangeReport> reports;
    for (const VolumeChange& change : changes) {
        ChangeOutcome o = plan.apply(change);
        if (!o.ok())
            throw Failure("update", o.file.empty() ? path : o.file, o.refusal);
        reports.push_back(std::move(o.report));
    }

    Json doc;
    doc["version"] = jsonVersion;
    doc["type"] = "update";
    doc["file"] = path;
    doc["dryRun"] = dryRun;
    doc["changes"] = Json::array();
    for (std::size_t k = 0; k < changes.size(); ++k)
        doc["changes"].push_back(reportJson(changes[k].kind, reports[k]));
    const auto printJson = [&] {
        io.out << doc.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    };

    if (dryRun) {
        const RewritePlan::Layout layout = plan.layout(vol.group().fileSize());
        if (!layout.ok())
            throw Failure("update", path, layout.failure);
        if (json) {
            doc["written"] = false;
            doc["backup"] = nullptr;
            doc["entries"] = layout.entries;
            doc["files"] = layout.files;
            doc["size"] = layout.size;
            printJson();
        } else {
            for (const ChangeReport& r : reports)
                printReport(r, io.out);
            io.out << format(MessageId::CliUpdateDryRunFormat, path, layout.entries, layout.files,
                             static_cast<unsigned long long>(layout.size))
                   << '\n';
        }
        return exitOk;
    }

    std::optional<ProgressLine> line;
    std::optional<RewriteProgress::Stage> lineStage;
    RewriteOptions options;
    options.backup = args.has("--backup");
    options.cancel = &s_interrupted;
    options.progress = [&](const RewriteProgress& p) {
        // Writing and checking each have their line, with their own rate and time left.
        if (p.stage == RewriteProgress::Stage::Syncing) {
            if (line)
                line->clear();
            line.reset();
            return;
        }
        if (lineStage != p.stage) {
            line.reset();
            line.emplace(io, args,
                         p.stage == RewriteProgress::Stage::Writing ? MessageId::CliProgressWrittenFormat
                                                                      : MessageId::CliProgressCheckedFormat);
            lineStage = p.stage;
        }
        line->update({p.filesDone, p.filesTotal, p.bytesDone, p.bytesTotal});
    };
    RewriteResult result;
    {
        const InterruptCancels interrupts;
        result = rewriteVolume(vol.group(), identity, plan, options);
    }
    if (line)
        line->clear();
    line.reset();
    if (!result.ok())
        throw Failure("update", result.file.empty() ? path : result.file, result.detail);
    // Written, but the backup or the directory's sync did not follow.
    if (!result.detail.empty())
        reportError(io, "update", path, result.detail);

    // The backup as the user named the volume, unless a link led elsewhere.
    std::string backup = result.backupPath;
    std::error_code linkError;
    if (!backup.empty() && !std::filesystem::is_symlink(path, linkError) && !linkError)
        backup = path + ".bak";
    if (json) {
        doc["written"] = true;
        doc["backup"] = backup.empty() ? Json(nullptr) : Json(backup);
        doc["entries"] = result.entries;
        doc["files"] = result.files;
        doc["size"] = result.size;
        printJson();
    }
    if (!args.has("--quiet")) {
        std::string summary =
            changes.size() == 1
                ? format(MessageId::CliUpdatedOneFormat, path, result.entries, result.files, byteText(result.size))
                : format(MessageId::CliUpdatedFormat, path, static_cast<unsigned long long>(changes.size()),
                         result.entries, result.files, byteText(result.size));
        if (!backup.empty())
            summary += format(MessageId::CliUpdatedBackupFormat, backup);
        io.err << summary << '\n';
    }
    return exitOk;
}

}  // namespace

CommandSpec updateCommand()
{
    return {"update", "VOLUME", tr(MessageId::CliUpdateSummary), tr(MessageId::CliUpdateDescription), 1, 1,
            {{"--put", "ENTRY=FILE", tr(MessageId::CliOptionPut), {}, true},
             {"--delete", "ENTRY", tr(MessageId::CliOptionDelete), {}, true},
             {"--rename", "ENTRY=NEWNAME", tr(MessageId::CliOptionRename), {}, true},
             {"--comment", "TEXT", tr(MessageId::CliOptionComment)},
             {"--timestamp", "TIME", tr(MessageId::CliOptionTimestamp)},
             {"--backup", "", tr(MessageId::CliOptionBackup)},
             {"--dry-run", "", tr(MessageId::CliOptionUpdateDryRun)},
             {"--json", "", tr(MessageId::CliOptionJson)},
             progressOption(),
             quietOption()},
            runUpdate};
}

}  // namespace cli
