#include "ProgressLine.h"

#include "Language.h"

#include "common/Text.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

using korvix::MessageId;

namespace {

constexpr auto REDRAW_PERIOD = std::chrono::milliseconds(100);

// "0:07", "12:34", "1:02:03".
std::string clockText(double seconds)
{
    const auto s = static_cast<unsigned long long>(std::min(seconds, 359999.0) + 0.5);
    char text[24];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%llu:%02llu", s / 60, s % 60);
    return text;
}

std::size_t terminalWidth(const Io& io)
{
    winsize size{};
    if (!io.errTerminal || ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

}  // namespace

std::string byteText(std::uint64_t bytes)
{
    return korvix::byteText(bytes, language() == Language::German ? korvix::NumberStyle::German
                                                                   : korvix::NumberStyle::English);
}

std::string progressText(const ProgressCounts& c, double seconds, std::size_t width, MessageId itemsFormat)
{
    // The share done: by bytes where their total is known, else by count.
    double fraction = -1;
    if (c.bytesTotal > 0)
        fraction = static_cast<double>(c.bytes) / static_cast<double>(c.bytesTotal);
    else if (c.total > 0)
        fraction = static_cast<double>(c.done) / static_cast<double>(c.total);
    fraction = std::min(fraction, 1.0);

    std::string line;
    if (fraction >= 0) {
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%  ", static_cast<int>(fraction * 100));
        line += percent;
    }
    line += format(itemsFormat, std::to_string(c.done), std::to_string(c.total));
    line += "  " + byteText(c.bytes);
    if (c.bytesTotal > 0)
        line += " / " + byteText(c.bytesTotal);
    // A rate needs a moment of work to mean anything.
    if (seconds >= 0.25) {
        if (c.bytes > 0 || c.bytesTotal > 0) {
            line += "  " + byteText(static_cast<std::uint64_t>(static_cast<double>(c.bytes) / seconds)) + "/s";
        } else {
            char rate[32];
            std::snprintf(rate, sizeof rate, "%.1f", static_cast<double>(c.done) / seconds);
            line += "  " + format(MessageId::CliProgressItemRateFormat, std::string(rate));
        }
        if (fraction > 0 && fraction < 1)
            line += "  " + format(MessageId::CliProgressLeftFormat, clockText(seconds * (1 - fraction) / fraction));
    }
    // The last column stays free, so that a full line does not wrap.
    if (width > 1 && line.size() > width - 1)
        line.resize(width - 1);
    return line;
}

OptionSpec progressOption()
{
    return {"--progress", "", tr(MessageId::CliOptionProgress)};
}

OptionSpec quietOption()
{
    return {"--quiet", "", tr(MessageId::CliOptionQuiet)};
}

ProgressLine::ProgressLine(Io& io, const Args& args, MessageId itemsFormat)
    : m_io(io),
      m_bShown(!args.has("--quiet") && (io.errTerminal || args.has("--progress"))),
      m_itemsFormat(itemsFormat),
      m_start(std::chrono::steady_clock::now())
{
}

ProgressLine::~ProgressLine()
{
    clear();
}

void ProgressLine::update(const ProgressCounts& counts)
{
    if (!m_bShown)
        return;
    m_counts = counts;
    const auto now = std::chrono::steady_clock::now();
    if (m_bDrawnOnce && now - m_lastDrawn < REDRAW_PERIOD)
        return;
    m_lastDrawn = now;
    m_bDrawnOnce = true;
    draw();
}

void ProgressLine::draw()
{
    const double seconds = std::chrono::duration<double>(m_lastDrawn - m_start).count();
    std::string line = "\r" + progressText(m_counts, seconds, terminalWidth(m_io), m_itemsFormat);
    const std::size_t length = line.size() - 1;
    // Blanks over what is left of a longer line before; no terminal codes, so
    // the line reads the same in a file.
    if (length < m_nDrawnLength)
        line.append(m_nDrawnLength - length, ' ');
    m_io.err << line << std::flush;
    m_nDrawnLength = length;
}

void ProgressLine::clear()
{
    if (!m_bShown || m_nDrawnLength == 0)
        return;
    m_io.err << '\r' << std::string(m_nDrawnLength, ' ') << '\r' << std::flush;
    m_nDrawnLength = 0;
}

}  // namespace cli
