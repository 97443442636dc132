#include "filetree/DiskFileFilter.h"

#include "document/DiskFileRules.h"

#include <QFileSystemModel>

DiskFileFilter::DiskFileFilter(QFileSystemModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), m_pSource(source)
{
    setSourceModel(source);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setDynamicSortFilter(true);
}

bool DiskFileFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex i = m_pSource->index(sourceRow, 0, sourceParent);
    return DiskFileRules::isListed(m_pSource->fileName(i).toStdString(), m_pSource->isDir(i));
}

bool DiskFileFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    // Folders before files, each by name without regard to case.
    const bool leftDir = m_pSource->isDir(left), rightDir = m_pSource->isDir(right);
    if (leftDir != rightDir)
        return leftDir;
    return m_pSource->fileName(left).compare(m_pSource->fileName(right), Qt::CaseInsensitive) < 0;
}

bool DiskFileFilter::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole)
        return QSortFilterProxyModel::setData(index, value, role);
    const QString oldPath = m_pSource->filePath(mapToSource(index));
    const QString newName = value.toString();
    if (newName.isEmpty() || newName == m_pSource->fileName(mapToSource(index)))
        return false;
    // The file-system model renames on disk and refuses an existing name.
    if (QSortFilterProxyModel::setData(index, value, role))
        return true;
    emit renameFailed(oldPath, newName);
    return false;
}
