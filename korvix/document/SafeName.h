// The one rule for entry names that become file names: extraction writes only
// names that pass it, and pack and rename refuse names that fail it.
#pragma once

#include <string_view>

// True when an entry name (ISO-8859-1) can be used as one file name inside a
// directory without leaving it: no separators, drive colons or zero bytes, not
// empty, "." or "..", and no device name (CON, NUL, COM1, ...).
bool isSafeName(std::string_view latin1);
