#include "document/EntryMenuRules.h"

#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"

#include <algorithm>

using korvix::MessageId;

bool EntryMenuRules::documentReady(const CKestrelDoc* doc)
{
    return doc && doc->ready();
}

bool EntryMenuRules::isReplaceableEntry(const CKestrelDoc* doc, int index)
{
    if (!doc || index < 0)
        return false;
    const auto& records = doc->entryRecords();
    return static_cast<std::size_t>(index) < records.size()
           && records[static_cast<std::size_t>(index)].kind == KIND_IMAGE;
}

std::vector<int> EntryMenuRules::menuTargets(int clicked, std::span<const int> selection)
{
    if (std::find(selection.begin(), selection.end(), clicked) != selection.end())
        return {selection.begin(), selection.end()};
    return {clicked};
}

std::vector<EntryMenuItem> EntryMenuRules::entryMenu(const CKestrelDoc* doc, std::span<const int> entries)
{
    const bool any = !entries.empty() && std::all_of(entries.begin(), entries.end(), [](int e) { return e >= 0; });
    const bool one = any && entries.size() == 1;
    return {
        {ID_ENTRY_EXTRACT, MessageId::BrowserMenuExtract, any},
        {ID_ENTRY_RENAME, MessageId::BrowserMenuRename, one},
        {ID_ENTRY_REPLACE_IMAGE, MessageId::BrowserMenuReplaceImage, one && replaceFromImageEnabled(doc, entries[0])},
        {ID_ENTRY_REPLACE_FILE, MessageId::BrowserMenuReplaceFile, one},
        {ID_ENTRY_DELETE, MessageId::EntryMenuDelete, any && doc && doc->volumeOpen()},
    };
}

std::vector<EntryMenuItem> EntryMenuRules::directoryMenu(const CKestrelDoc* doc, int itemData)
{
    if (!doc || !doc->volumeOpen())
        return {};
    if (itemData == ITEM_VOLUME_ROOT)
        return {{ID_TREE_EXPORT_VOLUME, MessageId::BrowserMenuExportVolume, true}};
    const auto& records = doc->entryRecords();
    if (itemData < 0 || static_cast<std::size_t>(itemData) >= records.size()
        || !records[static_cast<std::size_t>(itemData)].isDirectory)
        return {};
    return {{ID_TREE_EXPORT_DIRECTORY, MessageId::BrowserMenuExportDirectory, true},
            {ID_ENTRY_DELETE, MessageId::EntryMenuDelete, true}};
}

std::optional<int> EntryMenuRules::entryToLoad(std::span<const int> selection)
{
    if (selection.size() != 1 || selection[0] < 0)
        return std::nullopt;
    return selection[0];
}
