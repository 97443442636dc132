#pragma once

#include <array>
#include <cstdint>

// Blocks for the codec tests.
namespace dxt_test {

// A block's 16 texels, 4 bytes each in the order blue, green, red, alpha; row-major.
using Texels = std::array<std::uint8_t, 64>;

// A block of one colour.
inline Texels filled(int r, int g, int b, int a = 255)
{
    Texels t{};
    for (int i = 0; i < 16; ++i) {
        t[4 * i] = static_cast<std::uint8_t>(b);
        t[4 * i + 1] = static_cast<std::uint8_t>(g);
        t[4 * i + 2] = static_cast<std::uint8_t>(r);
        t[4 * i + 3] = static_cast<std::uint8_t>(a);
    }
    return t;
}

}  // namespace dxt_test
