// Start-up of the desktop program: the application object, the colour-depth
// check, the settings store, the main frame and the optional file argument.
#pragma once

int runKorvix(int argc, char* argv[]);
