#include "PixelBudget.h"
#include "Language.h"

#include <charconv>

namespace cli {

using korvix::MessageId;

namespace {

constexpr std::int64_t CEILING = DecodeLimits{}.maxPixels;

}  // namespace

OptionSpec maxPixelsOption()
{
    return {"--max-pixels", "N", tr(MessageId::CliOptionMaxPixels)};
}

PixelBudget pixelBudgetOf(const Args& args)
{
    PixelBudget budget;
    budget.limits.maxPixels = DEFAULT_MAX_PIXELS;
    if (const auto text = args.value("--max-pixels")) {
        std::int64_t v = 0;
        const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), v);
        if (ec != std::errc() || end != text->data() + text->size() || v < 1 || v > CEILING)
            throw UsageError(format(MessageId::CliMaxPixelsTakesFormat, static_cast<long long>(CEILING)));
        budget.limits.maxPixels = v;
    }
    return budget;
}

void checkInputSize(std::uint64_t size, const PixelBudget& budget, const std::string& stage, const std::string& where)
{
    if (size > budget.maxInputBytes())
        throw Failure(stage, where, format(MessageId::CliInputTooLargeFormat, static_cast<unsigned long long>(size),
                                           static_cast<long long>(budget.limits.maxPixels)));
}

std::string decodeFailureDetail(const std::string& message, int code)
{
    return code == 12 ? format(MessageId::CliRaiseMaxPixelsFormat, message) : message;
}

}  // namespace cli
