#include "Cli.h"
#include "Language.h"

#include <qorbm.h>

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace cli {

using korvix::MessageId;

std::optional<std::string> Args::value(const std::string& name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> Args::values(const std::string& name) const
{
    const auto it = repeated.find(name);
    return it == repeated.end() ? std::vector<std::string>{} : it->second;
}

std::string versionText()
{
    return QORBM_VERSION_STRING;
}

std::string usageLine(const CommandSpec& command)
{
    std::string line = "korvix-cli " + command.name;
    for (const OptionSpec& o : command.options) {
        line += " [" + o.name + (o.valueName.empty() ? "" : " " + o.valueName) + "]";
        if (o.repeatable)
            line += "...";
    }
    if (!command.synopsis.empty())
        line += " " + command.synopsis;
    return line;
}

void reportError(Io& io, const std::string& stage, const std::string& file, const std::string& detail)
{
    io.err << "korvix-cli: " << stage << ": ";
    if (!file.empty())
        io.err << file << ": ";
    io.err << detail << '\n';
}

namespace {

constexpr std::size_t lineWidth = 79;

// Words of TEXT laid out in lines of at most WIDTH characters, each line after
// the first indented by INDENT.
std::string wrap(const std::string& text, std::size_t indent, std::size_t first, std::size_t width = lineWidth)
{
    std::istringstream words(text);
    std::string word, out;
    std::size_t column = first;
    bool lineEmpty = true;
    while (words >> word) {
        if (!lineEmpty && column + 1 + word.size() > width) {
            out += '\n' + std::string(indent, ' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineEmpty = false;
    }
    return out;
}

// Two columns; a head too wide for the first column puts its help on the next line.
void printTwoColumns(std::ostream& out, const std::string& head, const std::string& help, std::size_t column)
{
    out << "  " << head;
    if (head.size() + 2 + 2 > column)
        out << '\n' << std::string(column, ' ');
    else
        out << std::string(column - 2 - head.size(), ' ');
    out << wrap(help, column, column) << '\n';
}

void printProgramHelp(std::ostream& out)
{
    const std::string usage = tr(MessageId::CliUsage);
    out << usage << "korvix-cli COMMAND [ARGS...]\n"
        << std::string(usage.size(), ' ') << "korvix-cli --version\n"
        << tr(MessageId::CliProgramSummary) << "\n\n"
        << tr(MessageId::CliCommands) << '\n';
    std::size_t column = 0;
    for (const CommandSpec& c : commands())
        column = std::max(column, c.name.size() + 4);
    for (const CommandSpec& c : commands())
        printTwoColumns(out, c.name, c.summary, column);
    out << '\n' << tr(MessageId::CliRunCommandHelp) << '\n';
}

void printCommandHelp(const CommandSpec& c, std::ostream& out)
{
    const std::string usage = tr(MessageId::CliUsage);
    out << usage << wrap(usageLine(c), usage.size() + 11 + c.name.size() + 1, usage.size()) << '\n' << c.summary
        << "\n";
    if (!c.description.empty())
        out << '\n' << c.description << '\n';
    out << '\n' << tr(MessageId::CliOptions) << '\n';
    constexpr std::size_t column = 26;
    for (const OptionSpec& o : c.options)
        printTwoColumns(out, o.name + (o.valueName.empty() ? "" : " " + o.valueName), o.help, column);
    printTwoColumns(out, "-h, --help", tr(MessageId::CliShowHelp), column);
}

Args parse(const CommandSpec& c, const std::vector<std::string>& words)
{
    Args args;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (optionsEnded || w.size() < 2 || w[0] != '-') {
            args.positionals.push_back(w);
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = w;
        std::optional<std::string> inlineValue;
        if (const auto eq = w.find('='); w.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = w.substr(0, eq);
            inlineValue = w.substr(eq + 1);
        }
        const auto spec = std::find_if(c.options.begin(), c.options.end(),
                                       [&](const OptionSpec& o) { return o.name == name; });
        if (spec == c.options.end())
            throw UsageError(format(MessageId::CliUnknownOptionFormat, name));
        if (spec->valueName.empty()) {
            if (inlineValue)
                throw UsageError(format(MessageId::CliTakesNoValueFormat, name));
            args.options[name] = "";
        } else {
            if (!inlineValue && i + 1 >= words.size())
                throw UsageError(format(MessageId::CliNeedsValueFormat, name, spec->valueName));
            const std::string value = inlineValue ? *inlineValue : words[++i];
            args.options[name] = value;
            args.repeated[name].push_back(value);
        }
        args.sequence.emplace_back(name, args.options[name]);
    }
    if (args.positionals.size() < c.minPositionals)
        throw UsageError(format(MessageId::CliMissingArgumentsFormat, c.synopsis));
    if (args.positionals.size() > c.maxPositionals)
        throw UsageError(format(MessageId::CliTooManyArgumentsFormat, c.synopsis));
    return args;
}

}  // namespace

int run(const std::vector<std::string>& arguments, Io& io)
{
    if (arguments.empty()) {
        printProgramHelp(io.err);
        return exitUsage;
    }
    const std::string& name = arguments[0];
    if (name == "-h" || name == "--help" || name == "help") {
        printProgramHelp(io.out);
        return exitOk;
    }
    if (name == "--version") {
        io.out << "korvix-cli " << versionText() << '\n';
        return exitOk;
    }
    const auto& table = commands();
    const auto cmd = std::find_if(table.begin(), table.end(), [&](const CommandSpec& c) { return c.name == name; });
    if (cmd == table.end()) {
        io.err << "korvix-cli: " << format(MessageId::CliUnknownCommandFormat, name) << '\n';
        return exitUsage;
    }
    const std::vector<std::string> words(arguments.begin() + 1, arguments.end());
    if (std::find_if(words.begin(), words.end(), [](const std::string& w) { return w == "-h" || w == "--help"; })
        != words.end()) {
        printCommandHelp(*cmd, io.out);
        return exitOk;
    }
    try {
        const Args args = parse(*cmd, words);
        return cmd->run(args, io);
    } catch (const UsageError& e) {
        const std::string hint = format(MessageId::CliUsageHintFormat, cmd->name);
        io.err << "korvix-cli: " << cmd->name << ": " << e.what() << '\n' << hint << '\n';
        return exitUsage;
    } catch (const Failure& e) {
        reportError(io, e.stage, e.file, e.what());
        return e.exitCode;
    } catch (const std::bad_alloc&) {
        reportError(io, cmd->name, "", tr(MessageId::CliOutOfMemory));
        return exitFailure;
    }
}

}  // namespace cli
