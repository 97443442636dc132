#include "codecs/DxtKernels.h"
#include "codecs/DxtTables.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Every entry of the single-colour tables against a search of every field and field pair,
// which keeps the first of the least error (and for colour 2 moves on from a pair of equal
// fields to the first equally good pair of two different fields).
TEST(DxtSingleColour, TablesHoldTheFirstBestFieldsOfEveryValue)
{
    const dxt::kernels::SingleColourTables& tables = dxt::kernels::singleColourTables();
    for (int wide = 0; wide < 2; ++wide) {
        const int fields = wide ? 64 : 32;
        const auto expand = [wide](int f) { return wide ? dxt::tables::kExpand6[f] : dxt::tables::kExpand5[f]; };
        const auto mix = [wide, fields](int a, int b) {
            return wide ? dxt::tables::kMix6[a * fields + b] : dxt::tables::kMix5[a * fields + b];
        };
        for (int v = 0; v < 256; ++v) {
            dxt::kernels::SingleColourEntry ep{0, 0, UINT16_MAX}, mx{0, 0, UINT16_MAX};
            for (int a = 0; a < fields; ++a) {
                const int d = expand(a) - v;
                if (d * d < ep.error)
                    ep = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a), static_cast<std::uint16_t>(d * d)};
                for (int b = 0; b < fields; ++b) {
                    const int e = mix(a, b) - v;
                    if (e * e < mx.error || (e * e == mx.error && mx.a == mx.b && a != b))
                        mx = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint16_t>(e * e)};
                }
            }
            const dxt::kernels::SingleColourEntry& gotEp = tables.endpoint[wide][v];
            const dxt::kernels::SingleColourEntry& gotMx = tables.mixed[wide][v];
            EXPECT_TRUE(gotEp.a == ep.a && gotEp.b == ep.b && gotEp.error == ep.error) << "endpoint, " << fields << " fields, " << v;
            EXPECT_TRUE(gotMx.a == mx.a && gotMx.b == mx.b && gotMx.error == mx.error)
                << "colour 2, " << fields << " fields, " << v << ": " << int(gotMx.a) << " " << int(gotMx.b) << " not "
                << int(mx.a) << " " << int(mx.b);
        }
    }
}

}  // namespace
