#include "Language.h"

#include <cstdlib>
#include <cstring>

namespace cli {

namespace {

Language g_language = Language::English;

struct Translation {
    const char* english;
    const char* german;
};

// The command line's own texts. The document's messages come in German from the core.
constexpr Translation translations[] = {
    {"Usage: ", "Aufruf: "},
    {"Inspect, extract, edit and pack QORB volumes; convert textures and images.",
     "QORB-Volumes ansehen, entpacken, bearbeiten und packen; Texturen und Bilder umwandeln."},
    {"Commands:", "Befehle:"},
    {"Options:", "Optionen:"},
    {"show this help", "diese Hilfe zeigen"},
    {"Run 'korvix-cli COMMAND --help' for the options of a command.",
     "'korvix-cli BEFEHL --help' zeigt die Optionen eines Befehls."},
    {"unknown command", "unbekannter Befehl"},
    {"run 'korvix-cli --help'", "siehe 'korvix-cli --help'"},
    {"Run 'korvix-cli %s --help' for usage.", "'korvix-cli %s --help' zeigt den Aufruf."},
    {"unknown option", "unbekannte Option"},
    {"takes no value", "nimmt keinen Wert"},
    {"needs a value", "braucht einen Wert"},
    {"missing arguments", "fehlende Argumente"},
    {"too many arguments", "zu viele Argumente"},
    {"out of memory", "nicht genug Speicher"},
    {"cannot open the file", "die Datei kann nicht geöffnet werden"},
    {"is a directory, not a file", "ist ein Verzeichnis, keine Datei"},
    {"exists; use --force to overwrite", "existiert bereits; --force überschreibt"},
    {"Nothing was written; add --yes to go ahead.", "Nichts wurde geschrieben; --yes führt es aus."},
};

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

const char* tr(const char* english)
{
    if (g_language == Language::English)
        return english;
    for (const Translation& t : translations)
        if (std::strcmp(t.english, english) == 0)
            return t.german;
    return english;
}

}  // namespace cli
