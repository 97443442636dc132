// The disk file tree's items: one top-level item per shown mount, below each
// the folders (hidden ones too) and then the listed files of its folder, each
// group by name without regard to case. A folder is read when it is first
// expanded and from then on watched: a change on disk re-reads that folder
// only and inserts or removes just the rows that differ, so expanded items
// and the selection stay. A path below two mounts ("/" and "/home") has an
// item under each; both follow the disk.
#pragma once

#include <QAbstractItemModel>
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <memory>
#include <vector>

class DiskTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    struct Root {
        QString path;   // mount point, absolute
        QString label;  // shown text
    };

    explicit DiskTreeModel(QObject* parent = nullptr);
    ~DiskTreeModel() override;

    // Replaces the top level; everything read so far is forgotten.
    void setRoots(const QList<Root>& roots);

    QString filePath(const QModelIndex& index) const;
    bool isDir(const QModelIndex& index) const;
    bool isRoot(const QModelIndex& index) const;
    // The item of an absolute path below the mount that holds it most
    // closely, reading the folders on the way; invalid when a part is missing.
    QModelIndex indexOf(const QString& path);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Editing the label renames the file or folder on disk.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    void renameFailed(const QString& oldPath, const QString& newName);

private:
    struct Node;
    struct Entry {
        QString name;
        bool dir;
    };

    Node* node(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* n) const;
    QString pathOf(const Node* n) const;
    std::vector<Entry> readFolder(const QString& path) const;
    void populate(Node* n);
    void reread(Node* n);
    void forget(Node* n);
    void forgetChildren(Node* n);
    void renumber(Node* n, size_t from);
    void onFolderChanged(const QString& path);

    std::vector<std::unique_ptr<Node>> m_roots;
    QFileSystemWatcher m_watcher;
    QMultiHash<QString, Node*> m_watched;  // a read folder's path -> its items
    QSet<QString> m_changed;               // folders changed since the last reading
    QTimer m_rereadTimer;
    QFileIconProvider m_icons;
};
