#include "document/PictureGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// max(0, truncate(client / 2 - extent / 2)), in the float arithmetic the
// layout has always used, so odd sizes round the same way.
int centred(int client, int extent)
{
    const double start = client * 0.5 - extent * 0.5;
    return std::max(0, static_cast<int>(start));
}

// The steps from the smallest up, each twice the one before.
constexpr float STEPS[] = {1.0f / 16, 1.0f / 8, 1.0f / 4, 1.0f / 2, 1, 2, 4, 8, 16, 32};

}  // namespace

float PictureGeometry::zoomFactor() const
{
    return reduction > 1 ? 1.0f / static_cast<float>(reduction) : static_cast<float>(zoom);
}

void PictureGeometry::setZoomFactor(float factor)
{
    zoom = 1;
    reduction = 1;
    if (factor >= 1) {
        while (zoom * 2 <= factor && zoom < 32)
            zoom *= 2;
    } else {
        while (reduction < 16 && factor * static_cast<float>(reduction) < 1)
            reduction *= 2;
    }
}

int PictureGeometry::originX() const { return centred(clientWidth, zoomedWidth()); }
int PictureGeometry::originY() const { return centred(clientHeight, zoomedHeight()); }

int PictureGeometry::scrollRangeWidth() const { return hasPicture() ? zoomedWidth() : EMPTY_SCROLL_RANGE; }
int PictureGeometry::scrollRangeHeight() const { return hasPicture() ? zoomedHeight() : EMPTY_SCROLL_RANGE; }
int PictureGeometry::scrollLimitX() const { return std::max(0, scrollRangeWidth() - clientWidth); }
int PictureGeometry::scrollLimitY() const { return std::max(0, scrollRangeHeight() - clientHeight); }

bool PictureGeometry::frameLinesShown() const
{
    return clientHeight > zoomedHeight() + 2 && clientWidth > zoomedWidth() + 2;
}

bool PictureGeometry::panAllowed() const
{
    return hasPicture() && (clientHeight < zoomedHeight() || clientWidth < zoomedWidth());
}

PictureGeometry::Step PictureGeometry::panStep(int lastX, int lastY, int x, int y) const
{
    Step s;
    if (zoomedWidth() > clientWidth)
        s.dx = std::clamp(lastX - x, -scrollX, scrollLimitX() - scrollX);
    if (zoomedHeight() > clientHeight)
        s.dy = std::clamp(lastY - y, -scrollY, scrollLimitY() - scrollY);
    return s;
}

std::optional<PictureGeometry::Pixel> PictureGeometry::pixelAt(int x, int y) const
{
    if (!hasPicture())
        return std::nullopt;
    const int px = scrollX + x - originX();
    const int py = scrollY + y - originY();
    if (px < 0 || py < 0)
        return std::nullopt;
    const int ix = reduction > 1 ? px * reduction : px / zoom;
    const int iy = reduction > 1 ? py * reduction : py / zoom;
    if (ix >= imageWidth || iy >= imageHeight)
        return std::nullopt;
    return Pixel{ix, iy};
}

PictureGeometry::Point PictureGeometry::pictureAt(int x, int y) const
{
    const double scale = zoomFactor();
    return {(scrollX + x - originX()) / scale, (scrollY + y - originY()) / scale};
}

PictureGeometry::Step PictureGeometry::scrollToShow(Point p, int x, int y) const
{
    const double scale = zoomFactor();
    const auto at = [](double picture, double s, int origin, int client, int limit) {
        return std::clamp(static_cast<int>(std::lround(picture * s)) + origin - client, 0, limit);
    };
    return {at(p.x, scale, originX(), x, scrollLimitX()), at(p.y, scale, originY(), y, scrollLimitY())};
}

bool PictureGeometry::largerThanArea() const
{
    const int w = areaWidth > 0 ? areaWidth : clientWidth;
    const int h = areaHeight > 0 ? areaHeight : clientHeight;
    return hasPicture() && (zoomedWidth() > w || zoomedHeight() > h);
}

namespace zoomsteps {

float stepIn(float factor)
{
    for (const float s : STEPS)
        if (s > factor)
            return s;
    return LARGEST;
}

std::optional<float> stepOut(float factor, const PictureGeometry& view)
{
    std::optional<float> below;
    for (const float s : STEPS)
        if (s < factor)
            below = s;
    if (!below)
        return std::nullopt;
    // Enlargements step down as they always have; a reduction only helps a
    // picture that does not fit.
    if (*below < 1 && !view.largerThanArea())
        return std::nullopt;
    return below;
}

float fitFactor(const PictureGeometry& view)
{
    PictureGeometry g = view;
    for (auto s = std::rbegin(STEPS); s != std::rend(STEPS); ++s) {
        g.setZoomFactor(*s);
        if (!g.largerThanArea())
            return *s;
    }
    return SMALLEST;
}

}  // namespace zoomsteps

std::string pictureSizeText(int width, int height)
{
    char text[48];
    std::snprintf(text, sizeof text, " %d x %d", width, height);
    return text;
}

std::string pictureZoomText(float factor)
{
    PictureGeometry g;
    g.setZoomFactor(factor);
    char text[32];
    if (g.reduction > 1)
        std::snprintf(text, sizeof text, " Zoom: 1:%d ", g.reduction);
    else
        std::snprintf(text, sizeof text, " Zoom: x %d ", g.zoom);
    return text;
}
