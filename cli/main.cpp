#include "Cli.h"
#ifdef KORVIX_ENABLE_METAFILES
#include "SystemMetafileRenderer.h"
#endif

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
#ifdef KORVIX_ENABLE_METAFILES
    setMetafileRenderer(std::make_shared<SystemMetafileRenderer>());
#endif
    cli::Io io{std::cout, std::cerr};
    const int code = cli::run(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return std::cout ? code : cli::exitFailure;
}
