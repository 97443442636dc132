// Start-up of the desktop program: the application object, the colour-depth
// check, the settings store, the main frame and the optional file argument.
#pragma once

class QCoreApplication;

int runKorvix(int argc, char* argv[]);

// Qt's own texts (standard buttons, file dialogs, message boxes) in German,
// as the rest of the program, whatever the desktop's language. The
// translations are Qt's, installed beside Qt; without them Qt speaks English.
// Returns whether they were found.
bool installQtTranslations(QCoreApplication& app);
