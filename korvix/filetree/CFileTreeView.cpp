#include "filetree/CFileTreeView.h"

#include "document/CKestrelDoc.h"
#include "filetree/CTreeFileCtrl.h"

#include <QSettings>
#include <QVBoxLayout>

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("Tessarin"), QStringLiteral("Korvix"));
}

}  // namespace

CFileTreeView::CFileTreeView(QWidget* parent) : QWidget(parent), m_pTree(new CTreeFileCtrl(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pTree);
    setFocusProxy(m_pTree);
    // Queued, as the open request is posted: the tree finishes its own event
    // before the document opens the file.
    connect(m_pTree, &CTreeFileCtrl::openInProgram, this, [this](const QString& path) {
        if (m_pDoc)
            m_pDoc->openFile(path.toStdString(), false);
    }, Qt::QueuedConnection);
}

CFileTreeView::~CFileTreeView()
{
    if (m_bRestored)
        saveSelection();
}

void CFileTreeView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_bRestored)
        restoreSelection();
}

void CFileTreeView::restoreSelection()
{
    m_bRestored = true;
    QSettings s = settings();
    s.beginGroup(QStringLiteral("Settings"));
    // A value of the wrong type counts as absent.
    const QVariant path = s.value(QStringLiteral("FTreePath"));
    const QVariant expanded = s.value(QStringLiteral("FTreeExpanded"));
    bool ok = false;
    const int expandedValue = expanded.toInt(&ok);
    if (path.canConvert<QString>() && !path.toString().isEmpty())
        m_pTree->selectPath(path.toString(), ok && expandedValue != 0);
}

void CFileTreeView::saveSelection() const
{
    QSettings s = settings();
    s.beginGroup(QStringLiteral("Settings"));
    s.setValue(QStringLiteral("FTreePath"), m_pTree->selectedPath());
    s.setValue(QStringLiteral("FTreeExpanded"), m_pTree->selectedExpanded() ? 1 : 0);
}
