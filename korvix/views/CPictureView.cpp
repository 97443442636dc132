#include "views/CPictureView.h"

#include "document/CKestrelDoc.h"
#include "document/ReducedPicture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

CPictureView::CPictureView(QWidget* parent) : QAbstractScrollArea(parent)
{
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    updateScrollRange();
}

CPictureView::~CPictureView() = default;

const PixelBitmap* CPictureView::drawnBitmap() const
{
    if (!m_pDoc || !m_pDoc->shown())
        return nullptr;
    if (m_bSmooth && m_pSmoothed)
        return m_pSmoothed.get();
    return m_pDoc->shown();
}

PictureGeometry CPictureView::pictureGeometry() const
{
    PictureGeometry g;
    g.clientWidth = viewport()->width();
    g.clientHeight = viewport()->height();
    if (m_pDoc && m_pDoc->shown()) {
        g.imageWidth = m_pDoc->shown()->width();
        g.imageHeight = m_pDoc->shown()->height();
    }
    g.setZoomFactor(m_zoom);
    g.scrollX = horizontalScrollBar()->value();
    g.scrollY = verticalScrollBar()->value();
    // The room the picture has once it fits and needs no scroll bars.
    const QSize area = maximumViewportSize();
    g.areaWidth = area.width();
    g.areaHeight = area.height();
    return g;
}

SelectionTracker* CPictureView::tracker() const
{
    return m_pDoc ? &m_pDoc->tracker() : nullptr;
}

QRect CPictureView::imageRectOnScreen() const
{
    const PictureGeometry g = pictureGeometry();
    return QRect(g.originX() - g.scrollX, g.originY() - g.scrollY, g.zoomedWidth(), g.zoomedHeight());
}

void CPictureView::updateScrollRange()
{
    const PictureGeometry g = pictureGeometry();
    // The framework's defaults: a page is the client size, a line a tenth of it.
    auto set = [](QScrollBar* bar, int limit, int page) {
        bar->setRange(0, limit);
        bar->setPageStep(std::max(1, page));
        bar->setSingleStep(std::max(1, page / 10));
    };
    set(horizontalScrollBar(), g.scrollLimitX(), g.clientWidth);
    set(verticalScrollBar(), g.scrollLimitY(), g.clientHeight);
}

void CPictureView::refresh()
{
    // The picture may have changed: a reduced copy is made again when drawn.
    m_pReducedFrom = nullptr;
    updateScrollRange();
    viewport()->update();
}

void CPictureView::setZoom(float factor)
{
    if (factor == m_zoom)
        return;
    const PictureGeometry old = pictureGeometry();
    m_zoom = factor;
    refresh();
    if (m_pDoc)
        m_pDoc->setZoomCopy(factor);
    if (SelectionTracker* t = tracker())
        t->rescaleSelection(old.zoom, pictureGeometry(), old.reduction);
    emit statusText(1, QString::fromStdString(pictureZoomText(factor)));
}

void CPictureView::resetZoom()
{
    if (m_zoom == 1.0f)
        return;
    const PictureGeometry old = pictureGeometry();
    m_zoom = 1.0f;
    updateScrollRange();
    if (m_pDoc)
        m_pDoc->setZoomCopy(1.0f);
    if (SelectionTracker* t = tracker())
        t->rescaleSelection(old.zoom, pictureGeometry(), old.reduction);
    emit statusText(1, QString::fromStdString(pictureZoomText(1)));
}

void CPictureView::fullUpdate()
{
    if (!m_pDoc || !m_pDoc->shown()) {
        emit statusText(0, QStringLiteral(" "));
        emit statusText(1, QStringLiteral(" "));
        refresh();
        return;
    }
    if (m_bSmooth) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_pSmoothed = m_pDoc->smoothedImage();
        QApplication::restoreOverrideCursor();
    }
    refresh();
    if (SelectionTracker* t = tracker())
        t->placeSelection(pictureGeometry());
    const PixelBitmap& shown = *m_pDoc->shown();
    emit statusText(0, QString::fromStdString(pictureSizeText(shown.width(), shown.height())));
    emit statusText(1, QString::fromStdString(pictureZoomText(m_zoom)));
}

void CPictureView::setSmooth(bool on)
{
    m_bSmooth = on;
    if (!on)
        m_pSmoothed.reset();
}

void CPictureView::setBackgroundLevel(int level)
{
    level = std::clamp(level, 0, 255);
    m_background = QColor(level, level, level);
    viewport()->update();
}

const PixelBitmap* CPictureView::reducedBitmap(const PixelBitmap& from, int reduction) const
{
    if (m_pReducedFrom != &from || m_nReducedBy != reduction) {
        m_reduced = reducedPicture(from, reduction);
        m_pReducedFrom = &from;
        m_nReducedBy = reduction;
    }
    return &m_reduced;
}

