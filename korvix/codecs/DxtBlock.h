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
// All functions are pure and thread-safe. The decoder's tables are compile-time constants;
// the compressor's single-colour and split tables are built once, on first use,
// thread-safely. Where the processor offers SSE4.1 or AVX2 (detected at run time), the
// decoder and the compressor's hot loops use them; the results are bit for bit those of the
// plain code, which the environment variable KORVIX_DXT_ISA=scalar (or sse4.1) selects.
namespace dxt {

// Decodes an 8-byte colour block (c0, c1 little-endian, then one index byte per row,
// the leftmost texel in the lowest two bits) into 16 texels; alpha is set to 255.
void decodeColourBlock(const std::uint8_t* block8, std::uint8_t* bgra64);
// A DXT1 block is a colour block; the game reads it opaque.
void decodeDxt1Block(const std::uint8_t* block8, std::uint8_t* bgra64);
// A DXT3 block is four little-endian 16-bit alpha rows (the leftmost texel in the lowest
// nibble, alpha = nibble * 17) followed by a colour block.
void decodeDxt3Block(const std::uint8_t* block16, std::uint8_t* bgra64);

// Decodes a whole map of ceil(width / 4) x ceil(height / 4) blocks (8 or 16 bytes each,
// row-major) straight into its rows: rows[y] is image row y from the top, 4 * width bytes.
// Blocks at the right and bottom edge of a map whose sides are not multiples of 4 write
// only the texels inside the map. Nothing happens for a null pointer or a side below 1.
void decodeImage(const std::uint8_t* blocks, int width, int height, bool dxt3, std::uint8_t* const* rows);

// How hard the compressor searches. Every setting chooses endpoints and indices for the
// game's decoder above (its expansion, its 0.66 / 0.33 colours, four colours in every
// block) and measures the error as 0.309 dr^2 + 0.609 dg^2 + 0.082 db^2.
// - Fast: principal axis, indices by position along it, least-squares endpoints for the
//   game's palette, then the nearest palette colour for every texel; eight blocks at a
//   time in the vector lanes, several times faster than common high-quality compressors
//   (the benchmark has the numbers).
// - Default: from Fast's result, alternates exact endpoint solves and index choices until
//   the error stops falling, tries the other placements of the texels' levels along the
//   palette when an entry is unused (the best endpoint may lie beyond the texels), and
//   gives busy blocks the best split of a cluster search (below).
// - Best: a cluster search over every split of the texels' order along the axis into
//   runs for the four palette entries, the best four splits refined; about ten times
//   slower than Default, for final exports.
// Blocks of a single colour get the best endpoints the decoder can offer at every
// setting. bench/compressor measures the settings against other DXT compressors, all
// decoded the game's way.
enum class Quality { Fast, Default, Best };

// Encodes one block. validMask bit (4 * y + x) says the texel exists; only existing
// texels take part in the colours (maps smaller than 4 x 4); the others get any index.
// DXT3 alpha nibble = floor(alpha * 15 / 255 + 0.5); missing texels get nibble 0.
// The larger colour is written first: the game reads either order the same way, and so
// decoders with a three-colour mode read the block as the game does unless both colours
// are equal. An empty mask gives an all-zero block.
void encodeDxt1Block(const std::uint8_t* bgra64, std::uint8_t* out8, Quality q = Quality::Default,
                     std::uint16_t validMask = 0xFFFF);
void encodeDxt3Block(const std::uint8_t* bgra64, std::uint8_t* out16, Quality q = Quality::Default,
                     std::uint16_t validMask = 0xFFFF);

// Encodes a whole map: `pixels` width x height texels, rows from the top, `stride` bytes
// apart. Writes ceil(w/4) * ceil(h/4) blocks in row-major block order to `out` (8 or 16
// bytes each); blocks at the right and bottom edge of a map whose sides are not multiples
// of 4 encode only the texels that exist. Large maps use several threads (threads 0 =
// one per hardware thread, 1 = the calling thread only); the output is the same for every
// thread count. Nothing is written for a null pointer or a side below 1.
void encodeImage(const std::uint8_t* pixels, int width, int height, std::size_t stride, bool dxt3,
                 std::uint8_t* out, Quality q = Quality::Default, unsigned threads = 0);

}  // namespace dxt
