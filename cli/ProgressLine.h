// The progress of a long command as one line on standard error, redrawn in
// place: done and total count, bytes, rate and time left. A command only feeds
// it counts; the line decides when to draw (at most ten times a second) and
// what fits the terminal.
//
// It is shown while standard error is a terminal, or always with --progress,
// and never with --quiet (progressOption() and quietOption() are the table
// entries of the two). Text a command prints while the line is shown, on
// either stream, goes after clear(), so that it does not land in the middle of
// the line; the next update draws the line again below it.
#pragma once

#include "Cli.h"

#include "common/MessageTable.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace cli {

struct ProgressCounts {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    std::uint64_t bytes = 0;
    std::uint64_t bytesTotal = 0;  // 0: not known beforehand (the bytes done are still shown)
};

// The line's text after `seconds` of work, at most `width` characters (0: no
// limit). `itemsFormat` names the items ("%s/%s files").
std::string progressText(const ProgressCounts& counts, double seconds, std::size_t width,
                         korvix::MessageId itemsFormat = korvix::MessageId::CliProgressFilesFormat);

// "1.4 MB", "931 kB", "12 B": decimal units, one decimal place from kB up, with
// the decimal sign of the language.
std::string byteText(std::uint64_t bytes);

OptionSpec progressOption();
OptionSpec quietOption();

class ProgressLine {
public:
    // Shown when standard error is a terminal or --progress is given, unless --quiet.
    ProgressLine(Io& io, const Args& args, korvix::MessageId itemsFormat = korvix::MessageId::CliProgressFilesFormat);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool shown() const { return m_bShown; }
    // The counts so far; draws when a tenth of a second has passed since the
    // last drawing (the first update draws at once).
    void update(const ProgressCounts& counts);
    // Takes the line off the screen, if it is drawn.
    void clear();

private:
    void draw();

    Io& m_io;
    bool m_bShown;
    korvix::MessageId m_itemsFormat;
    ProgressCounts m_counts;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDrawn;
    bool m_bDrawnOnce = false;
    std::size_t m_nDrawnLength = 0;  // what is on the screen now; 0 when nothing
};

}  // namespace cli
