#include "document/EntryMenuRules.h"

#include "document/CKestrelDoc.h"

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
