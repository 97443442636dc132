#include "views/browser/CThumbnailView.h"

#include "common/MessageTable.h"
#include "views/browser/CThumbnailLoader.h"
#include "views/browser/EntryPageModel.h"
#include "views/browser/EntryStateIcons.h"

#include <QApplication>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int PADDING = 6;
// Room beside the picture for a name of about fifteen characters below it.
constexpr int NAME_ROOM = 24;

// A checkerboard under pictures with alpha, as the picture view shows them.
const QBrush& checkerboard()
{
    static const QBrush brush = [] {
        QPixmap tile(16, 16);
        tile.fill(QColor(0xCC, 0xCC, 0xCC));
        QPainter p(&tile);
        p.fillRect(0, 0, 8, 8, QColor(0xFF, 0xFF, 0xFF));
        p.fillRect(8, 8, 8, 8, QColor(0xFF, 0xFF, 0xFF));
        return QBrush(tile);
    }();
    return brush;
}

class ThumbnailDelegate : public QStyledItemDelegate {
public:
    ThumbnailDelegate(CThumbnailLoader& loader, CThumbnailView::RecordLookup record, QObject* parent)
        : QStyledItemDelegate(parent), m_loader(loader), m_record(std::move(record))
    {
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        const int side = m_loader.size();
        return {side + 2 * PADDING + NAME_ROOM, side + option.fontMetrics.height() + 3 * PADDING};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        // The whole cell, picture and name, shows the selection.
        opt.showDecorationSelected = true;
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

        const int side = m_loader.size();
        const QRect picture(opt.rect.x() + (opt.rect.width() - side) / 2, opt.rect.y() + PADDING, side, side);
        const int entry = index.data(EntryPageModel::EntryIndexRole).toInt();
        const EntryRecord* r = m_record ? m_record(entry) : nullptr;
        QImage image;
        if (r && r->kind == KIND_IMAGE) {
            image = m_loader.thumbnail(entry);
            // The thumbnails the view draws are made first.
            if (image.isNull() && !m_loader.failed(entry))
                m_loader.request({entry, r->offset, r->size});
        }
        if (!image.isNull()) {
            const QRect at(picture.x() + (side - image.width()) / 2, picture.y() + (side - image.height()) / 2,
                           image.width(), image.height());
            if (image.hasAlphaChannel())
                painter->fillRect(at, checkerboard());
            painter->drawImage(at, image);
        } else {
            const QIcon& icon = EntryStateIcons::icon(r ? r->kind : 0);
            const int iconSide = side / 2;
            icon.paint(painter, QRect(picture.center().x() - iconSide / 2, picture.center().y() - iconSide / 2,
                                      iconSide, iconSide));
        }

        const QRect text(opt.rect.x() + 2, picture.bottom() + PADDING, opt.rect.width() - 4,
                         opt.fontMetrics.height());
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter,
                          opt.fontMetrics.elidedText(opt.text, Qt::ElideMiddle, text.width()));
        painter->restore();
    }

private:
    CThumbnailLoader& m_loader;
    CThumbnailView::RecordLookup m_record;
};

}  // namespace

CThumbnailView::CThumbnailView(CThumbnailLoader& loader, RecordLookup record, QWidget* parent)
    : QListView(parent), m_pInput(new EntryViewInput(*this))
{
    setObjectName("thumbnailView");
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setUniformItemSizes(true);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::ThumbViewName)));
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setSelectionRectVisible(false);
    setItemDelegate(new ThumbnailDelegate(loader, std::move(record), this));
    connect(&loader, &CThumbnailLoader::thumbnailReady, viewport(), qOverload<>(&QWidget::update));
    updateCellSize();
}

void CThumbnailView::updateCellSize()
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QSize cell = itemDelegate()->sizeHint(option, {});
    setGridSize(cell);
    setIconSize(cell);
    scheduleDelayedItemsLayout();
}

QIcon CThumbnailView::toggleIcon(bool large)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QColor(0x0D, 0x1D, 0x40));
    p.setBrush(QColor(0x6D, 0x8F, 0xD6));
    if (large) {
        p.drawRect(1, 1, 13, 13);
    } else {
        for (const int y : {1, 9})
            for (const int x : {1, 9})
                p.drawRect(x, y, 5, 5);
    }
    return QIcon(pixmap);
}

void CThumbnailView::mouseMoveEvent(QMouseEvent* event)
{
    m_pInput->mouseMove(event);
    QListView::mouseMoveEvent(event);
}

void CThumbnailView::mousePressEvent(QMouseEvent* event)
{
    if (!m_pInput->mousePress(event))
        QListView::mousePressEvent(event);
}

void CThumbnailView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_pInput->mouseDoubleClick(event))
        QListView::mouseDoubleClickEvent(event);
}

void CThumbnailView::keyPressEvent(QKeyEvent* event)
{
    if (m_pInput->keyPressBefore(event))
        return;
    QListView::keyPressEvent(event);
    m_pInput->keyPressAfter();
}

void CThumbnailView::contextMenuEvent(QContextMenuEvent* event)
{
    m_pInput->contextMenu(event);
}

void CThumbnailView::startDrag(Qt::DropActions)
{
    m_pInput->startDrag();
}
