// The state icons of the pages' entries, one per entry kind (1 ... 8), and one
// for an entry whose data the volume does not hold, drawn in code: a coloured
// tag with a letter, 22 pixels wide.
#pragma once

#include <QIcon>

class EntryStateIcons {
public:
    static const QIcon& icon(int kind);
    // A damaged entry, whatever its kind: a red tag with "!".
    static const QIcon& damaged();
};
