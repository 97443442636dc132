// The file list of the shown page: picks entries on a click or a keyboard
// move, reports the entry under the mouse, and opens the entry context menu.
// What the commands do is the owning CQORBView's business.
#pragma once

#include "views/browser/EntryPageModel.h"

#include <QListView>

#include <functional>

class CEntryListCtrl : public QListView {
    Q_OBJECT
public:
    // Command ids of the entry context menu.
    enum Command { CMD_EXTRACT = 32888, CMD_LOAD = 32889, CMD_RENAME = 32890, CMD_REPLACE_IMAGE = 32898,
                   CMD_REPLACE_FILE = 32901, CMD_DELETE = 34201 };

    explicit CEntryListCtrl(QWidget* parent = nullptr);

    // Whether "Ersetzen (durch Bildbuffer)" is offered for an entry.
    void setReplaceFromImageRule(std::function<bool(int entry)> rule) { m_replaceRule = std::move(rule); }
    // Builds the context menu for the item at `pos` (viewport coordinates);
    // null over no item. Exposed so the enabling can be checked without
    // running the menu.
    std::unique_ptr<class QMenu> menuFor(const QPoint& pos);

signals:
    // A click on an item, or a selection change made with the keyboard.
    void entryPicked(int row);
    // The mouse moved over the list: over an item (row), or over none (-1).
    void hovered(int row);
    // Around the context menu: the item's text, then the end of the menu.
    void menuOpened(const QString& itemText);
    void menuClosed();
    void commandChosen(int command, int row);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    std::function<bool(int)> m_replaceRule;
    bool m_bKeyboardMove = false;
};
