// Extraction of a volume's entries into a folder: the whole volume, one
// directory with the tree below it, or any list of entries. A directory is
// recreated with everything below it; a file is written whole or not at all.
// korvix-cli extract-all and the desktop program's exports run this one engine.
//
// How to use it:
//   ExtractionOptions options;
//   options.progress = [](const ExtractionProgress& p) { ... };    // optional
//   options.existing = [](int index, const fs::path& target) { return OverwriteAnswer::Skip; };
//   options.cancel = &cancelFlag;                                  // optional
//   ExtractionResult r = extractEntries(volume, catalogue, entries, folder, options);
//
// Names are checked with the one safe-name rule: an entry whose name could
// leave its folder is refused with everything below it and never written. A
// path the system cannot use (too long, say) refuses that entry and its tree,
// never the run. Each file goes to a temporary file beside its target and is
// renamed into place when complete, so a cancel, a full disk or a failed read
// leaves only complete files behind; the run pays for durability once at its
// end (SyncBatch), also when cancelled, so that what it left is on disk when
// the call returns (unless the options say the files need not last).
//
// Threads: the call runs on the caller's thread and may be any thread; the
// callbacks run on it too. The volume is read through `volume` and must not be
// used elsewhere while the call runs; the catalogue must not change. `cancel`
// may be set from any thread; the run stops before the next entry or the next
// megabyte.
#pragma once

#include "document/EntryCatalogue.h"

#include <qorbm.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The answer for a file that exists where an entry goes.
enum class OverwriteAnswer {
    Overwrite,     // replace this one
    OverwriteAll,  // replace this one and every later one without asking
    Skip,          // keep it; the entry is not written
    Cancel,        // end the run here
};

struct ExtractionProgress {
    std::uint64_t filesDone = 0;  // written, skipped or failed
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    // The file at hand: its path below the target folder (UTF-8), valid during the call.
    std::string_view current;
};

struct ExtractionFailure {
    enum class Reason {
        UnsafeName,         // the name could leave its folder; nothing below it is written
        PathUnusable,       // the system cannot use the path (detail: why); nothing below it either
        LinkInTheWay,       // a symbolic link stands where a directory goes
        NoDirectory,        // the directory cannot be made (index -1: the target folder)
        DataOutsideVolume,  // the entry's data reaches past the end of the volume
        ReadFailed,         // the entry's bytes could not be read
        WriteFailed,        // the file could not be written (detail: why); nothing of it is left
        SyncFailed,         // what was written could not be brought to disk (index -1; detail: why)
    };
    int index = -1;  // catalogue index; -1 for the run as a whole
    Reason reason = Reason::WriteFailed;
    std::string path;  // the entry's path in the volume (UTF-8)
    std::filesystem::path target;
    std::string detail;  // the system's reason, where it gives one
};

struct ExtractionResult {
    std::uint64_t filesWritten = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t filesSkipped = 0;  // existing files kept by the answer Skip
    std::vector<ExtractionFailure> failures;  // in the order met
    bool cancelled = false;
    bool ok() const { return failures.empty() && !cancelled; }
};

struct ExtractionOptions {
    // After every file and every megabyte of a large one; once before the first.
    std::function<void(const ExtractionProgress&)> progress;
    // Asked for a file that exists where an entry goes (not for a directory,
    // which is used as it is). Unset: Skip.
    std::function<OverwriteAnswer(int index, const std::filesystem::path& target)> existing;
    const std::atomic<bool>* cancel = nullptr;
    // Bring what the run wrote to disk before it returns. Files that live only
    // for a moment (dragged out of the desktop program, removed at its end)
    // need not pay for that.
    bool durable = true;
};

// Extracts `entries` (catalogue indices; directories with their trees) into
// `folder`, which is made if missing. An index outside the catalogue throws
// std::invalid_argument before anything is written.
ExtractionResult extractEntries(tarvos::GGroup& volume, const EntryCatalogue& catalogue, std::span<const int> entries,
                                const std::filesystem::path& folder, const ExtractionOptions& options = {});

// Every entry of the volume, the tree recreated below `folder`.
ExtractionResult extractVolume(tarvos::GGroup& volume, const EntryCatalogue& catalogue,
                               const std::filesystem::path& folder, const ExtractionOptions& options = {});