// Draws the visible part of the bitmap, one stored row at a time: each row is
// wrapped in a QImage without copying (the bitmap keeps its rows bottom-up, so
// one image over the whole block would stand on its head), and every picture
// pixel becomes a zoom x zoom block with no smoothing. A reduction draws the
// area-averaged copy at 1:1.
void CPictureView::drawPicture(QPainter& painter, const QRect& clip, const PictureGeometry& g) const
{
    const PixelBitmap* bmp = drawnBitmap();
    if (!bmp || bmp->bitsPerPixel() != 32 || bmp->width() != g.imageWidth || bmp->height() != g.imageHeight)
        return;
    if (g.reduction > 1)
        bmp = reducedBitmap(*bmp, g.reduction);
    const int z = g.zoom;
    const int left = g.originX() - g.scrollX;  // client position of pixel (0, 0)
    const int top = g.originY() - g.scrollY;
    const QRect visible = clip.intersected(QRect(left, top, g.zoomedWidth(), g.zoomedHeight()));
    if (visible.isEmpty())
        return;
    const int x0 = (visible.left() - left) / z;
    const int x1 = (visible.right() - left) / z;  // inclusive
    const int y0 = (visible.top() - top) / z;
    const int y1 = (visible.bottom() - top) / z;
    const int columns = x1 - x0 + 1;
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect source(x0, 0, columns, 1);
    for (int y = y0; y <= std::min(y1, bmp->height() - 1); ++y) {
        const QImage row(bmp->row(y), bmp->width(), 1, bmp->bytesPerLine(), QImage::Format_RGB32);
        painter.drawImage(QRect(left + x0 * z, top + y * z, columns * z, z), row, source);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void CPictureView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect clip = event->rect();
    painter.fillRect(clip, m_background);
    const PictureGeometry g = pictureGeometry();
    if (!m_pDoc || !m_pDoc->ready() || !g.hasPicture())
        return;
    drawPicture(painter, clip, g);
    m_imageRect = QRect(g.originX(), g.originY(), g.zoomedWidth(), g.zoomedHeight());
    if (g.frameLinesShown()) {
        QPen pen(QColor(100, 100, 100), 1, Qt::DashLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        const int xl = g.originX() - 1 - g.scrollX, xr = g.originX() + g.zoomedWidth() - g.scrollX;
        const int yt = g.originY() - 1 - g.scrollY, yb = g.originY() + g.zoomedHeight() - g.scrollY;
        painter.drawLine(xl, 0, xl, g.clientHeight);
        painter.drawLine(xr, 0, xr, g.clientHeight);
        painter.drawLine(0, yt, g.clientWidth, yt);
        painter.drawLine(0, yb, g.clientWidth, yb);
    }
    drawSelection(painter);
}

// The selection on top of the picture: a dotted outline and solid handles,
// drawn inverted so that they show on any picture.
void CPictureView::drawSelection(QPainter& painter) const
{
    const SelectionTracker* t = tracker();
    if (!t || (!t->present() && !t->tracking()))
        return;
    const TrackerRect r = t->tracking() ? t->trackingRect().normalized() : t->outlineRect();
    if (r.isEmpty())
        return;
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 1, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(r.left, r.top, r.width() - 1, r.height() - 1));
    if (!t->tracking()) {
        for (const TrackerRect& h : t->handles())
            if (!h.isEmpty())
                painter.fillRect(QRect(h.left, h.top, h.width(), h.height()), Qt::white);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void CPictureView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
    // The picture may be centred anew; the selection stays over its pixels.
    if (SelectionTracker* t = tracker())
        t->placeSelection(pictureGeometry());
}

void CPictureView::scrollContentsBy(int dx, int dy)
{
    // Qt reports how far the contents moved; the tracker wants the scroll step.
    if (SelectionTracker* t = tracker())
        t->shiftSelection(-dx, -dy);
    viewport()->update();
}

void CPictureView::reportPixel(const QPoint& client)
{
    const MapSet* maps = m_pDoc ? m_pDoc->maps() : nullptr;
    if (m_bDragging || !maps || !m_pDoc->ready() || m_pDoc->currentMap() >= maps->count()) {
        emit readoutCleared();
        return;
    }
    const PixelBitmap& map = (*maps)[m_pDoc->currentMap()];
    const auto p = pictureGeometry().pixelAt(client.x(), client.y());
    if (!p || p->x >= map.width() || p->y >= map.height() || map.bitsPerPixel() != 32) {
        emit readoutCleared();
        return;
    }
    emit pixelReadout(readPixel(map, p->x, p->y));
}

void CPictureView::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        // The right button cancels a selection being drawn; it pans only
        // when it is the one button at work.
        if (SelectionTracker* t = tracker(); t && t->tracking()) {
            t->cancelTrack();
            viewport()->update();
            updateCursor(at);
            emit selectionChanged();
            return;
        }
        if (m_pDoc && m_pDoc->ready() && pictureGeometry().panAllowed()) {
            m_dragPoint = at;
            if (!m_bDragging) {
                m_bDragging = true;
                viewport()->setCursor(Qt::ClosedHandCursor);
            }
        }
        return;
    }
    if (event->button() == Qt::LeftButton && m_pDoc && m_pDoc->ready() && !m_pDoc->noSelection() && !m_bDragging) {
        const int hit = m_pDoc->tracker().beginTrack(at.x(), at.y(), pictureGeometry());
        // A new rectangle is drawn with the cross; moving and sizing keep
        // the cursor the handle showed.
        if (hit == SelectionTracker::HitNothing)
            viewport()->setCursor(Qt::CrossCursor);
        viewport()->update();
        return;
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CPictureView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    // A release the view did not see (outside the window) ends the panning too.
    if (m_bDragging && !(event->buttons() & Qt::RightButton))
        endPanning();
    reportPixel(at);
    if (SelectionTracker* t = tracker(); t && t->tracking()) {
        t->trackTo(at.x(), at.y());
        viewport()->update();
        return;
    }
    updateCursor(at);
    if (m_bDragging) {
        const auto step = pictureGeometry().panStep(m_dragPoint.x(), m_dragPoint.y(), at.x(), at.y());
        if (step.dx)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + step.dx);
        if (step.dy)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + step.dy);
        m_dragPoint = at;
    }
}

