// The volume browser's two menus as rules: which commands the entry menu of
// the file list and the directory tree's menu hold, and when each applies.
// The widgets only show these items and run the chosen command. The main
// frame may have no document yet, so the rules take a pointer.
#pragma once

#include "common/MessageTable.h"

#include <optional>
#include <span>
#include <vector>

class CKestrelDoc;

struct EntryMenuItem {
    int command;             // a CommandId
    korvix::MessageId text;  // the menu's text
    bool enabled;
    friend bool operator==(const EntryMenuItem&, const EntryMenuItem&) = default;
};

class EntryMenuRules {
public:
    // False while there is no document, else whether it holds a ready texture.
    static bool documentReady(const CKestrelDoc* doc);
    // A catalogue index (0 or greater) of an entry of kind 3 (an image).
    static bool isReplaceableEntry(const CKestrelDoc* doc, int index);
    // "Ersetzen (durch Bildbuffer)" is offered for a replaceable entry while a
    // texture is ready to be written into it.
    static bool replaceFromImageEnabled(const CKestrelDoc* doc, int index)
    {
        return documentReady(doc) && isReplaceableEntry(doc, index);
    }

    // The entries a menu opened on entry `clicked` acts on: the whole
    // selection when the entry is part of it, else that entry alone (a right
    // click does not move the selection).
    static std::vector<int> menuTargets(int clicked, std::span<const int> selection);
    // The entry menu for `entries`: "Exportieren" (one entry: its bytes to a
    // file; several: all of them into a folder), "Umbenennen", "Ersetzen
    // (durch Bildbuffer)" and "Ersetzen (durch Datei)", these three for a
    // single entry only, and "Löschen" (a rewrite of the volume).
    static std::vector<EntryMenuItem> entryMenu(const CKestrelDoc* doc, std::span<const int> entries);
    // The directory tree's menu on an item: "Verzeichnis exportieren…" and
    // "Löschen" on a directory, "Volume exportieren…" on the root item (-888);
    // none while no volume is open.
    static std::vector<EntryMenuItem> directoryMenu(const CKestrelDoc* doc, int itemData);

    // What a click or a keyboard move in the list loads: the entry when
    // exactly one is selected afterwards, nothing otherwise.
    static std::optional<int> entryToLoad(std::span<const int> selection);
};
