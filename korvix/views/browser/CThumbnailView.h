// The volume browser's page as thumbnails: the same entries, selection, menu
// and picking as the list (through the same EntryViewInput), each entry drawn as its
// picture (textures and TGA images, made by CThumbnailLoader) or as its kind's
// icon, with its name below. CQORBView shows either this view or the list.
#pragma once

#include "document/EntryRecord.h"
#include "views/browser/EntryViewInput.h"

#include <QListView>

#include <functional>

class CThumbnailLoader;

class CThumbnailView : public QListView {
    Q_OBJECT
public:
    // `record` answers an entry's record, or null.
    using RecordLookup = std::function<const EntryRecord*(int entry)>;

    CThumbnailView(CThumbnailLoader& loader, RecordLookup record, QWidget* parent = nullptr);

    EntryViewInput* input() const { return m_pInput; }
    std::unique_ptr<class QMenu> menuFor(const QPoint& pos) { return m_pInput->menuFor(pos); }

    // The loader's thumbnail side, 64 or 128: cells and thumbnails follow it.
    void updateCellSize();

    // The icons of the browser's two toggles: a grid of small pictures, and one large picture.
    static QIcon toggleIcon(bool large);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    EntryViewInput* m_pInput;
};
