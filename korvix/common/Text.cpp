#include "common/Text.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cstring>
#include <cstdio>

namespace korvix {

std::string latin1ToUtf8(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::size_t trimmedLength(const char* field, std::size_t size)
{
    constexpr std::uint64_t blanks = 0x2020202020202020ull;
    std::size_t len = size;
    while (len >= 8) {
        std::uint64_t word;
        std::memcpy(&word, field + len - 8, 8);
        if (word != blanks)
            break;
        len -= 8;
    }
    while (len > 0 && field[len - 1] == ' ')
        --len;
    return len;
}

std::optional<std::string> utf8ToLatin1(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()
                   && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            ++i;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

char foldLatin1(char latin1)
{
    const auto c = static_cast<unsigned char>(latin1);
    // A-Z and the Latin-1 capitals except the multiplication sign.
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char>(c + 0x20);
    return latin1;
}

std::string foldLatin1(std::string_view latin1)
{
    std::string out(latin1);
    for (char& ch : out)
        ch = foldLatin1(ch);
    return out;
}

std::string countText(std::uint64_t n, NumberStyle style)
{
    const std::string digits = std::to_string(n);
    const char separator = style == NumberStyle::German ? '.' : ',';
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

std::string byteText(std::uint64_t bytes, NumberStyle style)
{
    if (bytes < 1000)
        return std::to_string(bytes) + " B";
    static constexpr const char* units[] = {"kB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes) / 1000;
    std::size_t unit = 0;
    while (value >= 999.95 && unit + 1 < std::size(units)) {
        value /= 1000;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    std::string out = text;
    if (style == NumberStyle::German)
        std::replace(out.begin(), out.end(), '.', ',');
    return out;
}

namespace {

bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

bool validDateTime(const DosDateTime& t)
{
    return t.year >= 1980 && t.year <= 2107 && t.month >= 1 && t.month <= 12 && t.day >= 1
           && t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0
           && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

}  // namespace

std::optional<DosDateTime> parseDateTime(std::string_view text)
{
    auto t = parseDateTimeFields(text);
    if (!t || !validDateTime(*t))
        return std::nullopt;
    t->second -= t->second % 2;
    return t;
}

std::optional<DosDateTime> parseDateTimeFields(std::string_view text)
{
    // Exactly "YYYY-MM-DD HH:MM:SS".
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':'
        || text[16] != ':')
        return std::nullopt;
    auto field = [&](std::size_t pos, std::size_t len, int& out) {
        for (std::size_t i = pos; i < pos + len; ++i)
            if (text[i] < '0' || text[i] > '9')
                return false;
        return std::from_chars(text.data() + pos, text.data() + pos + len, out).ec == std::errc{};
    };
    DosDateTime t;
    if (!field(0, 4, t.year) || !field(5, 2, t.month) || !field(8, 2, t.day) || !field(11, 2, t.hour)
        || !field(14, 2, t.minute) || !field(17, 2, t.second))
        return std::nullopt;
    return t;
}

std::uint32_t toDosTimestamp(const DosDateTime& t)
{
    const auto time = static_cast<std::uint32_t>((t.hour << 11) | (t.minute << 5) | (t.second / 2));
    const auto date = static_cast<std::uint32_t>(((t.year - 1980) << 9) | (t.month << 5) | t.day);
    return (date << 16) | time;
}

std::optional<DosDateTime> fromDosTimestamp(std::uint32_t timestamp)
{
    const std::uint32_t time = timestamp & 0xFFFF;
    const std::uint32_t date = timestamp >> 16;
    DosDateTime t;
    t.second = static_cast<int>(time & 0x1F) * 2;
    t.minute = static_cast<int>((time >> 5) & 0x3F);
    t.hour = static_cast<int>(time >> 11);
    t.day = static_cast<int>(date & 0x1F);
    t.month = static_cast<int>((date >> 5) & 0x0F);
    t.year = 1980 + static_cast<int>(date >> 9);
    if (!validDateTime(t))
        return std::nullopt;
    return t;
}

std::string formatDateTime(const DosDateTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

}  // namespace korvix
