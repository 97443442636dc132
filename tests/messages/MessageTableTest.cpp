// The message table: one text per id in each language, the language choice,
// and the texts whose exact form (blanks, line breaks) is easy to lose.
#include "common/MessageTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using korvix::Language;
using korvix::MessageId;
using korvix::MessageTable;

namespace {

// The printf conversions of a text, in order ("%d", "%s", ...).
std::vector<std::string> conversions(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%')
            continue;
        std::size_t j = i + 1;
        while (j < text.size() && std::string("-+ #0123456789.lh").find(text[j]) != std::string::npos)
            ++j;
        if (j < text.size())
            out.push_back(text.substr(i, j - i + 1));
        i = j;
    }
    return out;
}

// Restores the process-wide language after a test changed it.
struct LanguageGuard {
    Language saved = MessageTable::language();
    ~LanguageGuard() { MessageTable::setLanguage(saved); }
};

}  // namespace

TEST(MessageTable, EveryIdHasBothTextsWithTheSameConversions)
{
    for (int i = 0; i < static_cast<int>(MessageId::Count); ++i) {
        const auto id = static_cast<MessageId>(i);
        const std::string german = MessageTable::text(id, Language::German);
        const std::string english = MessageTable::text(id, Language::English);
        EXPECT_FALSE(german.empty()) << i;
        EXPECT_FALSE(english.empty()) << i;
        // A translation that drops or reorders a conversion would print garbage.
        EXPECT_EQ(conversions(german), conversions(english)) << i << ": " << german;
    }
}

TEST(MessageTable, TheLanguageChoiceSelectsTheText)
{
    LanguageGuard guard;
    EXPECT_EQ(MessageTable::language(), Language::German) << "German unless chosen otherwise";
    EXPECT_STREQ(korvix::msg(MessageId::SizesDiffer), MessageTable::text(MessageId::SizesDiffer, Language::German));
    MessageTable::setLanguage(Language::English);
    EXPECT_STREQ(korvix::msg(MessageId::SizesDiffer), MessageTable::text(MessageId::SizesDiffer, Language::English));
    EXPECT_STRNE(korvix::msg(MessageId::SizesDiffer), MessageTable::text(MessageId::SizesDiffer, Language::German));
}

TEST(MessageTable, LanguageFromTheLocaleName)
{
    const struct {
        const char* locale;
        Language language;
    } cases[] = {
        {"de_DE.UTF-8", Language::German}, {"de", Language::German},        {"de_AT", Language::German},
        {"DE_ch", Language::German},       {"de.UTF-8", Language::German},  {"de@euro", Language::German},
        {"en_US.UTF-8", Language::English}, {"C", Language::English},       {"POSIX", Language::English},
        {"", Language::English},           {"deu", Language::English},      {"d", Language::English},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MessageTable::languageForLocale(c.locale), c.language) << c.locale;
}

TEST(MessageTable, TextsWhoseBlanksAndLineBreaksBelongToThem)
{
    LanguageGuard guard;
    MessageTable::setLanguage(Language::German);
    EXPECT_STREQ(korvix::msg(MessageId::OverwriteQuestion), "Datei existiert bereits. Überschreiben? ");
    EXPECT_STREQ(korvix::msg(MessageId::TextureFileTooSmall), "Datei zu klein für die kleinstmögliche\nTextur im TEX-Format.");
    EXPECT_EQ(MessageTable::format(MessageId::ReplaceConfirmFormat, 512, 512, 1, 256, 256, 9),
              "Quell-Textur\n\nBreite: 512 Pixel\nHöhe: 512 Pixel\nMaps: 1\n\nZiel-Textur\n\nBreite: 256 Pixel\nHöhe: "
              "256 Pixel        \nMaps: 9   \n\n");
    EXPECT_EQ(MessageTable::format(MessageId::SmallestMapFormat, 1, 1), "\n\nKleinste Map: 1 x 1 Pixel   ");
    EXPECT_EQ(MessageTable::format(MessageId::EntrySizeFormat, 3000000000u), "Größe: 3000000000 Bytes");
}

TEST(MessageTable, AnIdOutsideTheTableGivesAnEmptyText)
{
    EXPECT_STREQ(MessageTable::text(MessageId::Count), "");
    EXPECT_EQ(MessageTable::format(MessageId::Count, 1), "");
}
