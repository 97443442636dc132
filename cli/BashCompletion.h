// A bash completion script for korvix-cli, written from the command tables:
// the commands, each command's options, and the fixed values an option takes.
#pragma once

#include <iosfwd>

namespace cli {

void writeBashCompletion(std::ostream& out);

}  // namespace cli
