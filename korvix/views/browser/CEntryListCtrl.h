// The file list of the volume browser: one row per listed entry with the
// columns Name, Größe, Typ, Format, Breite × Höhe and Maps; several entries
// may be selected (Shift, Ctrl, Ctrl+A). Picking, the keys, the entry menu
// and dragging are EntryViewInput's; a click on a column's header asks the
// owning CQORBView to sort by it.
#pragma once

#include "document/CommandIds.h"
#include "views/browser/EntryPageModel.h"
#include "views/browser/EntryViewInput.h"

#include <QTreeView>

class CEntryListCtrl : public QTreeView {
    Q_OBJECT
public:
    // Command ids of the entry context menu.
    enum Command { CMD_EXTRACT = ID_ENTRY_EXTRACT, CMD_LOAD = ID_ENTRY_FOCUS, CMD_RENAME = ID_ENTRY_RENAME,
                   CMD_REPLACE_IMAGE = ID_ENTRY_REPLACE_IMAGE, CMD_REPLACE_FILE = ID_ENTRY_REPLACE_FILE, CMD_DELETE = ID_ENTRY_DELETE };

    explicit CEntryListCtrl(QWidget* parent = nullptr);

    EntryViewInput* input() const { return m_pInput; }
    std::unique_ptr<class QMenu> menuFor(const QPoint& pos) { return m_pInput->menuFor(pos); }
    // The columns' widths for the model's header; set once the model is.
    void setModel(QAbstractItemModel* model) override;
    // A text shown in the empty list (the filter's "nothing matches"); empty for none.
    void setEmptyText(const QString& text);
    QString emptyText() const;

signals:
    // A click on the header of `column`.
    void sortRequested(int column);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    EntryViewInput* m_pInput;
    class QLabel* m_pEmpty;
};
