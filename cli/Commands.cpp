#include "Cli.h"

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

const std::vector<CommandSpec>& commands()
{
    static const std::vector<CommandSpec> table = {
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
    };
    return table;
}

}  // namespace cli
