#include "Language.h"

#include <cstdlib>

namespace cli {

namespace {

Language g_language = Language::English;

// "de", "de_DE.UTF-8", "de_AT@euro": the language part before '_', '.' or '@'.
bool namesGerman(const std::string& locale)
{
    const std::string language = locale.substr(0, locale.find_first_of("_.@"));
    return language == "de";
}

}  // namespace

Language languageFromLocale(const std::function<std::optional<std::string>(const char*)>& lookup)
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::optional<std::string> value = lookup(name);
        if (value && !value->empty())
            return namesGerman(*value) ? Language::German : Language::English;
    }
    return Language::English;
}

Language languageFromEnvironment()
{
    return languageFromLocale([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    });
}

void setLanguage(Language language)
{
    g_language = language;
}

Language language()
{
    return g_language;
}

korvix::Language tableLanguage()
{
    return g_language == Language::German ? korvix::Language::German : korvix::Language::English;
}

const char* tr(korvix::MessageId id)
{
    return korvix::MessageTable::text(id, tableLanguage());
}

}  // namespace cli
