// The shown page of the volume browser as a Qt list model: a view over the
// page's items held by VolumePages, so that a page of 100,000 entries costs no
// copy of its own. The model follows page switches and sorts by a reset.
#pragma once

#include "document/VolumePages.h"

#include <QAbstractListModel>

class EntryPageModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int EntryIndexRole = Qt::UserRole + 1;

    explicit EntryPageModel(const VolumePages& pages, QObject* parent = nullptr);

    // The page whose items the model lists; -1 for none.
    void setPage(int page);
    int page() const { return m_nPage; }
    // The items changed order or text: every row is read again.
    void reload();
    void textChanged(int row);
    // The row shown in bold while the context menu is open; -1 none.
    void setBoldRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int entryAt(int row) const;

private:
    const VolumePages::Page* shown() const;

    const VolumePages& m_pages;
    int m_nPage = -1;
    int m_nBoldRow = -1;
};
