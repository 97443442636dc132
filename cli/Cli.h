// The command-line front end: one option table per subcommand drives parsing
// and help. Exit codes: 0 success, 1 failure, 2 usage error. Errors go to the
// error stream as "korvix-cli: <stage>: <file>: <detail>"; --json output goes to
// the output stream only.
#pragma once

#include <iosfwd>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

constexpr int exitOk = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

struct OptionSpec {
    std::string name;       // "--json", "-o"
    std::string valueName;  // empty for a flag
    std::string help;
    std::vector<std::string> choices = {};  // the values a shell may complete; empty: any
    bool repeatable = false;                // given more than once, every value is kept
};

struct Args {
    std::vector<std::string> positionals;
    std::map<std::string, std::string> options;  // flags map to ""; a repeated option keeps its last value
    std::map<std::string, std::vector<std::string>> repeated;  // every value of a repeatable option
    // Every option in the order given, repeats included (edit runs its
    // operations in this order).
    std::vector<std::pair<std::string, std::string>> sequence;

    bool has(const std::string& name) const { return options.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;
};

struct Io {
    std::ostream& out;
    std::ostream& err;
    std::istream* in = nullptr;  // standard input, for '-' as an input file
    bool errTerminal = false;    // the error stream is a terminal: long commands show a progress line there
};

struct CommandSpec {
    std::string name;
    std::string synopsis;  // the positionals only, e.g. "VOLUME ENTRY"; the options come from the table
    std::string summary;
    std::string description;
    std::size_t minPositionals = 0;
    std::size_t maxPositionals = 0;
    std::vector<OptionSpec> options;
    int (*run)(const Args&, Io&) = nullptr;
};

// A failure with its stage and file; reported once by the dispatcher.
class Failure : public std::runtime_error {
public:
    Failure(std::string stage, std::string file, const std::string& detail, int exitCode = exitFailure)
        : std::runtime_error(detail), stage(std::move(stage)), file(std::move(file)), exitCode(exitCode) {}
    std::string stage;
    std::string file;
    int exitCode;
};

// A usage error: printed with a hint to --help, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

const std::vector<CommandSpec>& commands();

// "korvix-cli NAME [--opt VALUE]... POSITIONALS", every option of the table included.
std::string usageLine(const CommandSpec& command);

// The program's version, which is the library's.
std::string versionText();

// Runs the program with argv-style arguments (without the program name).
int run(const std::vector<std::string>& arguments, Io& io);

// Prints "korvix-cli: <stage>: <file>: <detail>" for failures that do not end the command.
void reportError(Io& io, const std::string& stage, const std::string& file, const std::string& detail);

}  // namespace cli
