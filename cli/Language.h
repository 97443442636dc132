// The language of korvix-cli's messages: English unless the locale names
// German. The locale is read as the C library reads it for messages: the first
// of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
//
// Every text comes from the program's one message table (common/MessageTable.h):
// the command line's own texts in the table's block for it, the document's
// messages beside them.
#pragma once

#include "common/MessageTable.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>

namespace cli {

enum class Language { English, German };

// `lookup` answers an environment variable's value (std::getenv in the program).
Language languageFromLocale(const std::function<std::optional<std::string>(const char*)>& lookup);
Language languageFromEnvironment();

// The process-wide choice; English until set. Set once at start, before any thread.
void setLanguage(Language language);
Language language();

// The chosen language as the message table names it.
korvix::Language tableLanguage();

// The table's text of `id` in the chosen language.
const char* tr(korvix::MessageId id);

// A ...Format text of the table in the chosen language, filled in with printf
// conversions (std::string arguments are passed as their text).
template <class... Args>
std::string format(korvix::MessageId id, const Args&... args)
{
    const auto pass = [](const auto& a) {
        if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::string>)
            return a.c_str();
        else
            return a;
    };
    const char* pattern = tr(id);
    const int n = std::snprintf(nullptr, 0, pattern, pass(args)...);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern, pass(args)...);
    return out;
}

}  // namespace cli
