// Leaves out what the disk file tree does not list (hidden files; hidden
// folders stay), and refuses renames that fail so the tree can say so.
#pragma once

#include <QSortFilterProxyModel>

class QFileSystemModel;

class DiskFileFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit DiskFileFilter(QFileSystemModel* source, QObject* parent = nullptr);

    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void renameFailed(const QString& oldPath, const QString& newName);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QFileSystemModel* m_pSource;
};
