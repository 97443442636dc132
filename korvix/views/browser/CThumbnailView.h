// The volume browser's page as thumbnails: the same entries, selection, menu
// and picking as the list (it is one, in icon mode), each entry drawn as its
// picture (textures and TGA images, made by CThumbnailLoader) or as its kind's
// icon, with its name below. CQORBView shows either this view or the list.
#pragma once

#include "document/EntryRecord.h"
#include "views/browser/CEntryListCtrl.h"

#include <functional>

class CThumbnailLoader;

class CThumbnailView : public CEntryListCtrl {
    Q_OBJECT
public:
    // `record` answers an entry's record, or null.
    using RecordLookup = std::function<const EntryRecord*(int entry)>;

    CThumbnailView(CThumbnailLoader& loader, RecordLookup record, QWidget* parent = nullptr);

    // The loader's thumbnail side, 64 or 128: cells and thumbnails follow it.
    void updateCellSize();

    // The icons of the browser's two toggles: a grid of small pictures, and one large picture.
    static QIcon toggleIcon(bool large);
};
