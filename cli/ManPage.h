// The manual page of korvix-cli in roff, written from the command tables.
#pragma once

#include <iosfwd>

namespace cli {

void writeManPage(std::ostream& out);

}  // namespace cli
