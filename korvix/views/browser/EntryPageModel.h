// What the volume browser lists, as a Qt table model: a view over the listing
// VolumePages holds (the shown page, filtered, or the matches of every page),
// so that a page of 100,000 entries costs no copy of its own. One row per
// listed entry, the columns of entrycolumns::Column; the texts come from the
// core's rules, the texture columns from the facts loader, asked for as rows
// are drawn. The model follows page switches, filters and sorts by a reset.
#pragma once

#include "document/VolumePages.h"

#include <QAbstractTableModel>

#include <functional>

class CEntryFactsLoader;

class EntryPageModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int EntryIndexRole = Qt::UserRole + 1;
    using RecordLookup = std::function<const EntryRecord*(int entry)>;

    EntryPageModel(const VolumePages& pages, QObject* parent = nullptr);

    // Where the records and the texture facts come from; either may be unset
    // (then those columns stay empty).
    void setRecords(RecordLookup records) { m_records = std::move(records); }
    void setFactsLoader(CEntryFactsLoader* loader);

    // The listing changed (page, filter, order, texts): every row is read again.
    void reload();
    void textChanged(int row);
    // The row shown in bold while the context menu is open; -1 none.
    void setBoldRow(int row);

    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int entryAt(int row) const;

private:
    const EntryRecord* record(int entry) const { return m_records ? m_records(entry) : nullptr; }
    QString nameText(int row) const;
    QString factsText(int column, int entry) const;

    const VolumePages& m_pages;
    RecordLookup m_records;
    CEntryFactsLoader* m_pFacts = nullptr;
    int m_nBoldRow = -1;
};
