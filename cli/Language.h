// The language of korvix-cli's messages: English unless the locale names
// German. The locale is read as the C library reads it for messages: the first
// of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace cli {

enum class Language { English, German };

// `lookup` answers an environment variable's value (std::getenv in the program).
Language languageFromLocale(const std::function<std::optional<std::string>(const char*)>& lookup);
Language languageFromEnvironment();

// The process-wide choice; English until set. Set once at start, before any thread.
void setLanguage(Language language);
Language language();

// The text in the chosen language: `english` itself, or its German translation
// where the table has one.
const char* tr(const char* english);

}  // namespace cli
