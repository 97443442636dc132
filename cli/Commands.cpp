#include "Cli.h"
#include "Language.h"

namespace cli {

// One line per subcommand; each lives in a file of its own.
CommandSpec listCommand();
CommandSpec infoCommand();
CommandSpec extractCommand();
CommandSpec extractAllCommand();
CommandSpec packCommand();
CommandSpec convertCommand();
CommandSpec editCommand();
CommandSpec renameCommand();
CommandSpec replaceCommand();
CommandSpec replaceImageCommand();
CommandSpec setCommentCommand();
CommandSpec setTimestampCommand();
CommandSpec updateCommand();
CommandSpec diffCommand();

const std::vector<CommandSpec>& commands()
{
    // One table per language: summaries and option help are texts of the message table.
    static std::vector<CommandSpec> tables[2];
    std::vector<CommandSpec>& table = tables[language() == Language::German ? 1 : 0];
    if (table.empty()) {
        table = {
            listCommand(),
            infoCommand(),
            extractCommand(),
            extractAllCommand(),
            packCommand(),
            convertCommand(),
            editCommand(),
            renameCommand(),
            replaceCommand(),
            replaceImageCommand(),
            setCommentCommand(),
            setTimestampCommand(),
            updateCommand(),
            diffCommand(),
        };
    }
    return table;
}

}  // namespace cli
