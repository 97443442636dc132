// The volume edits, run through the document as the desktop program runs them:
// rename, replace, replace-image, set-comment, set-timestamp.
#include "Cli.h"
#include "CliHost.h"
#include "Language.h"
#include "document/SafeName.h"
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

// The document with the volume open for writing, and the entry's catalogue index.
struct Session {
    CliHost host;
    CKestrelDoc doc;
    Session(Io& io, const std::string& stage, const std::string& volume) : host(io, stage, volume), doc(host)
    {
        if (!doc.openVolume(volume, volume))
            throw Failure(stage, volume, tr(MessageId::CliCannotOpenVolume));
    }
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

int entryIndex(const std::string& volume, const std::string& spec)
{
    return CliVolume(volume).resolve(spec);
}

// A new name that pack and extract-all would refuse is refused here too: a name
// that cannot be extracted safely, or one that a lookup could never tell apart
// from a sibling's (lookups ignore case). The document checks length and characters.
void checkNewName(const CliVolume& catalogue, int entry, const std::string& newName)
{
    const auto latin1 = korvix::utf8ToLatin1(newName);
    if (!latin1 || latin1->empty() || latin1->size() > 64)
        return;
    if (!isSafeName(*latin1))
        throw Failure("rename", catalogue.path(), format(MessageId::CliRenameUnsafeFormat, newName));
    if (latin1->back() == ' ')
        throw Failure("rename", catalogue.path(), format(MessageId::CliNameEndsWithBlankFormat, newName));
    const std::string folded = korvix::foldLatin1(*latin1);
    for (const int sibling : catalogue.catalogue().childrenOf(catalogue.catalogue().reportedParent(entry)))
        if (sibling != entry && korvix::foldLatin1(catalogue.name(sibling)) == folded)
            throw Failure("rename", catalogue.path(), format(MessageId::CliNameTakenFormat, catalogue.pathOf(sibling)));
}

int runRename(const Args& args, Io& io)
{
    const std::string& volume = args.positionals[0];
    int index = 0;
    {
        const CliVolume catalogue(volume);
        index = catalogue.resolve(args.positionals[1]);
        checkNewName(catalogue, index, args.positionals[2]);
    }
    Session s(io, "rename", volume);
    return s.doc.renameEntry(index, args.positionals[2], false) ? exitOk : exitFailure;
}

int runReplace(const Args& args, Io& io)
{
    const std::string& volume = args.positionals[0];
    const int index = entryIndex(volume, args.positionals[1]);
    checkReadableFile("replace", args.positionals[2]);
    Session s(io, "replace", volume);
    s.host.openFiles.push_back(args.positionals[2]);
    return s.doc.replaceEntryFromFile(index, false) ? exitOk : exitFailure;
}

int runReplaceImage(const Args& args, Io& io)
{
    const dxt::Quality quality = qualityOf(args);
    const std::string& volume = args.positionals[0];
    const int index = entryIndex(volume, args.positionals[1]);
    checkReadableFile("replace-image", args.positionals[2]);
    Session s(io, "replace-image", volume);
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
