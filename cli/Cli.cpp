#include "Cli.h"

#include <algorithm>
#include <iomanip>
#include <ostream>

namespace cli {

std::optional<std::string> Args::value(const std::string& name) const
{
    const auto it = options.find(name);
    if (it == options.end())
        return std::nullopt;
    return it->second;
}

void reportError(Io& io, const std::string& stage, const std::string& file, const std::string& detail)
{
    io.err << "korvix-cli: " << stage << ": ";
    if (!file.empty())
        io.err << file << ": ";
    io.err << detail << '\n';
}

namespace {

void printProgramHelp(std::ostream& out)
{
    out << "Usage: korvix-cli COMMAND [ARGS...]\n"
           "Inspect, extract, edit and pack QORB volumes; convert textures and images.\n\n"
           "Commands:\n";
    for (const CommandSpec& c : commands())
        out << "  " << std::left << std::setw(14) << c.name << c.summary << '\n';
    out << "\nRun 'korvix-cli COMMAND --help' for the options of a command.\n";
}

void printCommandHelp(const CommandSpec& c, std::ostream& out)
{
    out << "Usage: korvix-cli " << c.name << ' ' << c.synopsis << "\n" << c.summary << "\n";
    if (!c.description.empty())
        out << '\n' << c.description << '\n';
    out << "\nOptions:\n";
    for (const OptionSpec& o : c.options) {
        const std::string head = o.name + (o.valueName.empty() ? "" : " " + o.valueName);
        out << "  " << std::left << std::setw(24) << head << o.help << '\n';
    }
    out << "  " << std::left << std::setw(24) << "-h, --help" << "show this help\n";
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
            throw UsageError("unknown option '" + name + "'");
        if (spec->valueName.empty()) {
            if (inlineValue)
                throw UsageError("option '" + name + "' takes no value");
            args.options[name] = "";
        } else if (inlineValue) {
            args.options[name] = *inlineValue;
        } else {
            if (i + 1 >= words.size())
                throw UsageError("option '" + name + "' needs a value " + spec->valueName);
            args.options[name] = words[++i];
        }
        args.sequence.emplace_back(name, args.options[name]);
    }
    if (args.positionals.size() < c.minPositionals)
        throw UsageError("missing arguments: " + c.synopsis);
    if (args.positionals.size() > c.maxPositionals)
        throw UsageError("too many arguments: " + c.synopsis);
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
    const auto& table = commands();
    const auto cmd = std::find_if(table.begin(), table.end(), [&](const CommandSpec& c) { return c.name == name; });
    if (cmd == table.end()) {
        io.err << "korvix-cli: unknown command '" << name << "'; run 'korvix-cli --help'\n";
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
        io.err << "korvix-cli: " << cmd->name << ": " << e.what() << "\nRun 'korvix-cli " << cmd->name
               << " --help' for usage.\n";
        return exitUsage;
    } catch (const Failure& e) {
        reportError(io, e.stage, e.file, e.what());
        return e.exitCode;
    } catch (const std::bad_alloc&) {
        reportError(io, cmd->name, "", "out of memory");
        return exitFailure;
    }
}

}  // namespace cli
