#include "views/browser/EntryPageModel.h"

#include "common/MessageTable.h"
#include "views/browser/CEntryFactsLoader.h"
#include "views/browser/EntryStateIcons.h"

#include <QFont>

using entrycolumns::Column;

EntryPageModel::EntryPageModel(const VolumePages& pages, QObject* parent) : QAbstractTableModel(parent), m_pages(pages)
{
}

void EntryPageModel::setFactsLoader(CEntryFactsLoader* loader)
{
    m_pFacts = loader;
    // The texture columns fill in as the facts arrive.
    connect(loader, &CEntryFactsLoader::factsReady, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, Column::FORMAT), index(rowCount() - 1, Column::MAPS), {Qt::DisplayRole});
    });
}

void EntryPageModel::reload()
{
    beginResetModel();
    m_nBoldRow = -1;
    endResetModel();
}

void EntryPageModel::textChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, entrycolumns::COUNT - 1));
}

void EntryPageModel::setBoldRow(int row)
{
    const int old = m_nBoldRow;
    m_nBoldRow = row;
    for (const int r : {old, row})
        if (r >= 0 && r < rowCount())
            emit dataChanged(index(r, 0), index(r, Column::COUNT - 1), {Qt::FontRole});
}

QModelIndex EntryPageModel::index(int row, int column, const QModelIndex& parent) const
{
    return QAbstractTableModel::index(row, column, parent);
}

int EntryPageModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_pages.rowCount();
}

int EntryPageModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Column::COUNT;
}

int EntryPageModel::entryAt(int row) const
{
    return m_pages.entryAtRow(row);
}

Qt::ItemFlags EntryPageModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Entries are dragged out as files.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QVariant EntryPageModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= Column::COUNT)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(korvix::msg(entrycolumns::title(static_cast<Column>(section))));
    if (role == Qt::TextAlignmentRole && section == Column::SIZE)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

// The item's text (ISO-8859-1, which is exactly what fromLatin1 reads); across
// all directories with the directories above it.
QString EntryPageModel::nameText(int row) const
{
    const VolumePages::Item& item = m_pages.itemAtRow(row);
    QString text = QString::fromLatin1(item.text.data(), static_cast<qsizetype>(item.text.size()));
    if (m_pages.listingAllPages() && m_records) {
        // The path needs the records; the lookup gives them one at a time.
        std::vector<int> chain;
        for (const EntryRecord* r = record(item.index); r && r->parent >= 0 && chain.size() < 256; r = record(r->parent))
            chain.push_back(r->parent);
        QString path;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            if (const EntryRecord* d = record(*it))
                path += QString::fromLatin1(d->name.view().data(), static_cast<qsizetype>(d->name.size())) + QLatin1Char('/');
        text.prepend(path);
    }
    return text;
}

QString EntryPageModel::factsText(int column, int entry) const
{
    const EntryRecord* r = record(entry);
    if (!m_pFacts || !r || r->kind != KIND_IMAGE)
        return {};
    const EntryFacts& f = m_pFacts->factsOf(entry);
    if (!f.known()) {
        // Drawn now, so wanted first; the column fills in when it comes.
        m_pFacts->request(entry);
        return {};
    }
    switch (column) {
    case Column::FORMAT: return QString::fromStdString(entrycolumns::formatText(f));
    case Column::DIMENSIONS: return QString::fromStdString(entrycolumns::dimensionsText(f));
    default: return QString::fromStdString(entrycolumns::mapsText(f));
    }
}

QVariant EntryPageModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_pages.rowCount())
        return {};
    const VolumePages::Item& item = m_pages.itemAtRow(index.row());
    const int column = index.column();
    if (role == EntryIndexRole)
        return item.index;
    if (role == Qt::FontRole) {
        if (index.row() != m_nBoldRow)
            return {};
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (column == Column::NAME) {
        switch (role) {
        case Qt::DisplayRole:
            return nameText(index.row());
        case Qt::ToolTipRole:
            // A damaged entry says why it cannot be read: its range and the volume's length.
            return item.damaged() ? nameText(index.row()) + QLatin1Char('\n') + QString::fromStdString(item.damage)
                                  : nameText(index.row());
        case Qt::AccessibleDescriptionRole:
            return item.damaged() ? QString::fromStdString(item.damage) : QVariant();
        case Qt::DecorationRole:
            return item.damaged() ? EntryStateIcons::damaged() : EntryStateIcons::icon(item.kind);
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole)
        return column == Column::SIZE || column == Column::MAPS ? QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter)
                                                                : QVariant();
    if (role != Qt::DisplayRole)
        return {};
    const EntryRecord* r = record(item.index);
    switch (column) {
    case Column::SIZE: return r ? QString::fromStdString(entrycolumns::sizeText(r->size)) : QString();
    case Column::TYPE: return r ? QString::fromStdString(entrycolumns::typeText(*r)) : QString();
    default: return factsText(column, item.index);
    }
}
