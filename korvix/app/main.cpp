// The desktop program: everything lives in korvix_shell.
#include "shell/KorvixApplication.h"

#include <qorbm.h>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    // Answered before any window system is touched, so that it works without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("korvix %s\n", QORBM_VERSION_STRING);
        return 0;
    }
    return runKorvix(argc, argv);
}
