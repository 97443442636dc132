#include "PixelBudget.h"

#include <charconv>

namespace cli {

namespace {

constexpr std::int64_t CEILING = DecodeLimits{}.maxPixels;

}  // namespace

OptionSpec maxPixelsOption()
{
    return {"--max-pixels", "N", "decode pictures of at most N pixels (default 67108864 = 8192 x 8192)"};
}

PixelBudget pixelBudgetOf(const Args& args)
{
    PixelBudget budget;
    budget.limits.maxPixels = DEFAULT_MAX_PIXELS;
    if (const auto text = args.value("--max-pixels")) {
        std::int64_t v = 0;
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), v);
        if (ec != std::errc() || end != text->data() + text->size() || v < 1 || v > CEILING)
            throw UsageError("--max-pixels takes a number of pixels from 1 to " + std::to_string(CEILING));
        budget.limits.maxPixels = v;
    }
    return budget;
}

void checkInputSize(std::uint64_t size, const PixelBudget& budget, const std::string& stage, const std::string& where)
{
    if (size > budget.maxInputBytes())
        throw Failure(stage, where, std::to_string(size) + " bytes are more than a picture of "
                                        + std::to_string(budget.limits.maxPixels)
                                        + " pixels needs; --max-pixels raises the limit");
}

std::string decodeFailureDetail(const std::string& message, int code)
{
    return code == 12 ? message + "; --max-pixels raises the limit" : message;
}

}  // namespace cli
