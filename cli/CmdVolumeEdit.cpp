// The volume edits, run through the document as the desktop program runs them:
// rename, replace, replace-image, set-comment, set-timestamp.
#include "Cli.h"
#include "CliHost.h"
#include "Language.h"
#include "SafeName.h"
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

namespace {

// The document with the volume open for writing, and the entry's catalogue index.
struct Session {
    CliHost host;
    CKestrelDoc doc;
    Session(Io& io, const std::string& stage, const std::string& volume) : host(io, stage, volume), doc(host)
    {
        if (!doc.openVolume(volume, volume))
            throw Failure(stage, volume, "cannot open the volume");
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
        throw Failure(stage, path, tr("is a directory, not a file"));
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure(stage, path, std::string(tr("cannot open the file")) + ": " + std::generic_category().message(errno));
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
        throw Failure("rename", catalogue.path(),
                      "'" + newName + "' could not be extracted safely (a separator, '.', '..', ':' or a device name)");
    if (latin1->back() == ' ')
        throw Failure("rename", catalogue.path(), "'" + newName + "' ends with a blank, which a volume name cannot keep");
    const std::string folded = korvix::foldLatin1(*latin1);
    for (const int sibling : catalogue.catalogue().childrenOf(catalogue.catalogue().reportedParent(entry)))
        if (sibling != entry && korvix::foldLatin1(catalogue.name(sibling)) == folded)
            throw Failure("rename", catalogue.path(),
                          "'" + catalogue.pathOf(sibling) + "' is already in the directory (names are matched without regard to case)");
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
        throw UsageError("the timestamp wants \"YYYY-MM-DD HH:MM:SS\", YYYY-MM-DDTHH:MM:SS or now");
    Session s(io, "set-timestamp", args.positionals[0]);
    return s.doc.setVolumeTime(*t) ? exitOk : exitFailure;
}

}  // namespace

CommandSpec renameCommand()
{
    return {"rename", "VOLUME ENTRY NEWNAME", "rename an entry in place",
            "NEWNAME has 1 to 64 characters of ISO-8859-1; the name field is filled with blanks.\n"
            "Refused as pack and extract-all refuse them: separators, '.', '..', a trailing\n"
            "blank, and a name already in the directory (without regard to case).",
            3, 3, {}, runRename};
}

CommandSpec replaceCommand()
{
    return {"replace", "VOLUME ENTRY FILE", "replace an entry's bytes by a file of the same size",
            "The old bytes are kept until the new ones are verified on disk.", 3, 3, {}, runReplace};
}

CommandSpec replaceImageCommand()
{
    return {"replace-image", "VOLUME ENTRY IMAGE",
            "replace a TGA or TEX entry by an image, converted to the entry's own format and size",
            "IMAGE is a texture or an image file; it is resized to the entry's size and written\n"
            "with the entry's format and number of maps. The replacement must come out at the\n"
            "entry's exact size. Without --yes the conversion is shown and nothing is written.\n"
            "--quality chooses the block compressor's setting for a DXT1 or DXT3 entry.",
            3, 3, {{"--yes", "", "confirm the replacement"}, qualityOption()}, runReplaceImage};
}

CommandSpec setCommentCommand()
{
    return {"set-comment", "VOLUME TEXT", "rewrite the volume's comment (up to 256 characters)", "", 2, 2, {},
            runSetComment};
}

CommandSpec setTimestampCommand()
{
    return {"set-timestamp", "VOLUME TIME", "rewrite the volume's timestamp",
            "TIME is \"YYYY-MM-DD HH:MM:SS\", YYYY-MM-DDTHH:MM:SS or now, from 1980-01-01 to\n"
            "2107-12-31; seconds are stored in steps of two.", 2, 2, {},
            runSetTimestamp};
}

}  // namespace cli
