// Runs korvix-cli in-process and keeps what it printed.
#pragma once

#include "Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct CliResult {
    int code;
    std::string out;
    std::string err;
};

inline CliResult runCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    cli::Io io{out, err};
    const int code = cli::run(args, io);
    return {code, out.str(), err.str()};
}

}  // namespace testsupport
