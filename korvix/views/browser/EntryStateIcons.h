// The state icons of the pages' entries, one per entry kind (1 ... 8), drawn
// in code: a coloured tag with a letter, 22 pixels wide.
#pragma once

#include <QIcon>

class EntryStateIcons {
public:
    static const QIcon& icon(int kind);
};
