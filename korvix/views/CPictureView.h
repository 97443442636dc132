// The scrolling view that shows the document's current picture enlarged by an
// integer zoom or reduced by area averaging (1:2 ... 1:16), centred when
// smaller than the window, on an adjustable grey. It pans with the right
// button, reports the pixel under the mouse and keeps the size and zoom status
// panes. The arithmetic lives in PictureGeometry; this class draws and
// forwards input.
#pragma once

#include "codecs/PixelBitmap.h"
#include "document/PictureGeometry.h"
#include "document/PixelReadout.h"
#include "document/SelectionTracker.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPoint>
#include <QRect>

#include <memory>

class CKestrelDoc;

class CPictureView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CPictureView(QWidget* parent = nullptr);
    ~CPictureView() override;

    // The document whose picture is shown; the view never owns it.
    void setDocument(CKestrelDoc* doc) { m_pDoc = doc; }

    // Zoom factor 1, 2, 4, 8, 16 or 32, or 1/2 ... 1/16 for the reductions.
    // setZoom refreshes; resetZoom leaves the refresh to its caller.
    void setZoom(float factor);
    void resetZoom();
    float zoom() const { return m_zoom; }
    // Scroll range from the zoomed picture, then a full repaint.
    void refresh();
    // The complete update after the picture changed: smoothed copy, scroll
    // range, repaint and the two status texts.
    void fullUpdate();
    void setSmooth(bool on);
    bool smooth() const { return m_bSmooth; }
    // The grey level 0 ... 255 of the area around the picture.
    void setBackgroundLevel(int level);
    QColor background() const { return m_background; }

    // The layout for the current client size, zoom and scroll position.
    PictureGeometry pictureGeometry() const;
    // The picture's rectangle in client coordinates.
    QRect imageRectOnScreen() const;
    // The bitmap painting draws: the smoothed copy while smoothing, else the shown one.
    const PixelBitmap* drawnBitmap() const;
    bool panning() const { return m_bDragging; }

signals:
    void statusText(int pane, const QString& text);
    // Sent on every mouse move, through a queued connection to the info pane.
    void pixelReadout(const PixelReadout& readout);
    void readoutCleared();
    // Ctrl + wheel: +1 to zoom in, -1 to zoom out; the frame runs the command,
    // and the view keeps the picture point under the mouse where it was.
    void zoomStepRequested(int direction);
    // A selection was drawn or dropped with the mouse.
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollRange();
    void reportPixel(const QPoint& client);
    void drawPicture(QPainter& painter, const QRect& clip, const PictureGeometry& g) const;
    void drawSelection(QPainter& painter) const;
    void updateCursor(const QPoint& client);
    void endPanning();
    SelectionTracker* tracker() const;
    // The picture drawn at a reduction: the bitmap painting draws, averaged
    // down, made again after every refresh.
    const PixelBitmap* reducedBitmap(const PixelBitmap& from, int reduction) const;

    CKestrelDoc* m_pDoc = nullptr;
    float m_zoom = 1.0f;
    bool m_bSmooth = false;
    std::unique_ptr<PixelBitmap> m_pSmoothed;
    QColor m_background{192, 192, 192};
    bool m_bDragging = false;
    QPoint m_dragPoint;
    QRect m_imageRect;  // where the picture was last drawn, view coordinates
    mutable PixelBitmap m_reduced;
    mutable const PixelBitmap* m_pReducedFrom = nullptr;
    mutable int m_nReducedBy = 0;
};
