#include "FormatCheck.h"

#include <cstring>
#include <string_view>

namespace tarvos {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool conversionFits(std::string_view length, char conversion, FormatArgument argument)
{
    const bool integer = std::strchr("diouxX", conversion) != nullptr;
    const bool floating = std::strchr("fFeEgGaA", conversion) != nullptr;
    switch (argument) {
    case FormatArgument::Int:
        // A char or short modifier still consumes an int.
        return (integer && (length.empty() || length == "h" || length == "hh"))
               || (conversion == 'c' && length.empty());
    case FormatArgument::Long:
        return integer && length == "l";
    case FormatArgument::Double:
        // "l" has no effect on floating conversions; "L" would read a long double.
        return floating && (length.empty() || length == "l");
    case FormatArgument::Text:
        return conversion == 's' && length.empty();
    }
    return false;
}

}  // namespace

bool formatAccepts(const char* format, FormatArgument argument)
{
    if (!format)
        return false;
    int conversions = 0;
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        if (*p == '%')
            continue;
        while (*p && std::strchr("-+ #0'", *p))
            ++p;
        while (isDigit(*p))
            ++p;
        if (*p == '.') {
            ++p;
            while (isDigit(*p))
                ++p;
        }
        const char* lengthStart = p;
        while (*p && std::strchr("hlLqjzt", *p))
            ++p;
        const std::string_view length(lengthStart, static_cast<std::size_t>(p - lengthStart));
        if (!*p || !conversionFits(length, *p, argument) || ++conversions > 1)
            return false;
    }
    return true;
}

}  // namespace tarvos
