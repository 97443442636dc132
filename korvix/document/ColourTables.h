// The contrast and gamma previews' lookup: each colour byte of a pixel through
// the 256-entry table of its channel, alpha copied.
#pragma once

#include <cstdint>

namespace colourtables {

// `count` pixels from `in` to `out` (which do not overlap): blue through tb,
// green through tg, red through tr; the alpha byte as it is.
using RowTable = void (*)(const std::uint8_t* in, std::uint8_t* out, int count, const std::uint8_t* tb,
                          const std::uint8_t* tg, const std::uint8_t* tr);

void rowScalar(const std::uint8_t* in, std::uint8_t* out, int count, const std::uint8_t* tb, const std::uint8_t* tg,
               const std::uint8_t* tr);
#if defined(__x86_64__)
// 16 pixels per step with the byte permutes of AVX-512 VBMI (a 128-entry
// lookup in one instruction); only where hasVbmi().
void rowVbmi(const std::uint8_t* in, std::uint8_t* out, int count, const std::uint8_t* tb, const std::uint8_t* tg,
             const std::uint8_t* tr);
#endif
bool hasVbmi();
// The widest kernel this machine runs.
RowTable bestRow();

}  // namespace colourtables
