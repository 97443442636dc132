// What the file list and the thumbnail view do alike with the user's input:
// picking an entry by a click or a keyboard move (when exactly one entry ends
// up selected), the keys F2 (rename), Enter (load) and the menu key or
// Shift+F10 (the entry menu at the current entry), the entry under the mouse,
// the entry menu on the selection, and dragging the selection out. The views
// forward their events here; what the commands do is the owning CQORBView's
// business, and which commands the menu holds is EntryMenuRules'.
#pragma once

#include "document/EntryMenuRules.h"

#include <QMenu>
#include <QObject>
#include <QPoint>

#include <functional>
#include <memory>
#include <vector>

class QAbstractItemView;
class QContextMenuEvent;
class QKeyEvent;
class QMouseEvent;

class EntryViewInput : public QObject {
    Q_OBJECT
public:
    // The menu's items for the entries it acts on.
    using MenuRule = std::function<std::vector<EntryMenuItem>(const std::vector<int>& entries)>;

    explicit EntryViewInput(QAbstractItemView& view);

    void setMenuRule(MenuRule rule) { m_menuRule = std::move(rule); }

    // The catalogue indices of the selected rows, in the listing's order.
    std::vector<int> selectedEntries() const;
    // Builds the entry menu for the item at `pos` (viewport coordinates):
    // for the whole selection when the item is part of it, else for the item
    // alone; null over no item. Each action's data is its command.
    std::unique_ptr<QMenu> menuFor(const QPoint& pos);

    // The views' event handlers call these. The two returning bool handled
    // the event when they return true (the view's own handling is skipped).
    bool mousePress(QMouseEvent* event);
    bool mouseDoubleClick(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    // Around the view's own key handling: a move of the current entry made by
    // a key picks when it leaves exactly one entry selected.
    bool keyPressBefore(QKeyEvent* event);
    void keyPressAfter();
    void contextMenu(QContextMenuEvent* event);
    void startDrag();

signals:
    // A click, a keyboard move or Enter that leaves exactly one entry selected: its row.
    void entryPicked(int row);
    // The mouse moved over the view: over an item (row), or over none (-1).
    void hovered(int row);
    // Around the context menu: the item's text, then the end of the menu.
    void menuOpened(const QString& itemText);
    void menuClosed();
    // A command of the menu (or F2) for `entries`; `row` is the row the menu was opened on.
    void commandChosen(int command, const std::vector<int>& entries, int row);
    // The selection is to be dragged out.
    void dragRequested(const std::vector<int>& entries);

private:
    void clicked(int row);
    void pickIfSingle();

    QAbstractItemView& m_view;
    MenuRule m_menuRule;
    int m_nKeyCurrent = -1;  // the current row before a key press
};