void CPictureView::endPanning()
{
    m_bDragging = false;
    viewport()->unsetCursor();
}

void CPictureView::mouseReleaseEvent(QMouseEvent* event)
{
    // Panning ends with its button, whatever else happened meanwhile.
    if (event->button() == Qt::RightButton && m_bDragging) {
        endPanning();
        return;
    }
    if (SelectionTracker* t = tracker(); t && t->tracking()) {
        if (event->button() != Qt::LeftButton)
            return;
        t->endTrack();
        viewport()->update();
        updateCursor(event->position().toPoint());
        emit selectionChanged();
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CPictureView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int delta = event->angleDelta().y();
        if (delta != 0) {
            // Zoom about the mouse: the picture point under it stays there.
            const QPoint at = event->position().toPoint();
            const PictureGeometry::Point spot = pictureGeometry().pictureAt(at.x(), at.y());
            const float before = m_zoom;
            emit zoomStepRequested(delta > 0 ? 1 : -1);
            if (m_zoom != before) {
                const auto keep = [this, spot, at] {
                    const auto s = pictureGeometry().scrollToShow(spot, at.x(), at.y());
                    horizontalScrollBar()->setValue(s.dx);
                    verticalScrollBar()->setValue(s.dy);
                };
                keep();
                // Once the scroll bars have come or gone, the client size is final.
                QTimer::singleShot(0, this, keep);
            }
        }
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void CPictureView::keyPressEvent(QKeyEvent* event)
{
    if (SelectionTracker* t = tracker(); t && t->tracking() && event->key() == Qt::Key_Escape) {
        t->cancelTrack();
        viewport()->update();
        updateCursor(viewport()->mapFromGlobal(QCursor::pos()));
        emit selectionChanged();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

// Over a present selection the tracker chooses the cursor; elsewhere the arrow.
void CPictureView::updateCursor(const QPoint& client)
{
    if (m_bDragging)
        return;
    const SelectionTracker* t = tracker();
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (t && t->present()) {
        switch (t->cursorAt(client.x(), client.y())) {
        case SelectionTracker::Cursor::SizeNwSe: shape = Qt::SizeFDiagCursor; break;
        case SelectionTracker::Cursor::SizeNeSw: shape = Qt::SizeBDiagCursor; break;
        case SelectionTracker::Cursor::SizeNs: shape = Qt::SizeVerCursor; break;
        case SelectionTracker::Cursor::SizeWe: shape = Qt::SizeHorCursor; break;
        case SelectionTracker::Cursor::SizeAll: shape = Qt::SizeAllCursor; break;
        case SelectionTracker::Cursor::Default: break;
        }
    }
    if (viewport()->cursor().shape() != shape)
        viewport()->setCursor(shape);
}

void CPictureView::leaveEvent(QEvent* event)
{
    if (!m_bDragging)
        emit readoutCleared();
    QAbstractScrollArea::leaveEvent(event);
}
