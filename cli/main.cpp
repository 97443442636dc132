#include "Cli.h"
#include "Language.h"
#ifdef KORVIX_ENABLE_METAFILES
#include "LazyMetafileRenderer.h"
#endif

#include "common/MessageTable.h"

#include <clocale>
#include <filesystem>
#include <iostream>

#include <unistd.h>

#ifdef KORVIX_ENABLE_METAFILES
// The running program's file, whatever the caller typed.
static std::string programPath(const char* argv0)
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(argv0 ? argv0 : "") : self.string();
}
#endif

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
    setMetafileRenderer(std::make_shared<cli::LazyMetafileRenderer>(cli::LazyMetafileRenderer::candidatesFor(
        programPath(argv[0]), KORVIX_METAFILE_MODULE_DIR, KORVIX_METAFILE_MODULE_NAME)));
#endif
    cli::Io io{std::cout, std::cerr, &std::cin, isatty(STDERR_FILENO) != 0};
    const int code = cli::run(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return std::cout ? code : cli::exitFailure;
}
