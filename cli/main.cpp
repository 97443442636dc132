#include "Cli.h"
#include "SystemMetafileRenderer.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    setMetafileRenderer(std::make_shared<SystemMetafileRenderer>());
    cli::Io io{std::cout, std::cerr};
    const int code = cli::run(std::vector<std::string>(argv + 1, argv + argc), io);
    std::cout.flush();
    return std::cout ? code : cli::exitFailure;
}
