#include "ManPage.h"

#include "Cli.h"

#include <ostream>
#include <sstream>

namespace cli {

namespace {

// Text for roff: a leading dot or quote would start a request, and a backslash
// an escape; hyphens in options are written as \- so they copy as ASCII.
std::string roff(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

}  // namespace

void writeManPage(std::ostream& out)
{
    out << ".TH KORVIX\\-CLI 1 \"\" \"korvix-cli " << versionText() << "\" \"User Commands\"\n"
        << ".SH NAME\nkorvix\\-cli \\- inspect, extract, edit and pack QORB volumes; convert KTEX textures and images\n"
        << ".SH SYNOPSIS\n.B korvix\\-cli\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIARGS\\fR...]\n.br\n"
        << ".B korvix\\-cli \\-\\-version\n.br\n.B korvix\\-cli\n.I COMMAND\n.B \\-\\-help\n"
        << ".SH DESCRIPTION\n"
        << "korvix\\-cli works on the data files of the game Tarvos: QORB archive volumes (.qrb, .mod) and\n"
        << "KTEX textures (.tex). Volume edits run the same code as the desktop program and write in place;\n"
        << "every file it writes goes to a temporary file beside the target first, and is on disk when the\n"
        << "command exits 0 (extract\\-all and pack sync once for the whole run).\n"
        << ".PP\n"
        << "extract\\-all, pack and convert with several inputs show a progress line on standard error while it\n"
        << "is a terminal; a writing command that succeeds says there in one line what it wrote.\n"
        << "\\-\\-progress shows the line also when standard error is not a terminal; \\-\\-quiet silences the\n"
        << "line and these summaries, never the errors or standard output.\n"
        << ".SH COMMANDS\n";
    for (const CommandSpec& c : commands()) {
        out << ".SS " << roff(c.name) << "\n.B " << roff(usageLine(c)) << "\n.PP\n" << roff(c.summary) << ".\n";
        if (!c.description.empty())
            out << ".PP\n" << roff(c.description) << '\n';
        for (const OptionSpec& o : c.options) {
            out << ".TP\n.B " << roff(o.name);
            if (!o.valueName.empty())
                out << " \" \" \\fI" << roff(o.valueName) << "\\fR";
            out << '\n' << roff(o.help) << (o.repeatable ? " (repeatable)" : "") << '\n';
        }
    }
    out << ".SH EXIT STATUS\n0 success, 1 failure, 2 usage error.\n"
        << ".SH ENVIRONMENT\n"
        << ".TP\n.BR LC_ALL \", \" LC_MESSAGES \", \" LANG\n"
        << "The first of these that is set and not empty chooses the language of the messages:\n"
        << "German when it names German (de, de_DE.UTF\\-8, ...), English otherwise.\n"
        << ".TP\n.B SOURCE_DATE_EPOCH\n"
        << "Seconds since 1970\\-01\\-01 UTC: the timestamp pack gives a volume when no \\-\\-timestamp is given,\n"
        << "so that the same tree packs into the same bytes.\n"
        << ".SH DIAGNOSTICS\nErrors go to standard error as\n.IR \"korvix\\-cli: stage: file: detail\" ;\n"
        << "\\-\\-json output goes to standard output only.\n";
}

}  // namespace cli
