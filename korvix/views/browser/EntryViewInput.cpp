#include "views/browser/EntryViewInput.h"

#include "document/CommandIds.h"
#include "views/browser/EntryPageModel.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <set>

EntryViewInput::EntryViewInput(QAbstractItemView& view) : QObject(&view), m_view(view)
{
    connect(&view, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) { clicked(i.row()); });
}

std::vector<int> EntryViewInput::selectedEntries() const
{
    const QItemSelectionModel* selection = m_view.selectionModel();
    if (!selection)
        return {};
    std::set<int> rows;
    for (const QItemSelectionRange& range : selection->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.insert(r);
    std::vector<int> entries;
    entries.reserve(rows.size());
    for (const int r : rows) {
        const int e = m_view.model()->index(r, 0).data(EntryPageModel::EntryIndexRole).toInt();
        if (e >= 0)
            entries.push_back(e);
    }
    return entries;
}

void EntryViewInput::pickIfSingle()
{
    const auto entry = EntryMenuRules::entryToLoad(selectedEntries());
    if (!entry)
        return;
    // The row of the one selected entry: the current row when it is the one.
    const QModelIndex current = m_view.currentIndex();
    if (current.isValid() && current.data(EntryPageModel::EntryIndexRole).toInt() == *entry) {
        emit entryPicked(current.row());
        return;
    }
    for (const QItemSelectionRange& range : m_view.selectionModel()->selection())
        if (range.top() >= 0) {
            emit entryPicked(range.top());
            return;
        }
}

void EntryViewInput::clicked(int)
{
    pickIfSingle();
}

bool EntryViewInput::mousePress(QMouseEvent* event)
{
    // The right button only opens the menu; it does not move the selection.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return true;
    }
    return false;
}

bool EntryViewInput::mouseDoubleClick(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return true;
    }
    return false;
}

void EntryViewInput::mouseMove(QMouseEvent* event)
{
    const QModelIndex i = m_view.indexAt(event->position().toPoint());
    emit hovered(i.isValid() ? i.row() : -1);
}

bool EntryViewInput::keyPressBefore(QKeyEvent* event)
{
    m_nKeyCurrent = -1;
    const QModelIndex current = m_view.currentIndex();
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (event->key() == Qt::Key_F2 && plain) {
        const std::vector<int> selected = selectedEntries();
        if (selected.size() == 1)
            emit commandChosen(ID_ENTRY_RENAME, selected, m_view.currentIndex().row());
        event->accept();
        return true;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain) {
        // Enter loads the current entry, which becomes the only one selected.
        if (current.isValid()) {
            m_view.selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect
                                                                  | QItemSelectionModel::Rows);
            emit entryPicked(current.row());
        }
        event->accept();
        return true;
    }
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        const QPoint centre = m_view.viewport()->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, centre, m_view.viewport()->mapToGlobal(centre));
        contextMenu(&menu);
        event->accept();
        return true;
    }
    m_nKeyCurrent = current.isValid() ? current.row() : -1;
    return false;
}

void EntryViewInput::keyPressAfter()
{
    const QModelIndex current = m_view.currentIndex();
    const int before = m_nKeyCurrent;
    m_nKeyCurrent = -1;
    // Only a move of the current entry picks (Ctrl+A, say, moves nothing).
    if (current.isValid() && current.row() != before)
        pickIfSingle();
}

std::unique_ptr<QMenu> EntryViewInput::menuFor(const QPoint& pos)
{
    const QModelIndex i = m_view.indexAt(pos);
    if (!i.isValid())
        return nullptr;
    const int entry = i.data(EntryPageModel::EntryIndexRole).toInt();
    const std::vector<int> targets = EntryMenuRules::menuTargets(entry, selectedEntries());
    auto menu = std::make_unique<QMenu>(&m_view);
    menu->setProperty("entries", QVariant::fromValue(QList<int>(targets.begin(), targets.end())));
    const std::vector<EntryMenuItem> items = m_menuRule ? m_menuRule(targets) : EntryMenuRules::entryMenu(nullptr, targets);
    for (const EntryMenuItem& item : items) {
        QAction* a = menu->addAction(QString::fromUtf8(korvix::msg(item.text)));
        a->setData(item.command);
        a->setEnabled(item.enabled);
    }
    return menu;
}

void EntryViewInput::contextMenu(QContextMenuEvent* event)
{
    // A menu key reports the view's centre; the current item is meant.
    const QPoint pos = event->reason() == QContextMenuEvent::Mouse ? event->pos()
                                                                     : m_view.visualRect(m_view.currentIndex()).center();
    std::unique_ptr<QMenu> menu = menuFor(pos);
    if (!menu)
        return;
    const QModelIndex i = m_view.indexAt(pos);
    const QList<int> targets = menu->property("entries").value<QList<int>>();
    auto* pageModel = qobject_cast<EntryPageModel*>(m_view.model());
    if (pageModel)
        pageModel->setBoldRow(i.row());
    emit menuOpened(i.siblingAtColumn(0).data(Qt::DisplayRole).toString());
    const QAction* chosen = menu->exec(m_view.viewport()->mapToGlobal(pos));
    emit menuClosed();
    if (pageModel)
        pageModel->setBoldRow(-1);
    event->accept();
    // The command runs after the menu has gone and the status text is back.
    if (chosen)
        emit commandChosen(chosen->data().toInt(), std::vector<int>(targets.begin(), targets.end()), i.row());
}

void EntryViewInput::startDrag()
{
    const std::vector<int> entries = selectedEntries();
    if (!entries.empty())
        emit dragRequested(entries);
}
