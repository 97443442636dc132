#include "views/browser/CEntryListCtrl.h"

#include "common/MessageTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

CEntryListCtrl::CEntryListCtrl(QWidget* parent)
    : QTreeView(parent), m_pInput(new EntryViewInput(*this)), m_pEmpty(new QLabel(viewport()))
{
    setObjectName("entryList");
    setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccEntryList)));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    // One row height for all: a page of 100,000 entries lays out at once.
    setUniformRowHeights(true);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setIconSize(QSize(22, 16));
    setTextElideMode(Qt::ElideMiddle);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &CEntryListCtrl::sortRequested);

    m_pEmpty->setObjectName("emptyListNotice");
    m_pEmpty->setWordWrap(true);
    m_pEmpty->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pEmpty->setContentsMargins(6, 12, 6, 6);
    m_pEmpty->hide();
}

void CEntryListCtrl::setModel(QAbstractItemModel* model)
{
    QTreeView::setModel(model);
    // Fixed starting widths: sizing a column to its contents would read every row.
    const QFontMetrics fm(font());
    const int widths[] = {fm.horizontalAdvance(QLatin1Char('x')) * 22, fm.horizontalAdvance(QStringLiteral("000.000.000")),
                          fm.horizontalAdvance(QStringLiteral("Sound/Sprachs")), fm.horizontalAdvance(QStringLiteral("RGBA 8888x")),
                          fm.horizontalAdvance(QStringLiteral("2048 × 2048x")), fm.horizontalAdvance(QStringLiteral("Maps_x"))};
    for (int c = 0; c < static_cast<int>(std::size(widths)) && c < header()->count(); ++c)
        header()->resizeSection(c, widths[c] + 12);
}

void CEntryListCtrl::setEmptyText(const QString& text)
{
    m_pEmpty->setText(text);
    m_pEmpty->setAccessibleName(text);
    m_pEmpty->setVisible(!text.isEmpty());
    m_pEmpty->setGeometry(viewport()->rect());
}

QString CEntryListCtrl::emptyText() const
{
    return m_pEmpty->isVisibleTo(viewport()) ? m_pEmpty->text() : QString();
}

void CEntryListCtrl::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    m_pEmpty->setGeometry(viewport()->rect());
}

void CEntryListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    m_pInput->mouseMove(event);
    QTreeView::mouseMoveEvent(event);
}

void CEntryListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (!m_pInput->mousePress(event))
        QTreeView::mousePressEvent(event);
}

void CEntryListCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_pInput->mouseDoubleClick(event))
        QTreeView::mouseDoubleClickEvent(event);
}

void CEntryListCtrl::keyPressEvent(QKeyEvent* event)
{
    if (m_pInput->keyPressBefore(event))
        return;
    QTreeView::keyPressEvent(event);
    m_pInput->keyPressAfter();
}

void CEntryListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    m_pInput->contextMenu(event);
}

void CEntryListCtrl::startDrag(Qt::DropActions)
{
    m_pInput->startDrag();
}
