#include "Cli.h"
#include "SystemMetafileRenderer.h"

#include "common/MessageTable.h"

#include <cstdlib>
#include <iostream>

namespace {

// The language of messages as the environment names it, in the order the
// C library reads it.
const char* messagesLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value)
            return value;
    return "";
}

}  // namespace

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    // The document's messages in English unless the user's locale is German.
    korvix::MessageTable::setLanguage(korvix::MessageTable::languageForLocale(messagesLocale()));
    setMetafileRenderer(std::make_shared<SystemMetafileRenderer>());
    cli::Io io{std::cout, std::cerr};
    const int code = cli::run(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return std::cout ? code : cli::exitFailure;
}
