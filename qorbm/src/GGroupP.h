// What the library's own files share beyond the public header; nothing outside
// qorbm/ includes it.
#pragma once

#include "qorbm.h"

namespace tarvos {

// Normalises a raw 256-byte comment block into `out` (257 bytes, zero-terminated):
// a block starting with 0x1A is empty, trailing 0x1A fill is cut.
void normaliseComment(const unsigned char* block, char* out);

}  // namespace tarvos
