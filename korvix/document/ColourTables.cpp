#include "document/ColourTables.h"

#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define KORVIX_TABLES_X86 1
// Compiled for AVX-512 function by function, so that nothing of it runs on a
// machine without it unless the run-time check chose it.
#define KORVIX_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#endif

namespace colourtables {

void rowScalar(const std::uint8_t* in, std::uint8_t* out, int count, const std::uint8_t* tb, const std::uint8_t* tg,
               const std::uint8_t* tr)
{
    // A pixel read and written as one word; the tables stay in registers.
    for (int x = 0; x < count; ++x) {
        std::uint32_t p;
        std::memcpy(&p, in + 4 * x, 4);
        p = (p & 0xFF000000u) | std::uint32_t{tr[p >> 16 & 0xFF]} << 16 | std::uint32_t{tg[p >> 8 & 0xFF]} << 8
            | tb[p & 0xFF];
        std::memcpy(out + 4 * x, &p, 4);
    }
}

#if KORVIX_TABLES_X86

namespace {

// One table as four 64-byte quarters: a byte's low seven bits pick an entry of
// two quarters, its top bit the pair.
struct Table512 {
    __m512i q[4];
};

KORVIX_VBMI inline Table512 loadTable(const std::uint8_t* t)
{
    return {{_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64), _mm512_loadu_si512(t + 128), _mm512_loadu_si512(t + 192)}};
}

KORVIX_VBMI inline __m512i lookup(const Table512& t, __m512i x, __mmask64 high)
{
    const __m512i low = _mm512_permutex2var_epi8(t.q[0], x, t.q[1]);
    const __m512i upper = _mm512_permutex2var_epi8(t.q[2], x, t.q[3]);
    return _mm512_mask_blend_epi8(high, low, upper);
}

}  // namespace

KORVIX_VBMI void rowVbmi(const std::uint8_t* in, std::uint8_t* out, int count, const std::uint8_t* tb,
                         const std::uint8_t* tg, const std::uint8_t* tr)
{
    const Table512 b = loadTable(tb), g = loadTable(tg), r = loadTable(tr);
    // Byte 0, 1, 2 of every pixel.
    constexpr __mmask64 blue = 0x1111111111111111ull, green = blue << 1, red = blue << 2;
    for (int x = 0; x < count; x += 16) {
        const int n = count - x < 16 ? count - x : 16;
        const __mmask64 valid = n == 16 ? ~__mmask64{0} : (__mmask64{1} << (4 * n)) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(valid, in + 4 * x);
        const __mmask64 high = _mm512_movepi8_mask(v);
        __m512i o = _mm512_mask_blend_epi8(blue, v, lookup(b, v, high));
        o = _mm512_mask_blend_epi8(green, o, lookup(g, v, high));
        o = _mm512_mask_blend_epi8(red, o, lookup(r, v, high));
        _mm512_mask_storeu_epi8(out + 4 * x, valid, o);
    }
}

bool hasVbmi()
{
    static const bool vbmi = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
               && __builtin_cpu_supports("avx512vbmi");
    }();
    return vbmi;
}

RowTable bestRow()
{
    static const RowTable row = hasVbmi() ? rowVbmi : rowScalar;
    return row;
}

#else

bool hasVbmi()
{
    return false;
}

RowTable bestRow()
{
    return rowScalar;
}

#endif

}  // namespace colourtables
