// Where the picture view draws the shown picture and which picture pixel lies
// under a point of the view. Pure arithmetic over the client size, the picture
// size, the zoom and the scroll position, so the view only draws. The zoom
// steps and the fit to the view are decided here too.
//
// Coordinates: "view" coordinates are client coordinates plus the scroll
// offset; picture pixels are counted top-down.
//
// Zoom: an enlargement `zoom` (1, 2, 4 ... 32; every picture pixel a zoom x
// zoom block) or a reduction `reduction` (2, 4, 8, 16, shown as 1:2 ... 1:16;
// every view pixel the average of a reduction x reduction block of picture
// pixels, a partial block at the right and bottom edges). One of the two is 1.
// As one number, the zoom factor: 32 ... 1, then 1/2 ... 1/16.
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
    int reduction = 1;    // 1, or 2, 4, 8, 16 for 1:2 ... 1:16 (zoom is then 1)
    // The client size the view has without its scroll bars, which a picture
    // that fits does not need; 0 means the client size.
    int areaWidth = 0;
    int areaHeight = 0;

    bool hasPicture() const { return imageWidth > 0 && imageHeight > 0; }
    // The picture's extent on the screen: enlarged, or reduced with a partial
    // block counting as a whole view pixel.
    int zoomedWidth() const { return reduction > 1 ? (imageWidth + reduction - 1) / reduction : imageWidth * zoom; }
    int zoomedHeight() const { return reduction > 1 ? (imageHeight + reduction - 1) / reduction : imageHeight * zoom; }
    // The zoom as one number, and set from one (a factor that is no zoom step
    // is taken as the nearest step below it).
    float zoomFactor() const;
    void setZoomFactor(float factor);

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

    // The picture pixel under client point (x, y), if any. At a reduction it
    // is the top-left pixel of the block shown there.
    struct Pixel {
        int x = 0;
        int y = 0;
    };
    std::optional<Pixel> pixelAt(int x, int y) const;

    // The point of the picture under client point (x, y), in picture pixels
    // with their fractions (also outside the picture).
    struct Point {
        double x = 0;
        double y = 0;
    };
    Point pictureAt(int x, int y) const;
    // The scroll position, within the limits, that puts picture point `p`
    // under client point (x, y) again: zooming about the mouse.
    Step scrollToShow(Point p, int x, int y) const;

    // Whether the zoomed picture is larger than the view's area (without scroll
    // bars) in either direction.
    bool largerThanArea() const;
};

// The zoom steps and their rules.
namespace zoomsteps {

inline constexpr float LARGEST = 32.0f;
inline constexpr float SMALLEST = 1.0f / 16.0f;

// The next step up (x 2), or the same at the largest.
float stepIn(float factor);
// The next step down: halving above 1:1; below 1:1 a reduction is offered
// only while the picture does not fit the view (`view` at `factor`).
// Nothing when there is no step down.
std::optional<float> stepOut(float factor, const PictureGeometry& view);
// The largest step at which the whole picture fits the view's area; the
// smallest step when none does.
float fitFactor(const PictureGeometry& view);

}  // namespace zoomsteps

// Status bar texts of the picture view; both panes show " " without a picture.
// The zoom pane reads " Zoom: x 4 " when enlarged and " Zoom: 1:4 " when reduced.
std::string pictureSizeText(int width, int height);
std::string pictureZoomText(float factor);
