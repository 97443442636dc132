// The selection: a rectangle with handles that lives in the picture view's
// client coordinates, is snapped to whole map pixels and never leaves the
// picture. The document owns one (CKestrelDoc::tracker()); the picture view
// feeds it input and draws what it returns. No user-interface types: plain
// integers, so the rules are tested headless.
//
// How the picture view drives it (all on the user-interface thread):
//   - Every call takes the PictureGeometry as it is at the moment of the call:
//     the client size, the scroll position, the shown picture's size in map
//     pixels and the integer zoom. The picture's client rectangle is derived
//     from it (pictureRect()).
//   - Left button down (document ready, selection allowed): beginTrack(point).
//     Each mouse move while the button is held: trackTo(point), then draw
//     trackingRect() as the drag outline. Button up: endTrack(). Escape or the
//     right button: cancelTrack().
//   - Scrolling by (dx, dy) scroll pixels: shiftSelection(dx, dy).
//   - A new zoom: rescaleSelection(old zoom, view at the new zoom, old
//     reduction). At a reduced zoom (1:2 ... 1:16) the selection is kept in
//     map pixels, so zooming out and back in puts it over the same pixels.
//   - Resizing the window, or a full update after the picture changed:
//     placeSelection(view), with the scroll position after the framework has
//     clamped it; the selection then sits over the same map pixels again.
//   - Painting while present(): outlineRect() as a dotted line, handles() as
//     solid squares. Cursor requests over a present selection: cursorAt().
//
// Rectangles are half-open: right and bottom are one past the last pixel.
#pragma once

#include "document/PictureGeometry.h"

#include <array>
#include <optional>
#include <vector>

struct TrackerRect {
    int left = 0, top = 0, right = 0, bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    TrackerRect normalized() const;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const TrackerRect&, const TrackerRect&) = default;
};

// A rectangle of map pixels with both edges included (as the image operations use it).
struct ImageRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const ImageRect&, const ImageRect&) = default;
};

class SelectionTracker {
public:
    enum Hit { HitNothing = -1, HitTopLeft = 0, HitTopRight, HitBottomRight, HitBottomLeft,
               HitTop, HitRight, HitBottom, HitLeft, HitInside };
    enum class Cursor { Default, SizeNwSe, SizeNeSw, SizeNs, SizeWe, SizeAll };

    static constexpr int DEFAULT_HANDLE_SIZE = 5;

    // The picture's rectangle in client coordinates.
    static TrackerRect pictureRect(const PictureGeometry& view);

    // ---- state ----
    bool present() const { return m_bPresent; }
    const TrackerRect& rect() const { return m_rect; }  // may be inverted while tracking
    const TrackerRect& imageRect() const { return m_imageRect; }
    int offsetX() const { return m_offsetX; }
    int offsetY() const { return m_offsetY; }
    int zoom() const { return m_zoom; }
    int reduction() const { return m_reduction; }
    int handleSize() const { return m_handleSize; }

    // The selection in map pixels, both edges included; nothing when no
    // selection is present.
    std::optional<ImageRect> selectionImageRect() const;

    // ---- commands ----
    void selectAll(const PictureGeometry& view);
    // Empties the rectangle; nothing is present afterwards.
    void clearSelection();
    // width x height map pixels at the picture's top-left corner.
    void setSelectionSize(int width, int height, const PictureGeometry& view);
    // Puts back a rectangle and presence saved earlier (the size dialog's Cancel).
    void restore(const TrackerRect& rect, bool present);

    // ---- view changes ----
    void rescaleSelection(int oldZoom, const PictureGeometry& view, int oldReduction = 1);
    void shiftSelection(int dx, int dy);
    void placeSelection(const PictureGeometry& view);

    // ---- mouse ----
    // Starts tracking at a client point: returns the hit code. Outside the
    // selection (or with none) a rubber band is anchored at the point.
    int beginTrack(int x, int y, const PictureGeometry& view);
    void trackTo(int x, int y);
    const TrackerRect& trackingRect() const { return m_rect; }
    bool tracking() const { return m_bTracking; }
    // Keeps the tracked rectangle: a selection is present when it is wider and
    // higher than 2 client pixels.
    void endTrack();
    void cancelTrack();

    // ---- drawing and cursor ----
    int hitTest(int x, int y) const;
    Cursor cursorAt(int x, int y) const;
    // The dotted outline, one pixel outside the rectangle.
    TrackerRect outlineRect() const;
    // The handle squares, indexed by hit code 0 ... 7; empty rectangles for
    // the middle handles that the rectangle is too small for.
    std::array<TrackerRect, 8> handles() const;

private:
    // The program's own rule for every tracked rectangle: snap to the zoomed
    // pixel grid, then keep the rectangle inside the picture.
    TrackerRect adjust(TrackerRect r, int hit) const;
    void recomputeOffset();
    std::optional<ImageRect> zoomedSelection() const;
    void showMapRect(const ImageRect& map);

    TrackerRect m_rect;
    TrackerRect m_imageRect;
    int m_handleSize = DEFAULT_HANDLE_SIZE;
    bool m_bPresent = true;
    int m_offsetX = 0, m_offsetY = 0;
    int m_zoom = 1;
    int m_reduction = 1;
    // The selection in map pixels while the view is reduced.
    ImageRect m_mapRect;

    // Tracking state.
    bool m_bTracking = false;
    int m_nTrackHit = HitNothing;
    int m_pressX = 0, m_pressY = 0;
    TrackerRect m_startRect;     // the rectangle when the press happened
    TrackerRect m_savedRect;     // restored by cancelTrack()
    bool m_bSavedPresent = false;
    ImageRect m_savedMapRect;
};
