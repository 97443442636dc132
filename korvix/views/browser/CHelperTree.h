// The volume's directory tree: the root item for the volume itself, then its
// directories; directories that hold files are bold. A selection the user makes
// asks for that directory's page; a selection made by the browser does not.
#pragma once

#include "document/DocumentHost.h"

#include <QTreeWidget>

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

public slots:
    // Selects a directory's item without asking for its page.
    void selectDirectory(int itemData);

signals:
    // The user selected an item (message 9999): its data, -888 for the root.
    void directoryPageRequested(int itemData);
    // Files from a file manager were dropped on an item (its data).
    void filesDropped(int itemData, const QStringList& files);
    // The Delete key on a directory's item (not the root's).
    void deleteRequested(int itemData);

private:
    void onCurrentItemChanged(QTreeWidgetItem* current);

    std::unordered_map<int, QTreeWidgetItem*> m_items;
    bool m_bProgrammatic = false;
};
