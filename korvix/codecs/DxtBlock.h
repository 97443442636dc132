#pragma once

#include <cstddef>
#include <cstdint>

// DXT1 and DXT3 blocks as the game reads them.
//
// Texels are 4 bytes each in memory order blue, green, red, alpha (as in PixelBitmap rows).
// A block is 4 x 4 texels, row-major from the top-left: texel (x, y) at bytes 4 * (4 * y + x).
//
// The game's decoder differs from the textbook one, and everything here follows the game:
// - 5-bit fields expand as truncate(v * 8.2258) and 6-bit fields as truncate(v * 4.04762),
//   both in double precision, so a 5-bit 31 becomes 254 and a 6-bit 63 becomes 255;
// - every colour block is read with four colours, whatever the order of c0 and c1: there
//   is no three-colour mode and no transparent index;
// - colours 2 and 3 are truncate(0.66f * a + 0.33f * b) and truncate(0.33f * a + 0.66f * b)
//   per channel, the float constants widened to double; the weights sum to 0.99, so even
//   c0 = c1 gives a slightly darker colour at indices 2 and 3.
//
// All functions are pure and thread-safe; the tables they use are compile-time constants.
namespace dxt {

// Decodes an 8-byte colour block (c0, c1 little-endian, then one index byte per row,
// the leftmost texel in the lowest two bits) into 16 texels; alpha is set to 255.
void decodeColourBlock(const std::uint8_t* block8, std::uint8_t* bgra64);
// A DXT1 block is a colour block; the game reads it opaque.
void decodeDxt1Block(const std::uint8_t* block8, std::uint8_t* bgra64);
// A DXT3 block is four little-endian 16-bit alpha rows (the leftmost texel in the lowest
// nibble, alpha = nibble * 17) followed by a colour block.
void decodeDxt3Block(const std::uint8_t* block16, std::uint8_t* bgra64);

}  // namespace dxt
