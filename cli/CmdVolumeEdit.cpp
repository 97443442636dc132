// The volume edits, run through the document as the desktop program runs them:
// rename, replace, replace-image, set-comment, set-timestamp.
#include "Cli.h"
#include "CliHost.h"
#include "Language.h"
#include "TimeArgument.h"
#include "CliVolume.h"
#include "ConvertOutput.h"

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

int runRename(const Args& args, Io& io)
{
    Session s(io, "rename", args.positionals[0]);
    const int index = s.entry(args.positionals[1]);
    return s.doc.renameEntry(index, args.positionals[2], false) ? exitOk : exitFailure;
}

int runReplace(const Args& args, Io& io)
{
    Session s(io, "replace", args.positionals[0]);
    const int index = s.entry(args.positionals[1]);
    checkReadableFile("replace", args.positionals[2]);
    s.host.openFiles.push_back(args.positionals[2]);
    return s.doc.replaceEntryFromFile(index, false) ? exitOk : exitFailure;
}

int runReplaceImage(const Args& args, Io& io)
{
    const dxt::Quality quality = qualityOf(args);
    Session s(io, "replace-image", args.positionals[0]);
    const int index = s.entry(args.positionals[1]);
    checkReadableFile("replace-image", args.positionals[2]);
    s.host.assumeYes = args.has("--yes");
    if (!s.doc.openFile(args.positionals[2], false))
        return exitFailure;
    if (s.doc.replaceEntryFromImage(index, quality))
        return exitOk;
    return s.host.previewOnly ? exitOk : exitFailure;
}

int runSetComment(const Args& args, Io& io)
{
    Session s(io, "set-comment", args.positionals[0]);
    return s.doc.setVolumeComment(args.positionals[1]) ? exitOk : exitFailure;
}

int runSetTimestamp(const Args& args, Io& io)
{
    const auto t = parseTimeFields(args.positionals[1]);
    if (!t)
        throw UsageError(tr(MessageId::CliTimestampWants));
    Session s(io, "set-timestamp", args.positionals[0]);
    return s.doc.setVolumeTime(*t) ? exitOk : exitFailure;
}

}  // namespace

CommandSpec renameCommand()
{
    return {"rename", "VOLUME ENTRY NEWNAME", tr(MessageId::CliRenameSummary), tr(MessageId::CliRenameDescription),
            3, 3, {}, runRename};
}

CommandSpec replaceCommand()
{
    return {"replace", "VOLUME ENTRY FILE", tr(MessageId::CliReplaceSummary), tr(MessageId::CliReplaceDescription), 3, 3,
            {}, runReplace};
}

CommandSpec replaceImageCommand()
{
    return {"replace-image", "VOLUME ENTRY IMAGE", tr(MessageId::CliReplaceImageSummary),
            tr(MessageId::CliReplaceImageDescription), 3, 3,
            {{"--yes", "", tr(MessageId::CliOptionYes)}, qualityOption()}, runReplaceImage};
}

CommandSpec setCommentCommand()
{
    return {"set-comment", "VOLUME TEXT", tr(MessageId::CliSetCommentSummary), "", 2, 2, {},
            runSetComment};
}

CommandSpec setTimestampCommand()
{
    return {"set-timestamp", "VOLUME TIME", tr(MessageId::CliSetTimestampSummary), tr(MessageId::CliSetTimestampDescription),
            2, 2, {},
            runSetTimestamp};
}

}  // namespace cli
