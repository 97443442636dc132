#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Compile-time tables of the game's colour block decoding, shared by the decoder and the
// block compressor. Each entry is the double-precision formula evaluated once; the tests
// compare every entry with the formula evaluated at run time.
namespace dxt::tables {

inline constexpr double kScale5 = 8.2258;
inline constexpr double kScale6 = 4.04762;
// The decoder's interpolation weights are single-precision constants widened to double.
inline constexpr double kNear = static_cast<double>(0.66f);
inline constexpr double kFar = static_cast<double>(0.33f);

template <int Bits>
constexpr std::array<std::uint8_t, (1 << Bits)> makeExpand()
{
    std::array<std::uint8_t, (1 << Bits)> t{};
    for (int v = 0; v < (1 << Bits); ++v)
        t[v] = static_cast<std::uint8_t>(static_cast<int>(v * (Bits == 5 ? kScale5 : kScale6)));
    return t;
}

// Expanded channel value of a 5-bit (red, blue) or 6-bit (green) field.
inline constexpr std::array<std::uint8_t, 32> kExpand5 = makeExpand<5>();
inline constexpr std::array<std::uint8_t, 64> kExpand6 = makeExpand<6>();

// Colour 2 of a channel whose endpoint fields are a (in c0) and b (in c1):
// truncate(0.66 * expand(a) + 0.33 * expand(b)); colour 3 is the same table at [b][a].
template <int Bits>
constexpr std::array<std::uint8_t, (1 << (2 * Bits))> makeMix()
{
    constexpr int n = 1 << Bits;
    const auto expand = makeExpand<Bits>();
    std::array<std::uint8_t, (1 << (2 * Bits))> t{};
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            t[a * n + b] = static_cast<std::uint8_t>(static_cast<int>(kNear * expand[a] + kFar * expand[b]));
    return t;
}

inline constexpr std::array<std::uint8_t, 32 * 32> kMix5 = makeMix<5>();
inline constexpr std::array<std::uint8_t, 64 * 64> kMix6 = makeMix<6>();

// One channel's four palette values for the endpoint fields a (in c0) and b (in c1) in one
// word: expand(a), expand(b), mix(a, b), mix(b, a) in bytes 0 to 3, at [a << Bits | b].
template <int Bits>
constexpr std::array<std::uint32_t, (1 << (2 * Bits))> makeChannelPalettes()
{
    constexpr int n = 1 << Bits;
    const auto expand = makeExpand<Bits>();
    const auto mix = makeMix<Bits>();
    std::array<std::uint32_t, (1 << (2 * Bits))> t{};
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            t[a * n + b] = static_cast<std::uint32_t>(expand[a]) | static_cast<std::uint32_t>(expand[b]) << 8 |
                           static_cast<std::uint32_t>(mix[a * n + b]) << 16 | static_cast<std::uint32_t>(mix[b * n + a]) << 24;
    return t;
}

inline constexpr std::array<std::uint32_t, 32 * 32> kChannelPalettes5 = makeChannelPalettes<5>();
inline constexpr std::array<std::uint32_t, 64 * 64> kChannelPalettes6 = makeChannelPalettes<6>();

// The same words with one zero word in front and three behind, so that four words from
// field b - 1 of any row (b a field) can be read at once: [1 + (a << Bits | b)].
template <int Bits>
constexpr std::array<std::uint32_t, (1 << (2 * Bits)) + 4> makeGuardedPalettes()
{
    const auto words = makeChannelPalettes<Bits>();
    std::array<std::uint32_t, (1 << (2 * Bits)) + 4> t{};
    for (std::size_t i = 0; i < words.size(); ++i)
        t[1 + i] = words[i];
    return t;
}

inline constexpr std::array<std::uint32_t, 32 * 32 + 4> kGuardedPalettes5 = makeGuardedPalettes<5>();
inline constexpr std::array<std::uint32_t, 64 * 64 + 4> kGuardedPalettes6 = makeGuardedPalettes<6>();

// The same words with a whole row of zero words plus one word in front and a row plus three
// words behind, so that the four words from field b - 1 of rows a - 1, a and a + 1 can be
// read at once for any fields a and b: row r's words at [(1 << Bits) + 1 + (r << Bits | b)].
template <int Bits>
constexpr std::array<std::uint32_t, (1 << (2 * Bits)) + (2 << Bits) + 4> makeRowGuardedPalettes()
{
    const auto words = makeChannelPalettes<Bits>();
    std::array<std::uint32_t, (1 << (2 * Bits)) + (2 << Bits) + 4> t{};
    for (std::size_t i = 0; i < words.size(); ++i)
        t[(1u << Bits) + 1 + i] = words[i];
    return t;
}

inline constexpr std::array<std::uint32_t, 32 * 32 + 2 * 32 + 4> kRowGuardedPalettes5 = makeRowGuardedPalettes<5>();
inline constexpr std::array<std::uint32_t, 64 * 64 + 2 * 64 + 4> kRowGuardedPalettes6 = makeRowGuardedPalettes<6>();

}  // namespace dxt::tables

namespace dxt::tables {

// The field whose expansion comes nearest to an 8-bit value (the lowest field among equally
// near ones), as 32-bit entries that vector code can look up eight at a time.
template <int Bits>
constexpr std::array<std::int32_t, 256> makeNearestField()
{
    const auto expand = makeExpand<Bits>();
    const auto distance = [](int a, int b) { return a > b ? a - b : b - a; };
    std::array<std::int32_t, 256> t{};
    for (int v = 0; v < 256; ++v) {
        int best = 0;
        for (int f = 1; f < (1 << Bits); ++f)
            if (distance(expand[f], v) < distance(expand[best], v))
                best = f;
        t[v] = best;
    }
    return t;
}

inline constexpr std::array<std::int32_t, 256> kNearestField5 = makeNearestField<5>();
inline constexpr std::array<std::int32_t, 256> kNearestField6 = makeNearestField<6>();

// The same fields by arithmetic, (v * multiplier + addend) >> shift, exact for every 8-bit
// value v (the tests compare it with the tables): vector code computes it in a few integer
// steps instead of looking it up.
struct NearestFieldFormula {
    int multiplier, addend, shift;
    constexpr int operator()(int v) const { return (v * multiplier + addend) >> shift; }
};
inline constexpr NearestFieldFormula kNearestFieldFormula5{249, 1040, 11};
inline constexpr NearestFieldFormula kNearestFieldFormula6{253, 510, 10};

// Plain pointers to the tables, for the vector files built under a target pragma: they call
// no library function (not even std::array's), so that none is built for their target.
inline constexpr const std::int32_t* kNearestField5Data = kNearestField5.data();
inline constexpr const std::int32_t* kNearestField6Data = kNearestField6.data();
inline constexpr const std::uint32_t* kChannelPalettes5Data = kChannelPalettes5.data();
inline constexpr const std::uint32_t* kChannelPalettes6Data = kChannelPalettes6.data();
inline constexpr const std::uint32_t* kGuardedPalettes5Data = kGuardedPalettes5.data();
inline constexpr const std::uint32_t* kGuardedPalettes6Data = kGuardedPalettes6.data();
inline constexpr const std::uint32_t* kRowGuardedPalettes5Data = kRowGuardedPalettes5.data();
inline constexpr const std::uint32_t* kRowGuardedPalettes6Data = kRowGuardedPalettes6.data();

}  // namespace dxt::tables
