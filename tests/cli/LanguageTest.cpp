// The language of the command line's messages, chosen from the locale.
#include "Language.h"
#include "RunCli.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;

TEST(Language, ChosenFromTheFirstSetLocaleVariable)
{
    using cli::Language;
    const struct {
        std::map<std::string, std::string> env;
        Language expected;
    } cases[] = {
        {{}, Language::English},
        {{{"LANG", "de_DE.UTF-8"}}, Language::German},
        {{{"LANG", "de"}}, Language::German},
        {{{"LANG", "de_AT@euro"}}, Language::German},
        {{{"LANG", "en_US.UTF-8"}}, Language::English},
        {{{"LANG", "C"}}, Language::English},
        {{{"LANG", "den_XX"}}, Language::English},
        // LC_MESSAGES wins over LANG, LC_ALL over both; an empty one counts as unset.
        {{{"LANG", "en_GB"}, {"LC_MESSAGES", "de_CH.UTF-8"}}, Language::German},
        {{{"LANG", "de_DE"}, {"LC_MESSAGES", "C.UTF-8"}}, Language::English},
        {{{"LC_ALL", "de_DE"}, {"LC_MESSAGES", "en_US"}, {"LANG", "en_US"}}, Language::German},
        {{{"LC_ALL", "POSIX"}, {"LANG", "de_DE"}}, Language::English},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", "de_DE"}}, Language::German},
    };
    for (const auto& c : cases) {
        const auto lookup = [&](const char* name) -> std::optional<std::string> {
            const auto it = c.env.find(name);
            return it == c.env.end() ? std::nullopt : std::optional<std::string>(it->second);
        };
        std::string shown;
        for (const auto& [k, v] : c.env)
            shown += k + "=" + v + " ";
        EXPECT_EQ(cli::languageFromLocale(lookup), c.expected) << shown;
    }
}

TEST(Language, TheCommandLineSpeaksTheChosenLanguage)
{
    // Usage errors, refusals, summaries and help lines, each in both languages.
    const struct {
        std::vector<std::string> args;
        bool onOutput;
        const char* english;
        const char* german;
    } cases[] = {
        {{"list"}, false, "missing arguments", "fehlende Argumente"},
        {{"--help"}, true, "Commands:", "Befehle:"},
        {{"--help"}, true, "convert textures and images", "Texturen und Bilder umwandeln"},
        {{"pack", "--help"}, true, "list what would be packed and write nothing",
         "auflisten, was gepackt würde, und nichts schreiben"},
        {{"convert", "a.tga", "b.tex", "--quality", "ultra"}, false, "--quality takes fast, default or best",
         "--quality nimmt fast, default oder best"},
        {{"list", "no-such.qrb"}, false, "cannot open the file", "die Datei kann nicht geöffnet werden"},
        {{"frobnicate"}, false, "unknown command 'frobnicate'", "unbekannter Befehl 'frobnicate'"},
    };
    for (const auto& c : cases) {
        cli::setLanguage(cli::Language::German);
        const auto german = runCli(c.args);
        cli::setLanguage(cli::Language::English);
        const auto english = runCli(c.args);
        EXPECT_NE((c.onOutput ? german.out : german.err).find(c.german), std::string::npos) << german.out << german.err;
        EXPECT_NE((c.onOutput ? english.out : english.err).find(c.english), std::string::npos)
            << english.out << english.err;
        EXPECT_EQ(german.code, english.code) << c.english;
    }
}
