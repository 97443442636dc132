// The desktop program: everything lives in korvix_shell.
#include "shell/KorvixApplication.h"

int main(int argc, char* argv[])
{
    return runKorvix(argc, argv);
}
