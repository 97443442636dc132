#include "TimeArgument.h"

#include <charconv>
#include <ctime>
#include <string>

namespace cli {

using korvix::DosDateTime;

namespace {

DosDateTime fromTm(const std::tm& tm)
{
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec - tm.tm_sec % 2};
}

// The ISO 8601 separator 'T' stands where the other form has a blank.
std::string withBlank(std::string_view text)
{
    std::string s(text);
    if (s.size() > 10 && (s[10] == 'T' || s[10] == 't'))
        s[10] = ' ';
    return s;
}

}  // namespace

DosDateTime localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return fromTm(tm);
}

std::optional<DosDateTime> parseTimeFields(std::string_view text)
{
    if (text == "now")
        return localNow();
    return korvix::parseDateTimeFields(withBlank(text));
}

std::optional<DosDateTime> parseDosTime(std::string_view text)
{
    if (text == "now") {
        const DosDateTime t = localNow();
        return korvix::parseDateTime(korvix::formatDateTime(t));
    }
    return korvix::parseDateTime(withBlank(text));
}

std::optional<DosDateTime> fromEpochSeconds(std::string_view text)
{
    long long seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || seconds < 0)
        return std::nullopt;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return std::nullopt;
    return korvix::parseDateTime(korvix::formatDateTime(fromTm(tm)));
}

}  // namespace cli
