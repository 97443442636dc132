// Where the picture view draws the shown picture and which picture pixel lies
// under a point of the view. Pure arithmetic over the client size, the picture
// size, the integer zoom and the scroll position, so the view only draws.
//
// Coordinates: "view" coordinates are client coordinates plus the scroll
// offset; picture pixels are counted top-down.
#pragma once

#include <optional>
#include <string>

struct PictureGeometry {
    static constexpr int EMPTY_SCROLL_RANGE = 100;  // the range before the first picture

    int clientWidth = 0;
    int clientHeight = 0;
    int imageWidth = 0;   // 0 while no picture is shown
    int imageHeight = 0;
    int zoom = 1;         // 1, 2, 4, 8, 16 or 32
    int scrollX = 0;
    int scrollY = 0;

    bool hasPicture() const { return imageWidth > 0 && imageHeight > 0; }
    int zoomedWidth() const { return imageWidth * zoom; }
    int zoomedHeight() const { return imageHeight * zoom; }

    // The picture's top-left corner in view coordinates: centred in a direction
    // where it is smaller than the client area, else 0.
    int originX() const;
    int originY() const;

    // The scrollable extent: the zoomed picture, or 100 x 100 without one.
    int scrollRangeWidth() const;
    int scrollRangeHeight() const;
    // The largest scroll offsets that still show picture.
    int scrollLimitX() const;
    int scrollLimitY() const;

    // The dashed frame lines are drawn only when the client area exceeds the
    // zoomed picture by more than the two lines in both directions.
    bool frameLinesShown() const;

    // Right-button panning starts only when the zoomed picture is larger than
    // the client area in at least one direction.
    bool panAllowed() const;
    // The scroll step for a drag from (lastX, lastY) to (x, y): the picture
    // follows the mouse, the offset stays within 0 ... limit, and a direction in
    // which the picture fits does not move.
    struct Step {
        int dx = 0;
        int dy = 0;
    };
    Step panStep(int lastX, int lastY, int x, int y) const;

    // The picture pixel under client point (x, y), if any.
    struct Pixel {
        int x = 0;
        int y = 0;
    };
    std::optional<Pixel> pixelAt(int x, int y) const;
};

// Status bar texts of the picture view; both panes show " " without a picture.
std::string pictureSizeText(int width, int height);
std::string pictureZoomText(int zoom);
