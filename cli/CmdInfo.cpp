// info FILE [--json]: what a file is and its main facts.
#include "Cli.h"
#include "JsonOut.h"
#include "common/Text.h"
#include "VolumeCatalogue.h"

#include <ostream>

namespace cli {

using namespace korvix;

namespace {

void printVolumeInfo(const VolumeCatalogue& vol, std::ostream& out)
{
    const auto& h = vol.header();
    const auto when = fromDosTimestamp(h.timestamp);
    out << "type:       QORB volume\n"
        << "comment:    " << latin1ToUtf8(vol.comment()) << '\n'
        << "signature:  " << h.signature << '\n'
        << "entries:    " << h.entryCount << '\n'
        << "files:      " << h.fileCount << '\n'
        << "timestamp:  " << h.timestamp << " (" << (when ? formatDateTime(*when) : "not a valid date") << ")\n";
}

// The kind of file decides what is shown: textures and images are recognised by
// their first bytes; everything else is opened as a volume.
int runInfo(const Args& args, Io& io)
{
    VolumeCatalogue vol(args.positionals[0]);
    if (args.has("--json"))
        writeVolumeJson(vol, false, io.out);
    else
        printVolumeInfo(vol, io.out);
    return exitOk;
}

}  // namespace

CommandSpec infoCommand()
{
    return {"info", "FILE [--json]", "show the facts of a volume",
            "For a volume: comment, signature, entry and file counts and the timestamp\n"
            "(raw, and as a date).",
            1, 1, {{"--json", "", "print JSON"}}, runInfo};
}

}  // namespace cli
