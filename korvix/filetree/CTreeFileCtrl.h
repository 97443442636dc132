// The disk file tree: the mounted file systems, each with its folders before
// its files, hidden files left out. Opens files with a double click or Enter (the
// program's own types in the program, others with the desktop's default
// application), renames by editing the label, deletes to the trash (Shift:
// for good, after a question) and shows a properties dialog. The model
// watches the folders it has read, so the tree follows the disk.
#pragma once

#include <QFile>
#include <QTreeView>

#include <functional>

class DiskTreeModel;
class QMenu;

class CTreeFileCtrl : public QTreeView {
    Q_OBJECT
public:
    enum Command { CMD_OPEN = 32782, CMD_DELETE = 32783, CMD_RENAME = 32784, CMD_PROPERTIES = 32785 };

    explicit CTreeFileCtrl(QWidget* parent = nullptr);

    // Shows the mounted file systems that MountFilter lets through as the top
    // level, keeping the selected path and whether it is expanded. Runs by
    // itself whenever the system's mount table changes (a stick plugged in).
    void showMountedVolumes();

    QString itemPath(const QModelIndex& index) const;
    QModelIndex itemFromPath(const QString& path) const;
    // Selects a path's item, expanding the way there; expands the item too
    // when `expand` is set. False when the path is not in the tree.
    bool selectPath(const QString& path, bool expand);
    QString selectedPath() const;
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    bool selectedExpanded() const;
    // A mount point is not renamed or deleted.
    bool isRoot(const QModelIndex& index) const;

    // The four commands on the selected item.
    void openSelected();
    void renameSelected();
    // Moves the selected item to the trash, or deletes it for good after a
    // question when `permanently` is set.
    void deleteSelected(bool permanently);
    void propertiesOfSelected();

    std::unique_ptr<QMenu> contextMenu();

    // Hooks for the outside world, replaceable by tests: the desktop's default
    // application, and yes/no questions and notices.
    std::function<void(const QString& path)> openExternally;
    std::function<bool(const QString& text)> ask;
    std::function<void(const QString& text)> tell;

    DiskTreeModel* diskModel() const { return m_pModel; }

signals:
    // A file of one of the program's types to open (the document's dispatch).
    void openInProgram(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void open(const QModelIndex& index);

    DiskTreeModel* m_pModel;
    // The mount table, which the kernel marks when something is mounted or
    // unmounted; one notifier instead of polling.
    QFile m_mountTable;
};
