#include "BashCompletion.h"

#include "Cli.h"

#include <ostream>

namespace cli {

namespace {

std::string joined(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

}  // namespace

void writeBashCompletion(std::ostream& out)
{
    std::vector<std::string> names;
    for (const CommandSpec& c : commands())
        names.push_back(c.name);

    out << "# bash completion for korvix-cli, written from its command tables.\n"
        << "_korvix_cli()\n{\n"
        << "    local cur prev words cword\n"
        << "    _init_completion || return\n"
        << "    if [[ $cword -eq 1 ]]; then\n"
        << "        COMPREPLY=($(compgen -W '" << joined(names) << " --help --version' -- \"$cur\"))\n"
        << "        return\n"
        << "    fi\n"
        << "    case ${words[1]} in\n";
    for (const CommandSpec& c : commands()) {
        std::vector<std::string> options{"--help"};
        out << "        " << c.name << ")\n            case $prev in\n";
        for (const OptionSpec& o : c.options) {
            options.push_back(o.name);
            if (o.valueName.empty())
                continue;
            out << "                " << o.name << ")\n";
            if (!o.choices.empty())
                out << "                    COMPREPLY=($(compgen -W '" << joined(o.choices) << "' -- \"$cur\"))\n";
            else if (o.valueName == "DIR")
                out << "                    _filedir -d\n";
            else if (o.valueName == "OUT" || o.valueName == "FILE")
                out << "                    _filedir\n";
            out << "                    return ;;\n";
        }
        out << "            esac\n"
            << "            if [[ $cur == -* ]]; then\n"
            << "                COMPREPLY=($(compgen -W '" << joined(options) << "' -- \"$cur\"))\n"
            << "            else\n"
            << "                _filedir\n"
            << "            fi\n"
            << "            ;;\n";
    }
    out << "    esac\n} &&\n    complete -F _korvix_cli korvix-cli\n";
}

}  // namespace cli
