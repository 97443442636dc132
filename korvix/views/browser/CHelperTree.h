// The volume's directory tree: the root item for the volume itself, then its
// directories; directories that hold files are bold. A selection the user makes
// asks for that directory's page; a selection made by the browser does not.
// Its menu (the mouse's right button, the menu key or Shift+F10) holds what
// EntryMenuRules::directoryMenu gives; a directory dragged out asks for its files.
#pragma once

#include "document/DocumentHost.h"
#include "document/EntryMenuRules.h"

#include <QMenu>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class CHelperTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CHelperTree(QWidget* parent = nullptr);

    // Builds the tree of a freshly opened volume, expanded, with the model's
    // selection made (which asks for no page).
    void build(const VolumeBrowserModel& model);
    void clearTree();

    // The data of the selected item (-888 the root), if any.
    std::optional<int> selectedItemData() const;

    // The item with this data (-888 the root) or null.
    QTreeWidgetItem* itemFor(int itemData) const;

    // The menu's items for an item's data.
    using MenuRule = std::function<std::vector<EntryMenuItem>(int itemData)>;
    void setMenuRule(MenuRule rule) { m_menuRule = std::move(rule); }
    // The menu for `item`; null when it has no commands. Each action's data is its command.
    std::unique_ptr<QMenu> menuFor(QTreeWidgetItem* item);

public slots:
    // Selects a directory's item without asking for its page.
    void selectDirectory(int itemData);

signals:
    // The user selected an item (message 9999): its data, -888 for the root.
    void directoryPageRequested(int itemData);
    // A command of the item's menu.
    void commandChosen(int command, int itemData);
    // A directory is to be dragged out.
    void dragRequested(int itemData);

    // Files from a file manager were dropped on an item (its data).
    void filesDropped(int itemData, const QStringList& files);
    // The Delete key on a directory's item (not the root's).
    void deleteRequested(int itemData);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void onCurrentItemChanged(QTreeWidgetItem* current);
    void openMenu(QTreeWidgetItem* item, const QPoint& pos);

    std::unordered_map<int, QTreeWidgetItem*> m_items;
    MenuRule m_menuRule;
    bool m_bProgrammatic = false;
};
