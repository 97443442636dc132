#include "document/PictureGeometry.h"

#include <algorithm>
#include <cstdio>

namespace {

// max(0, truncate(client / 2 - extent / 2)), in the float arithmetic the
// layout has always used, so odd sizes round the same way.
int centred(int client, int extent)
{
    const double start = client * 0.5 - extent * 0.5;
    return std::max(0, static_cast<int>(start));
}

}  // namespace

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
    const int ix = px / zoom;
    const int iy = py / zoom;
    if (ix >= imageWidth || iy >= imageHeight)
        return std::nullopt;
    return Pixel{ix, iy};
}

std::string pictureSizeText(int width, int height)
{
    char text[48];
    std::snprintf(text, sizeof text, " %d x %d", width, height);
    return text;
}

std::string pictureZoomText(int zoom)
{
    char text[32];
    std::snprintf(text, sizeof text, " Zoom: x %d ", zoom);
    return text;
}
