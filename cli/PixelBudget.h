// The pixel budget of the commands that decode pictures (--max-pixels): how
// large a picture they decode, and how many input bytes they read for one.
#pragma once

#include "Cli.h"

#include "codecs/imagefile/ImageFile.h"

#include <cstdint>
#include <string>

namespace cli {

// 64 megapixels: 8192 x 8192, a 256 MiB bitmap at 32 bits.
constexpr std::int64_t DEFAULT_MAX_PIXELS = std::int64_t{64} << 20;

struct PixelBudget {
    DecodeLimits limits;

    // No picture within the budget takes more than eight bytes per pixel in
    // any format read (16-bit RGBA TIFF is the widest), plus headers and tables.
    std::uint64_t maxInputBytes() const { return static_cast<std::uint64_t>(limits.maxPixels) * 8 + (1u << 20); }
};

// The option's table entry and its value; a value that is not a whole number
// from 1 to 268435456 is a usage error.
OptionSpec maxPixelsOption();
PixelBudget pixelBudgetOf(const Args& args);

// Refuses an input of `size` bytes that no picture within the budget needs.
void checkInputSize(std::uint64_t size, const PixelBudget& budget, const std::string& stage, const std::string& where);

// The detail of a decoder's refusal, with the option that lifts a budget
// refusal (code 12) named.
std::string decodeFailureDetail(const std::string& message, int code);

}  // namespace cli
