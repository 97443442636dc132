// The one rule for entry names: what a volume can store and give back, what
// extract-all can write as a file without leaving its directory, and what a
// lookup, which ignores case, can still tell apart from the siblings. The
// desktop program's rename (its dialog while the user types, too), korvix-cli
// rename and pack all ask here; each front end words a refusal from its
// message id.
#pragma once

#include "common/MessageTable.h"
#include "document/EntryCatalogue.h"

#include <string>
#include <string_view>

class EntryNameRule {
public:
    static constexpr std::size_t MAX_LENGTH = 64;

    // Why a name is refused, in the order the rule tests.
    enum class Refusal {
        None,
        Characters,      // not valid UTF-8, or a character outside ISO-8859-1
        Empty,
        TooLong,         // more than 64 characters
        TrailingBlank,   // readers cut trailing blanks: the name would not come back
        Separator,       // '/' or '\\'
        DotName,         // "." or ".."
        NotExtractable,  // a drive colon, a zero character or a device name (CON, NUL, COM1, ...)
        Taken,           // a sibling has the name, without regard to case
    };

    struct Verdict {
        Refusal refusal = Refusal::None;
        std::string latin1;  // the name as the volume stores it, once it converted
        int sibling = -1;    // Taken: the catalogue index of the sibling that has it
        bool ok() const { return refusal == Refusal::None; }
    };

    // A name on its own, as the volume stores it (ISO-8859-1): everything but
    // the siblings. Characters is never the answer here.
    static Refusal check(std::string_view latin1);
    // A name typed by the user or given on the command line (UTF-8), on its own.
    static Verdict checkUtf8(std::string_view utf8);
    // A new name for entry `index` of `catalogue` (UTF-8): the name on its own,
    // then against the other entries of its directory. The entry's own name in
    // another case is allowed.
    static Verdict checkRename(const EntryCatalogue& catalogue, int index, std::string_view utf8);

    // Whether two stored names are one name to a lookup.
    static bool sameName(std::string_view latin1A, std::string_view latin1B);

    // True when a stored name can be written as one file name inside a
    // directory without leaving it: not empty, "." or "..", no separator,
    // drive colon or zero byte, and no device name (which stays a device on
    // some systems whatever its extension). What extract-all writes.
    static bool isSafeFileName(std::string_view latin1);

    // The message that words a refusal; Taken's is a ...Format text that takes
    // the sibling's name.
    static korvix::MessageId message(Refusal refusal);
    // The refusal in words in `language`; `takenBy` (UTF-8) names the sibling
    // for Taken. Empty for None.
    static std::string describe(Refusal refusal, std::string_view takenBy, korvix::Language language);
    // The verdict in words in the process-wide language, naming the sibling
    // from `catalogue` for Taken.
    static std::string describe(const Verdict& verdict, const EntryCatalogue& catalogue);
};
