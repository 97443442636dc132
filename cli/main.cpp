#include "Cli.h"
#include "Language.h"
#ifdef KORVIX_ENABLE_METAFILES
#include "SystemMetafileRenderer.h"
#endif

#include "common/MessageTable.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    // The system's own error texts (strerror) in the user's language where it
    // has them; numbers and everything else stay in the C locale.
    std::setlocale(LC_MESSAGES, "");
    // One locale choice for the tool's own texts and the document's messages.
    cli::setLanguage(cli::languageFromEnvironment());
    korvix::MessageTable::setLanguage(cli::language() == cli::Language::German ? korvix::Language::German
                                                                                : korvix::Language::English);
#ifdef KORVIX_ENABLE_METAFILES
    setMetafileRenderer(std::make_shared<SystemMetafileRenderer>());
#endif
    cli::Io io{std::cout, std::cerr, &std::cin};
    const int code = cli::run(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return std::cout ? code : cli::exitFailure;
}
