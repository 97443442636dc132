#include "filetree/CFileTreeView.h"

#include "document/CKestrelDoc.h"
#include "filetree/CTreeFileCtrl.h"

#include <QSettings>
#include <QVBoxLayout>

namespace {

// The given store, or the program's own for the length of the call.
template <typename Fn>
void withSettings(QSettings* given, Fn fn)
{
    if (given) {
        fn(*given);
        return;
    }
    QSettings own(QStringLiteral("Tessarin"), QStringLiteral("Korvix"));
    fn(own);
}

}  // namespace

CFileTreeView::CFileTreeView(QWidget* parent, QSettings* settings)
    : QWidget(parent), m_pTree(new CTreeFileCtrl(this)), m_pSettings(settings)
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
    QVariant path, expanded;
    withSettings(m_pSettings, [&](QSettings& s) {
        path = s.value(QStringLiteral("Settings/FTreePath"));
        expanded = s.value(QStringLiteral("Settings/FTreeExpanded"));
    });
    // A value of the wrong type counts as absent.
    bool ok = false;
    const int expandedValue = expanded.toInt(&ok);
    if (path.canConvert<QString>() && !path.toString().isEmpty())
        m_pTree->selectPath(path.toString(), ok && expandedValue != 0);
}

void CFileTreeView::saveSelection() const
{
    withSettings(m_pSettings, [this](QSettings& s) {
        s.setValue(QStringLiteral("Settings/FTreePath"), m_pTree->selectedPath());
        s.setValue(QStringLiteral("Settings/FTreeExpanded"), m_pTree->selectedExpanded() ? 1 : 0);
    });
}
