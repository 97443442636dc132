#include "views/browser/CEntryListCtrl.h"

#include "common/MessageTable.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>

CEntryListCtrl::CEntryListCtrl(QWidget* parent) : QListView(parent)
{
    setObjectName("entryList");
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // One row height for all: a page of 100,000 entries lays out at once.
    setUniformItemSizes(true);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setIconSize(QSize(22, 16));
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) { emit entryPicked(i.row()); });
}

void CEntryListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex i = indexAt(event->position().toPoint());
    emit hovered(i.isValid() ? i.row() : -1);
    QListView::mouseMoveEvent(event);
}

void CEntryListCtrl::mousePressEvent(QMouseEvent* event)
{
    // The right button only opens the menu; it does not move the selection.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void CEntryListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

void CEntryListCtrl::keyPressEvent(QKeyEvent* event)
{
    m_bKeyboardMove = true;
    QListView::keyPressEvent(event);
    m_bKeyboardMove = false;
}

void CEntryListCtrl::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    // Mouse changes come as clicks; programmatic ones load nothing, also
    // those made while the pick of a keyboard move is handled (the selection
    // put back when a load was declined).
    if (m_bKeyboardMove && current.isValid()) {
        m_bKeyboardMove = false;
        emit entryPicked(current.row());
    }
}

std::unique_ptr<QMenu> CEntryListCtrl::menuFor(const QPoint& pos)
{
    const QModelIndex i = indexAt(pos);
    if (!i.isValid())
        return nullptr;
    const int entry = i.data(EntryPageModel::EntryIndexRole).toInt();
    auto menu = std::make_unique<QMenu>(this);
    auto add = [&](const QString& text, int command) {
        QAction* a = menu->addAction(text);
        a->setData(command);
        return a;
    };
    add(QStringLiteral("Exportieren"), CMD_EXTRACT);
    add(QStringLiteral("&Umbenennen"), CMD_RENAME);
    QAction* fromImage = add(QStringLiteral("Ersetzen (durch Bildbuffer)"), CMD_REPLACE_IMAGE);
    fromImage->setEnabled(entry >= 0 && m_replaceRule && m_replaceRule(entry));
    add(QStringLiteral("Ersetzen (durch Datei)"), CMD_REPLACE_FILE);
    menu->addSeparator();
    QAction* remove = add(QString::fromUtf8(korvix::msg(korvix::MessageId::EntryMenuDelete)), CMD_DELETE);
    remove->setShortcut(QKeySequence::Delete);
    return menu;
}

void CEntryListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    // A press of the menu key reports the list's centre; the item there is meant.
    const QPoint pos = event->reason() == QContextMenuEvent::Mouse ? event->pos()
                                                                     : visualRect(currentIndex()).center();
    std::unique_ptr<QMenu> menu = menuFor(pos);
    if (!menu)
        return;
    const QModelIndex i = indexAt(pos);
    auto* pageModel = qobject_cast<EntryPageModel*>(model());
    if (pageModel)
        pageModel->setBoldRow(i.row());
    emit menuOpened(i.data(Qt::DisplayRole).toString());
    const QAction* chosen = menu->exec(viewport()->mapToGlobal(pos));
    emit menuClosed();
    if (pageModel)
        pageModel->setBoldRow(-1);
    event->accept();
    // The command runs after the menu has gone and the status text is back.
    if (chosen)
        emit commandChosen(chosen->data().toInt(), i.row());
}
