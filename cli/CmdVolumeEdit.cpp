// The volume edits, run through the document as the desktop program runs them:
// rename, replace, replace-image, set-comment, set-timestamp.
#include "Cli.h"
#include "CliHost.h"
#include "Language.h"
#include "TimeArgument.h"
#include "CliVolume.h"
#include "ConvertOutput.h"
#include "ProgressLine.h"

#include "common/Text.h"
#include "document/CKestrelDoc.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

namespace fs = std::filesystem;

namespace cli {

using korvix::MessageId;

namespace {

// The document with the volume open for writing. Entries are looked up in the
// document's own catalogue, so the entry written is the one this open found.
struct Session {
    CliHost host;
    CKestrelDoc doc;
    std::string volume;
    Session(Io& io, const std::string& stage, const std::string& path) : host(io, stage, path), doc(host), volume(path)
    {
        // A file that is no volume is refused with its reason before the document opens it.
        { const CliVolume probe(path); }
        if (!doc.openVolume(path, path))
            throw Failure(stage, path, tr(MessageId::CliCannotOpenVolume));
    }
    int entry(const std::string& spec) const { return resolveEntry(doc.catalogue(), volume, spec); }
};

// The file that replaces an entry: a failure to read it names it, not the volume,
// with the system's reason.
void checkReadableFile(const std::string& stage, const std::string& path)
{
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st))
        throw Failure(stage, path, ec ? ec.message() : std::generic_category().message(ENOENT));
    if (fs::is_directory(st))
        throw Failure(stage, path, tr(korvix::MessageId::CliIsDirectory));
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure(stage, path, format(korvix::MessageId::CliCannotOpenFileFormat, std::generic_category().message(errno)));
}

// The entry's path and size as the edit's success line names them.
struct EntryFacts {
    int index;
    std::string path;
    unsigned long long size;
};

EntryFacts entryFacts(const Session& s, const std::string& spec)
{
    const int index = s.entry(spec);
    const EntryCatalogue& catalogue = s.doc.catalogue();
    const auto& records = catalogue.records();
    const std::string path = cataloguePath(catalogue.tree(), index, [&](int i) {
        return std::string(records[static_cast<std::size_t>(i)].name.view());
    });
    return {index, korvix::latin1ToUtf8(path), records[static_cast<std::size_t>(index)].size};
}

// A writing command that succeeded says what it wrote, on standard error,
// unless --quiet; standard output stays as it was.
int succeeded(const Args& args, Io& io, const std::string& line)
{
    if (!args.has("--quiet"))
        io.err << line << '\n';
    return exitOk;
}

int runRename(const Args& args, Io& io)
{
    const std::string& volume = args.positionals[0];
    Session s(io, "rename", volume);
    const EntryFacts entry = entryFacts(s, args.positionals[1]);
    if (!s.doc.renameEntry(entry.index, args.positionals[2], false))
        return exitFailure;
    return succeeded(args, io, format(MessageId::CliRenamedFormat, volume, entry.path, args.positionals[2]));
}

int runReplace(const Args& args, Io& io)
{
    const std::string& volume = args.positionals[0];
    Session s(io, "replace", volume);
    const EntryFacts entry = entryFacts(s, args.positionals[1]);
    checkReadableFile("replace", args.positionals[2]);
    s.host.openFiles.push_back(args.positionals[2]);
    if (!s.doc.replaceEntryFromFile(entry.index, false))
        return exitFailure;
    return succeeded(args, io, format(MessageId::CliReplacedFormat, volume, entry.path, args.positionals[2], entry.size));
}

int runReplaceImage(const Args& args, Io& io)
{
    const dxt::Quality quality = qualityOf(args);
    const std::string& volume = args.positionals[0];
    Session s(io, "replace-image", volume);
    const EntryFacts entry = entryFacts(s, args.positionals[1]);
    checkReadableFile("replace-image", args.positionals[2]);
    s.host.assumeYes = args.has("--yes");
    s.host.quiet = args.has("--quiet");
    if (!s.doc.openFile(args.positionals[2], false))
        return exitFailure;
    if (s.doc.replaceEntryFromImage(entry.index, quality))
        return succeeded(args, io,
                         format(MessageId::CliReplacedImageFormat, volume, entry.path, args.positionals[2], entry.size));
    return s.host.previewOnly ? exitOk : exitFailure;
}

int runSetComment(const Args& args, Io& io)
{
    Session s(io, "set-comment", args.positionals[0]);
    if (!s.doc.setVolumeComment(args.positionals[1]))
        return exitFailure;
    const auto latin1 = korvix::utf8ToLatin1(args.positionals[1]);
    return succeeded(args, io,
                     format(MessageId::CliCommentWrittenFormat, args.positionals[0],
                            static_cast<unsigned long long>(latin1 ? latin1->size() : args.positionals[1].size())));
}

int runSetTimestamp(const Args& args, Io& io)
{
    const auto t = parseTimeFields(args.positionals[1]);
    if (!t)
        throw UsageError(tr(MessageId::CliTimestampWants));
    Session s(io, "set-timestamp", args.positionals[0]);
    if (!s.doc.setVolumeTime(*t))
        return exitFailure;
    // The time as the volume keeps it, in two-second steps.
    const auto stored = korvix::fromDosTimestamp(korvix::toDosTimestamp(*t));
    return succeeded(args, io,
                     format(MessageId::CliTimestampWrittenFormat, args.positionals[0],
                            stored ? korvix::formatDateTime(*stored) : args.positionals[1]));
}

}  // namespace

CommandSpec renameCommand()
{
    return {"rename", "VOLUME ENTRY NEWNAME", tr(MessageId::CliRenameSummary), tr(MessageId::CliRenameDescription),
            3, 3, {quietOption()}, runRename};
}

CommandSpec replaceCommand()
{
    return {"replace", "VOLUME ENTRY FILE", tr(MessageId::CliReplaceSummary), tr(MessageId::CliReplaceDescription), 3, 3,
            {quietOption()}, runReplace};
}

CommandSpec replaceImageCommand()
{
    return {"replace-image", "VOLUME ENTRY IMAGE", tr(MessageId::CliReplaceImageSummary),
            tr(MessageId::CliReplaceImageDescription), 3, 3,
            {{"--yes", "", tr(MessageId::CliOptionYes)}, qualityOption(), quietOption()}, runReplaceImage};
}

CommandSpec setCommentCommand()
{
    return {"set-comment", "VOLUME TEXT", tr(MessageId::CliSetCommentSummary), "", 2, 2, {quietOption()},
            runSetComment};
}

CommandSpec setTimestampCommand()
{
    return {"set-timestamp", "VOLUME TIME", tr(MessageId::CliSetTimestampSummary), tr(MessageId::CliSetTimestampDescription),
            2, 2, {quietOption()},
            runSetTimestamp};
}

}  // namespace cli
