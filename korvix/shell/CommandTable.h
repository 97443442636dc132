// The program's commands as the user sees them: for every command id the menu
// label (with its & mnemonic and tab-separated shortcut), the prompt shown in
// the status bar, the tool tip and the icon of its toolbar button. One QAction
// per id is built from this table; the numeric id stays the action's identity.
#pragma once

struct CommandText {
    int id;
    const char* label;      // menu or button text, UTF-8
    const char* prompt;     // status bar text while the pointer rests on it
    const char* toolTip;    // empty: the label without & and shortcut
    const char* icon;       // resource name below :/icons/, empty for none
};

// Every command of the menus and toolbars, in no particular order.
const CommandText* commandTable(int& count);
// The entry of one id, or null.
const CommandText* commandText(int id);
