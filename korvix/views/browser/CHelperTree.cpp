#include "views/browser/CHelperTree.h"

#include "common/MessageTable.h"
#include "document/EntryRecord.h"
#include "views/browser/CFileDropFilter.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>

namespace {

QIcon directoryIcon(const QStyle* style)
{
    // Closed folder normally, open folder while selected.
    QIcon icon;
    icon.addPixmap(style->standardIcon(QStyle::SP_DirClosedIcon).pixmap(16), QIcon::Normal);
    icon.addPixmap(style->standardIcon(QStyle::SP_DirOpenIcon).pixmap(16), QIcon::Selected);
    return icon;
}

}  // namespace

CHelperTree::CHelperTree(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName("helperTree");
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMouseTracking(true);  // hot tracking
    setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccDirectoryTree)));
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { onCurrentItemChanged(current); });
    // Files dropped on an item go into that directory.
    auto* drops = new CFileDropFilter(viewport(), [this](const QPoint& at) { return itemAt(at) != nullptr; });
    connect(drops, &CFileDropFilter::filesDropped, this, [this](const QStringList& files, const QPoint& at) {
        if (const QTreeWidgetItem* item = itemAt(at))
            emit filesDropped(item->data(0, Qt::UserRole).toInt(), files);
    });
    connect(new QShortcut(QKeySequence::Delete, this, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated, this,
            [this] {
                if (const auto item = selectedItemData(); item && *item != ITEM_VOLUME_ROOT)
                    emit deleteRequested(*item);
            });
}

void CHelperTree::clearTree()
{
    const QSignalBlocker block(this);
    clear();
    m_items.clear();
}

void CHelperTree::build(const VolumeBrowserModel& model)
{
    setUpdatesEnabled(false);
    clearTree();
    const QIcon icon = directoryIcon(style());
    auto makeItem = [&](QTreeWidgetItem* parent, const std::string& name, int data, bool bold) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(name));
        item->setIcon(0, icon);
        item->setData(0, Qt::UserRole, data);
        if (bold) {
            QFont f = item->font(0);
            f.setBold(true);
            item->setFont(0, f);
        }
        m_items[data] = item;
        return item;
    };
    {
        const QSignalBlocker block(this);
        QTreeWidgetItem* root = makeItem(nullptr, model.rootName, ITEM_VOLUME_ROOT, model.rootBold);
        for (const auto& d : model.directories) {
            auto parent = m_items.find(d.parent == PARENT_TOP_LEVEL ? ITEM_VOLUME_ROOT : d.parent);
            makeItem(parent == m_items.end() ? root : parent->second, d.name, d.index, d.bold);
        }
        expandAll();
    }
    if (model.selectedItem != -1)
        selectDirectory(model.selectedItem);
    setUpdatesEnabled(true);
}

std::optional<int> CHelperTree::selectedItemData() const
{
    const QTreeWidgetItem* item = currentItem();
    if (!item)
        return std::nullopt;
    return item->data(0, Qt::UserRole).toInt();
}

QTreeWidgetItem* CHelperTree::itemFor(int itemData) const
{
    const auto it = m_items.find(itemData);
    return it == m_items.end() ? nullptr : it->second;
}

void CHelperTree::selectDirectory(int itemData)
{
    QTreeWidgetItem* item = itemFor(itemData);
    if (!item)
        return;
    m_bProgrammatic = true;
    setCurrentItem(item);
    scrollToItem(item);
    m_bProgrammatic = false;
}

void CHelperTree::onCurrentItemChanged(QTreeWidgetItem* current)
{
    // Covers mouse, keyboard, and a collapse that moves the selection onto the
    // collapsed item; the browser's own selections send nothing.
    if (m_bProgrammatic || !current)
        return;
    emit directoryPageRequested(current->data(0, Qt::UserRole).toInt());
}

std::unique_ptr<QMenu> CHelperTree::menuFor(QTreeWidgetItem* item)
{
    if (!item || !m_menuRule)
        return nullptr;
    const std::vector<EntryMenuItem> items = m_menuRule(item->data(0, Qt::UserRole).toInt());
    if (items.empty())
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    for (const EntryMenuItem& i : items) {
        QAction* a = menu->addAction(QString::fromUtf8(korvix::msg(i.text)));
        a->setData(i.command);
        a->setEnabled(i.enabled);
    }
    return menu;
}

void CHelperTree::openMenu(QTreeWidgetItem* item, const QPoint& pos)
{
    std::unique_ptr<QMenu> menu = menuFor(item);
    if (!menu)
        return;
    const int itemData = item->data(0, Qt::UserRole).toInt();
    const QAction* chosen = menu->exec(viewport()->mapToGlobal(pos));
    // The command runs after the menu has gone.
    if (chosen)
        emit commandChosen(chosen->data().toInt(), itemData);
}

void CHelperTree::contextMenuEvent(QContextMenuEvent* event)
{
    // A menu key means the current item; the mouse the item under it (which
    // the right button does not select).
    QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
    if (!item)
        return;
    const QPoint pos = event->reason() == QContextMenuEvent::Mouse ? event->pos() : visualItemRect(item).center();
    event->accept();
    openMenu(item, pos);
}

void CHelperTree::mousePressEvent(QMouseEvent* event)
{
    // The right button opens the menu of the item under it without selecting
    // it: the shown page stays.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CHelperTree::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        if (QTreeWidgetItem* item = currentItem())
            openMenu(item, visualItemRect(item).center());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CHelperTree::startDrag(Qt::DropActions)
{
    // A directory, not the volume's root item.
    const QTreeWidgetItem* item = currentItem();
    if (item && item->data(0, Qt::UserRole).toInt() >= 0)
        emit dragRequested(item->data(0, Qt::UserRole).toInt());
}
