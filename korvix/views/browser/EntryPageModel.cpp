#include "views/browser/EntryPageModel.h"

#include "views/browser/EntryStateIcons.h"

#include <QFont>

EntryPageModel::EntryPageModel(const VolumePages& pages, QObject* parent)
    : QAbstractListModel(parent), m_pages(pages)
{
}

const VolumePages::Page* EntryPageModel::shown() const
{
    return m_nPage >= 0 && m_nPage < m_pages.pageCount() ? &m_pages.page(m_nPage) : nullptr;
}

void EntryPageModel::setPage(int page)
{
    beginResetModel();
    m_nPage = page;
    m_nBoldRow = -1;
    endResetModel();
}

void EntryPageModel::reload()
{
    beginResetModel();
    endResetModel();
}

void EntryPageModel::textChanged(int row)
{
    const QModelIndex i = index(row);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void EntryPageModel::setBoldRow(int row)
{
    const int old = m_nBoldRow;
    m_nBoldRow = row;
    for (const int r : {old, row})
        if (r >= 0 && r < rowCount())
            emit dataChanged(index(r), index(r), {Qt::FontRole});
}

int EntryPageModel::rowCount(const QModelIndex& parent) const
{
    const VolumePages::Page* p = shown();
    return parent.isValid() || !p ? 0 : static_cast<int>(p->items.size());
}

int EntryPageModel::entryAt(int row) const
{
    const VolumePages::Page* p = shown();
    if (!p || row < 0 || static_cast<std::size_t>(row) >= p->items.size())
        return -1;
    return p->items[static_cast<std::size_t>(row)].index;
}

QVariant EntryPageModel::data(const QModelIndex& index, int role) const
{
    const VolumePages::Page* p = shown();
    if (!p || !index.isValid() || static_cast<std::size_t>(index.row()) >= p->items.size())
        return {};
    const VolumePages::Item& item = p->items[static_cast<std::size_t>(index.row())];
    // Names are ISO-8859-1, which is exactly what fromLatin1 reads.
    const auto text = [&] { return QString::fromLatin1(item.text.data(), static_cast<qsizetype>(item.text.size())); };
    switch (role) {
    case Qt::DisplayRole:
        return text();
    case Qt::ToolTipRole:
        // A damaged entry says why it cannot be read: its range and the volume's length.
        return item.damaged() ? text() + QLatin1Char('\n') + QString::fromStdString(item.damage) : text();
    case Qt::AccessibleDescriptionRole:
        return item.damaged() ? QString::fromStdString(item.damage) : QVariant();
    case Qt::DecorationRole:
        return item.damaged() ? EntryStateIcons::damaged() : EntryStateIcons::icon(item.kind);
    case Qt::FontRole:
        if (index.row() == m_nBoldRow) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case EntryIndexRole:
        return item.index;
    default:
        return {};
    }
}
