#include "Language.h"
#include "Thumbnailer.h"

#include "common/MessageTable.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    // The system's own error texts in the user's language where it has them.
    std::setlocale(LC_MESSAGES, "");
    korvix::MessageTable::setLanguage(cli::languageFromEnvironment() == cli::Language::German
                                          ? korvix::Language::German
                                          : korvix::Language::English);
    return thumbnailer::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
