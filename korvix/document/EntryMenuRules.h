// When the entry commands of the volume browser's context menu apply. The
// main frame may have no document yet, so both rules take a pointer.
#pragma once

class CKestrelDoc;

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
};
