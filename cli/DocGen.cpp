// Build-time tool: writes korvix-cli's manual page or bash completion.
// Usage: korvix-cli-docgen man|bash OUTPUT
#include "BashCompletion.h"
#include "ManPage.h"

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: korvix-cli-docgen man|bash OUTPUT\n";
        return 2;
    }
    const std::string what = argv[1];
    std::ofstream out(argv[2], std::ios::binary);
    if (what == "man")
        cli::writeManPage(out);
    else if (what == "bash")
        cli::writeBashCompletion(out);
    else {
        std::cerr << "korvix-cli-docgen: unknown output '" << what << "'\n";
        return 2;
    }
    out.close();
    if (!out) {
        std::cerr << "korvix-cli-docgen: " << argv[2] << ": cannot write the file\n";
        return 1;
    }
    return 0;
}
