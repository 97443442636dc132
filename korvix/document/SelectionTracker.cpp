#include "document/SelectionTracker.h"

#include <algorithm>
#include <cmath>

namespace {

// The remainder of a / b in 0 ... b - 1, also for a negative a.
int floorMod(int a, int b)
{
    const int r = a % b;
    return r < 0 ? r + b : r;
}

// The nearest line of the grid origin + k * step (a remainder of half a step
// or more goes up).
int snapToGrid(int v, int origin, int step)
{
    const int rem = floorMod(v - origin, step);
    return rem < step / 2 ? v - rem : v + step - rem;
}

// At zoom 2 a coordinate an odd distance from the origin moves one pixel on.
int snapEven(int v, int origin)
{
    return floorMod(v - origin, 2) == 1 ? v + 1 : v;
}

}  // namespace

TrackerRect TrackerRect::normalized() const
{
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

TrackerRect SelectionTracker::pictureRect(const PictureGeometry& view)
{
    const int left = view.originX() - view.scrollX;
    const int top = view.originY() - view.scrollY;
    return {left, top, left + view.zoomedWidth(), top + view.zoomedHeight()};
}

std::optional<ImageRect> SelectionTracker::selectionImageRect() const
{
    if (!m_bPresent)
        return std::nullopt;
    if (m_reduction > 1)
        return m_mapRect;
    return zoomedSelection();
}

std::optional<ImageRect> SelectionTracker::zoomedSelection() const
{
    const TrackerRect n = m_rect.normalized();
    const int z = std::max(1, m_zoom);
    ImageRect r;
    r.left = m_offsetX / z;
    r.top = m_offsetY / z;
    r.right = r.left + n.width() / z - 1;
    r.bottom = r.top + n.height() / z - 1;
    // A rectangle narrower than one map pixel selects nothing; handing it on
    // as a selection would let a crop produce an empty map.
    if (r.right < r.left || r.bottom < r.top)
        return std::nullopt;
    return r;
}

void SelectionTracker::selectAll(const PictureGeometry& view)
{
    m_imageRect = pictureRect(view);
    m_rect = m_imageRect;
    m_offsetX = m_offsetY = 0;
    m_zoom = view.zoom;
    m_reduction = view.reduction;
    m_mapRect = {0, 0, view.imageWidth - 1, view.imageHeight - 1};
    m_bPresent = true;
}

void SelectionTracker::clearSelection()
{
    m_rect = {};
    m_bPresent = false;
}

void SelectionTracker::setSelectionSize(int width, int height, const PictureGeometry& view)
{
    m_imageRect = pictureRect(view).normalized();
    m_rect = {m_imageRect.left, m_imageRect.top, m_imageRect.left + width, m_imageRect.top + height};
    m_bPresent = true;
    m_offsetX = m_offsetY = 0;
    // The size was given in map pixels: scale it from zoom 1 to the view's zoom.
    rescaleSelection(1, view);
}

void SelectionTracker::restore(const TrackerRect& rect, bool present)
{
    m_rect = rect;
    m_bPresent = present;
    if (present)
        recomputeOffset();
}

void SelectionTracker::rescaleSelection(int oldZoom, const PictureGeometry& view, int oldReduction)
{
    if (oldReduction > 1 || view.reduction > 1) {
        // Through map pixels: a reduced view cannot hold the selection's
        // edges in its own pixels, so the map rectangle is what carries over.
        std::optional<ImageRect> map;
        if (m_bPresent) {
            m_zoom = std::max(1, oldZoom);
            m_reduction = std::max(1, oldReduction);
            map = selectionImageRect();
        }
        m_zoom = view.zoom;
        m_reduction = view.reduction;
        m_imageRect = pictureRect(view);
        if (map)
            showMapRect(*map);
        return;
    }
    m_zoom = view.zoom;
    m_reduction = 1;
    m_imageRect = pictureRect(view);
    if (!m_bPresent || oldZoom <= 0)
        return;
    const double r = static_cast<double>(view.zoom) / oldZoom;
    const TrackerRect n = m_rect.normalized();
    m_offsetX = static_cast<int>(r * m_offsetX);
    m_offsetY = static_cast<int>(r * m_offsetY);
    m_rect.left = m_imageRect.left + m_offsetX;
    m_rect.top = m_imageRect.top + m_offsetY;
    m_rect.right = m_rect.left + static_cast<int>(r * n.width());
    m_rect.bottom = m_rect.top + static_cast<int>(r * n.height());
}

void SelectionTracker::shiftSelection(int dx, int dy)
{
    m_imageRect = {m_imageRect.left - dx, m_imageRect.top - dy, m_imageRect.right - dx, m_imageRect.bottom - dy};
    if (!m_bPresent)
        return;
    m_rect = {m_rect.left - dx, m_rect.top - dy, m_rect.right - dx, m_rect.bottom - dy};
}

// Shows a rectangle of map pixels at the present zoom; at a reduction the view
// rectangle covers every block the map rectangle touches.
void SelectionTracker::showMapRect(const ImageRect& map)
{
    if (m_reduction > 1) {
        m_mapRect = map;
        const int r = m_reduction;
        m_offsetX = map.left / r;
        m_offsetY = map.top / r;
        m_rect = {m_imageRect.left + m_offsetX, m_imageRect.top + m_offsetY, m_imageRect.left + map.right / r + 1,
                  m_imageRect.top + map.bottom / r + 1};
        return;
    }
    const int z = m_zoom;
    m_offsetX = map.left * z;
    m_offsetY = map.top * z;
    m_rect = {m_imageRect.left + m_offsetX, m_imageRect.top + m_offsetY, m_imageRect.left + (map.right + 1) * z,
              m_imageRect.top + (map.bottom + 1) * z};
}

void SelectionTracker::placeSelection(const PictureGeometry& view)
{
    if (view.reduction != m_reduction) {
        rescaleSelection(m_zoom, view, m_reduction);
        return;
    }
    m_zoom = view.zoom;
    m_imageRect = pictureRect(view);
    if (!m_bPresent)
        return;
    const TrackerRect n = m_rect.normalized();
    m_rect.left = m_imageRect.left + m_offsetX;
    m_rect.top = m_imageRect.top + m_offsetY;
    m_rect.right = m_rect.left + n.width();
    m_rect.bottom = m_rect.top + n.height();
}

int SelectionTracker::beginTrack(int x, int y, const PictureGeometry& view)
{
    m_imageRect = pictureRect(view);
    m_zoom = view.zoom;
    m_reduction = view.reduction;
    m_savedMapRect = m_mapRect;
    m_savedRect = m_rect;
    m_bSavedPresent = m_bPresent;
    m_nTrackHit = m_bPresent ? hitTest(x, y) : HitNothing;
    m_pressX = x;
    m_pressY = y;
    if (m_nTrackHit == HitNothing)
        m_rect = adjust({x, y, x, y}, HitNothing);
    else
        m_rect = m_rect.normalized();
    m_startRect = m_rect;
    m_bTracking = true;
    return m_nTrackHit;
}

void SelectionTracker::trackTo(int x, int y)
{
    if (!m_bTracking)
        return;
    const int dx = x - m_pressX, dy = y - m_pressY;
    TrackerRect r = m_startRect;
    switch (m_nTrackHit) {
    case HitNothing:
        // The band's anchor stays; its opposite corner follows the mouse and
        // may pass the anchor in any direction.
        r.right = x;
        r.bottom = y;
        break;
    case HitInside:
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
        break;
    default: {
        const int h = m_nTrackHit;
        if (h == HitTopLeft || h == HitBottomLeft || h == HitLeft)
            r.left += dx;
        if (h == HitTopRight || h == HitBottomRight || h == HitRight)
            r.right += dx;
        if (h == HitTopLeft || h == HitTopRight || h == HitTop)
            r.top += dy;
        if (h == HitBottomLeft || h == HitBottomRight || h == HitBottom)
            r.bottom += dy;
        break;
    }
    }
    m_rect = adjust(r, m_nTrackHit);
}

void SelectionTracker::endTrack()
{
    if (!m_bTracking)
        return;
    m_bTracking = false;
    m_rect = m_rect.normalized();
    recomputeOffset();
    m_bPresent = m_rect.width() > 2 && m_rect.height() > 2;
}

void SelectionTracker::cancelTrack()
{
    if (!m_bTracking)
        return;
    m_bTracking = false;
    m_rect = m_savedRect;
    m_mapRect = m_savedMapRect;
    m_bPresent = m_bSavedPresent;
}

void SelectionTracker::recomputeOffset()
{
    const TrackerRect n = m_rect.normalized();
    m_offsetX = n.left - m_imageRect.left;
    m_offsetY = n.top - m_imageRect.top;
    if (m_reduction > 1) {
        // Every view pixel of a reduced picture stands for a block of map pixels.
        const int r = m_reduction;
        m_mapRect = {m_offsetX * r, m_offsetY * r, (m_offsetX + n.width()) * r - 1, (m_offsetY + n.height()) * r - 1};
    }
}

TrackerRect SelectionTracker::adjust(TrackerRect r, int hit) const
{
    const int ox = m_imageRect.left, oy = m_imageRect.top;
    const int b = m_zoom;
    if (b == 2) {
        r.left = snapEven(r.left, ox);
        r.right = snapEven(r.right, ox);
        r.top = snapEven(r.top, oy);
        r.bottom = snapEven(r.bottom, oy);
    } else if (b >= 4 && hit == HitInside) {
        // Moving keeps the size: the whole rectangle goes to the grid line
        // nearest its left (top) edge.
        const int dx = snapToGrid(r.left, ox, b) - r.left;
        const int dy = snapToGrid(r.top, oy, b) - r.top;
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    } else if (b >= 4) {
        r.left = snapToGrid(r.left, ox, b);
        r.right = snapToGrid(r.right, ox, b);
        r.top = snapToGrid(r.top, oy, b);
        r.bottom = snapToGrid(r.bottom, oy, b);
    }
    // Every coordinate inside the picture: a rectangle wholly beside it
    // collapses onto the edge it lies beyond.
    const TrackerRect& p = m_imageRect;
    r.left = std::clamp(r.left, p.left, std::max(p.left, p.right));
    r.right = std::clamp(r.right, p.left, std::max(p.left, p.right));
    r.top = std::clamp(r.top, p.top, std::max(p.top, p.bottom));
    r.bottom = std::clamp(r.bottom, p.top, std::max(p.top, p.bottom));
    return r;
}

std::array<TrackerRect, 8> SelectionTracker::handles() const
{
    std::array<TrackerRect, 8> out{};
    const TrackerRect n = m_rect.normalized();
    const int w = n.width(), h = n.height();
    int hs = m_handleSize;
    if (w < 2 * hs || h < 2 * hs)
        hs = std::min(w, h) / 2;
    out[HitTopLeft] = {n.left, n.top, n.left + hs, n.top + hs};
    out[HitTopRight] = {n.right - hs, n.top, n.right, n.top + hs};
    out[HitBottomRight] = {n.right - hs, n.bottom - hs, n.right, n.bottom};
    out[HitBottomLeft] = {n.left, n.bottom - hs, n.left + hs, n.bottom};
    if (w - 3 * hs > 4) {
        const int x = n.left + (w - hs) / 2;
        out[HitTop] = {x, n.top, x + hs, n.top + hs};
        out[HitBottom] = {x, n.bottom - hs, x + hs, n.bottom};
    }
    if (h - 3 * hs > 4) {
        const int y = n.top + (h - hs) / 2;
        out[HitLeft] = {n.left, y, n.left + hs, y + hs};
        out[HitRight] = {n.right - hs, y, n.right, y + hs};
    }
    return out;
}

TrackerRect SelectionTracker::outlineRect() const
{
    const TrackerRect n = m_rect.normalized();
    return {n.left - 1, n.top - 1, n.right + 1, n.bottom + 1};
}

int SelectionTracker::hitTest(int x, int y) const
{
    if (!m_bPresent)
        return HitNothing;
    const auto hs = handles();
    for (int i = 0; i < 8; ++i)
        if (!hs[static_cast<std::size_t>(i)].isEmpty() && hs[static_cast<std::size_t>(i)].contains(x, y))
            return i;
    return m_rect.normalized().contains(x, y) ? HitInside : HitNothing;
}

SelectionTracker::Cursor SelectionTracker::cursorAt(int x, int y) const
{
    switch (hitTest(x, y)) {
    case HitTopLeft:
    case HitBottomRight:
        return Cursor::SizeNwSe;
    case HitTopRight:
    case HitBottomLeft:
        return Cursor::SizeNeSw;
    case HitTop:
    case HitBottom:
        return Cursor::SizeNs;
    case HitLeft:
    case HitRight:
        return Cursor::SizeWe;
    case HitInside:
        return Cursor::SizeAll;
    default:
        return Cursor::Default;
    }
}
