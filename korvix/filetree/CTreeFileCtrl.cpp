#include "filetree/CTreeFileCtrl.h"

#include "common/MessageTable.h"
#include "document/DiskFileRules.h"
#include "filetree/CFilePropertiesDialog.h"
#include "filetree/DiskTreeModel.h"
#include "filetree/MountFilter.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QUrl>

namespace {

QString caption()
{
    return QString::fromUtf8(korvix::msg(korvix::MessageId::CaptionProgram));
}

// A message table text with its %s filled in by paths and names.
template <class... Strings>
QString text(korvix::MessageId id, const Strings&... args)
{
    return QString::fromStdString(korvix::MessageTable::format(id, args.toUtf8().constData()...));
}

}  // namespace

CTreeFileCtrl::CTreeFileCtrl(QWidget* parent)
    : QTreeView(parent), m_pModel(new DiskTreeModel(this))
{
    setObjectName("fileTree");
    setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccFileTree)));
    setModel(m_pModel);
    showMountedVolumes();
    m_mountTable.setFileName(QStringLiteral("/proc/self/mounts"));
    if (m_mountTable.open(QIODevice::ReadOnly)) {
        auto* changed = new QSocketNotifier(m_mountTable.handle(), QSocketNotifier::Exception, this);
        connect(changed, &QSocketNotifier::activated, this, &CTreeFileCtrl::showMountedVolumes);
    }
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Renaming starts only from the menu; F2 and the like stay dead.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(false);
    setExpandsOnDoubleClick(true);

    openExternally = [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    ask = [this](const QString& text) {
        return QMessageBox::question(this, caption(), text, QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    tell = [this](const QString& text) {
        QMessageBox::warning(this, caption(), text);
    };
    connect(m_pModel, &DiskTreeModel::renameFailed, this, [this](const QString& oldPath, const QString& newName) {
        tell(text(korvix::MessageId::FileTreeRenameFailedFormat, QDir::toNativeSeparators(oldPath), newName));
    });
}

void CTreeFileCtrl::showMountedVolumes()
{
    const QString path = selectedPath();
    const bool expanded = selectedExpanded();
    QList<DiskTreeModel::Root> roots;
    for (const MountFilter::Volume& v : MountFilter::shownVolumes())
        roots.push_back({v.path, v.label});
    m_pModel->setRoots(roots);
    if (!path.isEmpty())
        selectPath(path, expanded);
}

QString CTreeFileCtrl::itemPath(const QModelIndex& index) const
{
    return m_pModel->filePath(index);
}

QModelIndex CTreeFileCtrl::itemFromPath(const QString& path) const
{
    if (path.isEmpty())
        return {};
    return m_pModel->indexOf(path);
}

bool CTreeFileCtrl::isRoot(const QModelIndex& index) const
{
    return m_pModel->isRoot(index);
}

bool CTreeFileCtrl::selectPath(const QString& path, bool expand)
{
    const QModelIndex item = itemFromPath(QDir::cleanPath(path));
    if (!item.isValid())
        return false;
    for (QModelIndex p = item.parent(); p.isValid(); p = p.parent())
        QTreeView::expand(p);
    setCurrentIndex(item);
    scrollTo(item);
    if (expand)
        QTreeView::expand(item);
    return true;
}

QString CTreeFileCtrl::selectedPath() const
{
    return currentIndex().isValid() ? itemPath(currentIndex()) : QString();
}

bool CTreeFileCtrl::selectedExpanded() const
{
    return currentIndex().isValid() && isExpanded(currentIndex());
}

void CTreeFileCtrl::open(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const QString path = itemPath(index);
    if (DiskFileRules::opensInProgram(path.toLower().toStdString()))
        emit openInProgram(path);
    else if (openExternally)
        openExternally(path);
}

void CTreeFileCtrl::openSelected()
{
    open(currentIndex());
}

void CTreeFileCtrl::renameSelected()
{
    const QModelIndex i = currentIndex();
    if (!i.isValid() || isRoot(i))
        return;
    edit(i);
}

void CTreeFileCtrl::deleteSelected(bool permanently)
{
    const QModelIndex i = currentIndex();
    if (!i.isValid() || isRoot(i))
        return;
    const QString path = itemPath(i);
    const QFileInfo info(path);
    bool done = false;
    if (permanently) {
        if (!ask(text(korvix::MessageId::FileTreeDeleteQuestionFormat, QDir::toNativeSeparators(path))))
            return;
        done = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    } else {
        done = QFile::moveToTrash(path);
    }
    if (!done)
        tell(text(korvix::MessageId::FileTreeDeleteFailedFormat, QDir::toNativeSeparators(path)));
}

void CTreeFileCtrl::propertiesOfSelected()
{
    const QModelIndex i = currentIndex();
    if (!i.isValid())
        return;
    CFilePropertiesDialog dialog(itemPath(i), this);
    dialog.exec();
}

std::unique_ptr<QMenu> CTreeFileCtrl::contextMenu()
{
    // All four entries are always offered; each command checks its own case.
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(QStringLiteral("&Öffnen"), this, &CTreeFileCtrl::openSelected);
    menu->addAction(QStringLiteral("&Umbenennen"), this, &CTreeFileCtrl::renameSelected);
    menu->addAction(QStringLiteral("&Löschen"), this, [this] {
        deleteSelected(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    });
    menu->addAction(QStringLiteral("&Eigenschaften"), this, &CTreeFileCtrl::propertiesOfSelected);
    return menu;
}

void CTreeFileCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    QPoint pos = event->pos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex i = indexAt(viewport()->mapFrom(this, pos));
        if (i.isValid())
            setCurrentIndex(i);
        pos = viewport()->mapFrom(this, pos);
    } else {
        // From the keyboard: at the middle of the selected item's label.
        pos = visualRect(currentIndex()).center();
    }
    contextMenu()->exec(viewport()->mapToGlobal(pos));
    event->accept();
}

void CTreeFileCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex i = indexAt(event->position().toPoint());
    if (!i.isValid() || event->button() != Qt::LeftButton) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    setCurrentIndex(i);
    event->accept();
    // A folder toggles itself here: the view's own double click expands only
    // what is already read, and a folder is read when first expanded.
    if (m_pModel->isDir(i))
        setExpanded(i, !isExpanded(i));
    else
        open(i);
}

void CTreeFileCtrl::keyPressEvent(QKeyEvent* event)
{
    if (state() == QAbstractItemView::EditingState) {
        QTreeView::keyPressEvent(event);
        return;
    }
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!alt)
            openSelected();
        event->accept();  // Alt+Enter: nothing
        return;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_F2:
    case Qt::Key_F5:
        event->accept();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (alt) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QTreeView::keyPressEvent(event);
}
