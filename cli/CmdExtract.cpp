// extract VOLUME ENTRY [-o OUT] and extract-all VOLUME DIR.
#include "Cli.h"
#include "Language.h"
#include "document/EntryNameRule.h"
#include "common/Text.h"
#include "CliVolume.h"
#include "ProgressLine.h"

#include "common/AtomicFile.h"
#include "document/Extraction.h"
#include "document/VolumeFailure.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace cli {

using namespace korvix;
using korvix::MessageId;

namespace {

void extractTo(CliVolume& vol, int e, const fs::path& target)
{
    vol.checkDataRange(e);
    try {
        AtomicFile file(target);
        vol.readData(e, [&](const unsigned char* data, std::size_t n) { file.write(data, n); });
        file.commit();
    } catch (const std::runtime_error& err) {
        if (dynamic_cast<const Failure*>(&err))
            throw;
        throw Failure("extract", target.string(), err.what());
    }
}

int runExtract(const Args& args, Io& io)
{
    CliVolume vol(args.positionals[0]);
    const int e = vol.resolve(args.positionals[1]);
    const std::string out = args.value("-o").value_or(latin1ToUtf8(vol.name(e)));
    if (out == "-") {
        vol.readData(e, [&](const unsigned char* data, std::size_t n) {
            io.out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
        });
        return exitOk;
    }
    if (!args.value("-o") && !EntryNameRule::isSafeFileName(vol.name(e)))
        throw Failure("extract", vol.path(), format(MessageId::CliUnsafeEntryNameFormat, latin1ToUtf8(vol.name(e))));
    vol.checkDataRange(e);
    std::error_code ec;
    if (!args.has("--force") && fs::exists(fs::symlink_status(out, ec)))
        throw Failure("extract", out, tr(korvix::MessageId::CliExistsUseForce));
    extractTo(vol, e, out);
    return exitOk;
}

// Extracts the tree below DIR with the core's engine. Entries whose names
// could escape DIR are refused one by one (with their subtrees); the rest is
// still extracted. The failures are listed at the end, with the count.
int runExtractAll(const Args& args, Io& io)
{
    CliVolume vol(args.positionals[0], true, CliVolume::Records::All);
    const fs::path root = args.positionals[1];
    const bool force = args.has("--force");
    ProgressLine progress(io, args);
    int failures = 0;

    ExtractionOptions options;
    options.progress = [&](const ExtractionProgress& p) {
        progress.update({p.filesDone, p.filesTotal, p.bytesDone, p.bytesTotal});
    };
    options.existing = [&](int, const fs::path& target) {
        if (force)
            return OverwriteAnswer::OverwriteAll;
        progress.clear();
        reportError(io, "extract-all", target.string(), tr(MessageId::CliExistsUseForce));
        ++failures;
        return OverwriteAnswer::Skip;
    };
    const ExtractionResult result = extractVolume(vol.group(), vol.catalogue(), root, options);
    progress.clear();

    bool runFailed = false;
    for (const ExtractionFailure& f : result.failures) {
        using Reason = ExtractionFailure::Reason;
        const bool entry = f.index >= 0;  // else the run as a whole
        const EntryRecord r = entry ? vol.record(f.index) : EntryRecord{};
        failures += entry ? 1 : 0;
        switch (f.reason) {
        case Reason::UnsafeName:
            reportError(io, "extract-all", vol.path(),
                        format(MessageId::CliEntryRefusedFormat, f.index, f.path, tr(MessageId::CliNameLeavesTarget)));
            break;
        case Reason::PathUnusable:
            reportError(io, "extract-all", vol.path(),
                        format(MessageId::CliEntryRefusedFormat, f.index, f.path,
                               format(MessageId::CliPathUnusableFormat, f.detail)));
            break;
        case Reason::LinkInTheWay:
            reportError(io, "extract-all", f.target.string(), tr(MessageId::CliLinkInTheWay));
            break;
        case Reason::NoDirectory:
            reportError(io, "extract-all", f.target.string(), tr(MessageId::CliCannotCreateDirectory));
            runFailed = runFailed || !entry;
            break;
        case Reason::DataOutsideVolume:
            reportError(io, "extract", vol.path(),
                        format(MessageId::CliEntryBeyondVolumeFormat, f.index,
                               entryRangeFailure(r, vol.group().fileSize(), tableLanguage())));
            break;
        case Reason::ReadFailed:
            reportError(io, "read", vol.path(),
                        format(MessageId::CliCannotReadBytesFormat, static_cast<unsigned long long>(r.size),
                               static_cast<unsigned long long>(r.offset)));
            break;
        case Reason::WriteFailed:
            reportError(io, "extract", f.target.string(), f.detail);
            break;
        case Reason::SyncFailed:
            reportError(io, "extract-all", f.target.string(), format(MessageId::CliCannotSyncFormat, f.detail));
            runFailed = true;
            break;
        }
    }
    if (failures > 0) {
        io.err << "korvix-cli: extract-all: "
               << format(failures == 1 ? MessageId::CliOneEntryNotExtracted : MessageId::CliEntriesNotExtractedFormat,
                         failures)
               << '\n';
    }
    if (failures > 0 || runFailed)
        return exitFailure;
    if (!args.has("--quiet"))
        io.err << format(MessageId::CliExtractedFormat, vol.path(), static_cast<unsigned long long>(result.filesWritten),
                         byteText(result.bytesWritten), root.string())
               << '\n';
    return exitOk;
}

}  // namespace

CommandSpec extractCommand()
{
    return {"extract", "VOLUME ENTRY", tr(MessageId::CliExtractSummary), tr(MessageId::CliExtractDescription),
            2, 2, {{"-o", "OUT", tr(MessageId::CliOptionOutput)}, {"--force", "", tr(MessageId::CliOptionForce)}},
            runExtract};
}

CommandSpec extractAllCommand()
{
    return {"extract-all", "VOLUME DIR", tr(MessageId::CliExtractAllSummary), tr(MessageId::CliExtractAllDescription),
            2, 2, {{"--force", "", tr(MessageId::CliOptionForceAll)}, progressOption(), quietOption()}, runExtractAll};
}

}  // namespace cli
