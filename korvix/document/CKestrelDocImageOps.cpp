// The image operations on the single map of a one-map texture: channel mask,
// inverting, alpha on and off, removing the small maps, crop, resize, the
// neighbourhood filters, rotating and mirroring; the selection commands and
// the information report.
#include "document/CKestrelDoc.h"

#include "codecs/BitmapFilterImage.h"
#include "codecs/CTextException.h"
#include "common/MessageTable.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"
#include "document/PictureResize.h"
#include "document/SizeDialogModel.h"
#include "filters/ImageFilters.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

using docinternal::NotReady;
using docinternal::WaitCursor;

namespace {

std::string format(const char* pattern, auto... args)
{
    const int n = std::snprintf(nullptr, 0, pattern, args...);
    std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
    std::snprintf(out.data(), out.size() + 1, pattern, args...);
    return out;
}

// Runs filter steps on the map where its pixels lie: the image is source and
// destination at once (the primitives keep the rows they still need to read),
// so neither a working copy nor a new bitmap is made. The map then stands for
// the filtered copy the command would have made, which has no alpha.
template <typename Steps>
void filterWhereItLies(PixelBitmap& map, const ProcessRegion& region, Steps steps)
{
    FilterImage image = bitmapView(map);
    setEdgeReplicate(image);
    image.setRegion(&region);
    steps(image);
    map.setHasAlpha(false);
}

// Pixel (x, y) of a 32-bit bitmap, top-down rows.
std::uint32_t& pixel(PixelBitmap& b, int x, int y)
{
    return reinterpret_cast<std::uint32_t*>(b.row(y))[x];
}

korvix::MessageId filterStepName(int id)
{
    switch (id) {
    case ID_SHARPEN: return korvix::MessageId::StepSharpen;
    case ID_BLUR: return korvix::MessageId::StepBlur;
    case ID_BLUR_STRONG: return korvix::MessageId::StepBlurStrong;
    case ID_ALPHA_BLUR: return korvix::MessageId::StepAlphaBlur;
    default: return korvix::MessageId::StepAlphaBlurStrong;
    }
}

// Square tiles keep both the rows read and the columns written in the cache.
constexpr int ROTATE_TILE = 16;

// Rotates a square bitmap by a quarter turn where it lies: every pixel is one
// of a cycle of four that trade places, walked tile by tile.
void rotateSquareInPlace(PixelBitmap& b, bool clockwise)
{
    const int n = b.width();
    const int rows = n / 2, cols = (n + 1) / 2;
    for (int r0 = 0; r0 < rows; r0 += ROTATE_TILE) {
        for (int c0 = 0; c0 < cols; c0 += ROTATE_TILE) {
            const int r1 = std::min(r0 + ROTATE_TILE, rows), c1 = std::min(c0 + ROTATE_TILE, cols);
            for (int r = r0; r < r1; ++r) {
                for (int c = c0; c < c1; ++c) {
                    // The cycle's four places as (column, row); clockwise the
                    // old pixel at (column x, row y) goes to (n - 1 - y, x).
                    std::uint32_t& a = pixel(b, c, r);
                    std::uint32_t& p = pixel(b, n - 1 - r, c);
                    std::uint32_t& q = pixel(b, n - 1 - c, n - 1 - r);
                    std::uint32_t& t = pixel(b, r, n - 1 - c);
                    const std::uint32_t old = a;
                    if (clockwise) {
                        a = t;
                        t = q;
                        q = p;
                        p = old;
                    } else {
                        a = p;
                        p = q;
                        q = t;
                        t = old;
                    }
                }
            }
        }
    }
}

// Old pixel (i, j) of a w x h bitmap goes to (h - 1 - j, i) of `fresh`
// clockwise, to (j, w - 1 - i) counter-clockwise; tile by tile.
void rotateInto(const PixelBitmap& old, PixelBitmap& fresh, bool clockwise)
{
    const int w = old.width(), h = old.height();
    for (int j0 = 0; j0 < h; j0 += ROTATE_TILE) {
        for (int i0 = 0; i0 < w; i0 += ROTATE_TILE) {
            const int j1 = std::min(j0 + ROTATE_TILE, h), i1 = std::min(i0 + ROTATE_TILE, w);
            for (int j = j0; j < j1; ++j) {
                const auto* src = reinterpret_cast<const std::uint32_t*>(old.row(j));
                for (int i = i0; i < i1; ++i)
                    pixel(fresh, clockwise ? h - 1 - j : j, clockwise ? i : w - 1 - i) = src[i];
            }
        }
    }
}

}  // namespace

void docinternal::xorBytes(PixelBitmap& map, const ProcessRegion& r, const std::array<std::uint8_t, 4>& mask)
{
    for (int y = r.y; y < r.y + r.height; ++y) {
        std::uint8_t* p = map.row(y) + 4 * static_cast<std::size_t>(r.x);
        for (int i = 0; i < 4 * r.width; ++i)
            p[i] ^= mask[static_cast<std::size_t>(i & 3)];
    }
}

void docinternal::mirrorPixels(PixelBitmap& map, bool leftRight)
{
    // Colours, then alpha: all four channels change places.
    ProcessRegion region{ProcessRegion::Colour, 0, 0, map.width(), map.height()};
    const MirrorAxis axis = leftRight ? MirrorAxis::Vertical : MirrorAxis::Horizontal;
    FilterImage image = bitmapView(map);
    setEdgeReplicate(image);
    image.setRegion(&region);
    mirrorImage(image, image, axis);
    region.channel = ProcessRegion::Alpha;
    mirrorImage(image, image, axis);
}

PixelBitmap docinternal::rotatedPixels(PixelBitmap& old, bool clockwise)
{
    if (old.width() == old.height()) {
        // Same size turned: the pixels trade places in the map's own rows.
        rotateSquareInPlace(old, clockwise);
        return std::move(old);
    }
    PixelBitmap fresh;
    fresh.create(old.height(), old.width(), 32, true);
    rotateInto(old, fresh, clockwise);
    return fresh;
}

// ---- commands by id ----

bool CKestrelDoc::editCommand(int id)
{
    switch (id) {
    case ID_EXCLUDE_RED:
    case ID_EXCLUDE_GREEN:
    case ID_EXCLUDE_BLUE: channelToggleCommand(id, !commandChecked(id).value_or(false)); return true;
    case ID_ALL_CHANNELS: allChannelsCommand(); return true;
    case ID_INVERT_COLOUR: return invertColour();
    case ID_INVERT_ALPHA: return invertAlpha();
    case ID_CREATE_ALPHA: return createAlpha();
    case ID_REMOVE_ALPHA: return removeAlpha();
    case ID_REMOVE_SMALL_MAPS: return removeSmallMaps();
    case ID_CROP: return crop();
    case ID_RESIZE: return resize();
    case ID_SHARPEN:
    case ID_BLUR:
    case ID_BLUR_STRONG:
    case ID_ALPHA_BLUR:
    case ID_ALPHA_BLUR_STRONG: return filterCommand(id);
    case ID_ROTATE_CW: return rotate(true);
    case ID_ROTATE_CCW: return rotate(false);
    case ID_MIRROR_H: return mirror(true);
    case ID_MIRROR_V: return mirror(false);
    case ID_BRIGHTNESS: return brightnessCommand();
    case ID_CONTRAST: return contrastCommand();
    case ID_GAMMA: return gammaCommand();
    case ID_SELECT_ALL: selectAllCommand(); return true;
    case ID_SELECT_NONE: selectNoneCommand(); return true;
    case ID_SELECTION_DIALOG: return selectionDialogCommand();
    case ID_OBJECT_INFO: objectInfoCommand(); return true;
    case ID_EDIT_UNDO: return undo();
    case ID_EDIT_REDO: return redo();
    default: return false;
    }
}

// ---- helpers ----

PictureGeometry CKestrelDoc::selectionView()
{
    return shownView();
}

void CKestrelDoc::clearSelection()
{
    m_tracker.clearSelection();
    m_host.emptySelection();
}

ProcessRegion CKestrelDoc::regionFromSelection() const
{
    ProcessRegion region;
    const PixelBitmap* map = m_pMaps ? &(*m_pMaps)[0] : nullptr;
    const int w = map ? map->width() : 0, h = map ? map->height() : 0;
    region.width = w;
    region.height = h;
    if (const auto sel = m_tracker.selectionImageRect()) {
        // A selection made over another picture may reach past this one: only
        // the map's own pixels are ever processed.
        const int left = std::clamp(sel->left, 0, w), top = std::clamp(sel->top, 0, h);
        const int right = std::clamp(sel->right + 1, left, w), bottom = std::clamp(sel->bottom + 1, top, h);
        region.x = left;
        region.y = top;
        region.width = right - left;
        region.height = bottom - top;
    }
    return region;
}

void CKestrelDoc::leaveSmoothView()
{
    NotReady busy(m_bReady);
    if (m_bSmoothView) {
        m_bSmoothView = false;
        m_host.setPictureSmoothing(false);
        m_host.redrawPictureView();
    }
}

// The old set goes as freeMaps() lets it go (the bytes as loaded with it),
// but into the caller's hands, for its undo step.
CKestrelDoc::Replaced CKestrelDoc::replaceMap(PixelBitmap&& map)
{
    // The new map may be one of the old set, edited where it lies: taken out
    // before the set goes.
    PixelBitmap kept = std::move(map);
    // Nothing may show the old map once it is gone.
    m_pShown = nullptr;
    Replaced old;
    old.maps = std::move(m_pMaps);
    if (!m_pRaw.empty()) {
        old.raw = std::move(m_pRaw);
        m_pRaw.clear();
        m_bRawTexture = false;
    }
    m_pMaps = std::make_unique<MapSet>(1);
    (*m_pMaps)[0] = std::move(kept);
    m_nMaps = 1;
    m_nCurMap = 0;
    return old;
}

// A new map of another picture (turned, mirrored, resized) takes the old one's
// place: the selection goes with the old picture, and what is shown is built
// from the new one.
CKestrelDoc::Replaced CKestrelDoc::takeNewMap(PixelBitmap&& map)
{
    Replaced old = replaceMap(std::move(map));
    clearSelection();
    m_bRgbaViewStale = m_bAlphaViewStale = true;
    setDisplayMode(m_nDisplayMode);
    return old;
}

// Both display buffers are stale after a change of the map: rebuild what is
// shown, then redraw (full: the picture view's full update).
void CKestrelDoc::rebuildAndRedraw(bool full)
{
    m_bRgbaViewStale = m_bAlphaViewStale = true;
    setDisplayMode(m_nDisplayMode);
    if (full)
        m_host.refreshPictureView();
    else
        m_host.redrawPictureView();
}

// ---- selection commands ----

void CKestrelDoc::selectAllCommand()
{
    m_tracker.selectAll(selectionView());
    m_host.redrawPictureView();
}

void CKestrelDoc::selectNoneCommand()
{
    clearSelection();
    m_host.redrawPictureView();
}

bool CKestrelDoc::selectionDialogCommand()
{
    if (!m_pShown || m_pShown->width() < 4 || m_pShown->height() < 4)
        return false;
    const TrackerRect savedRect = m_tracker.rect();
    const bool savedPresent = m_tracker.present();
    SizeDialogModel model = SizeDialogModel::forSelection(m_pShown->width(), m_pShown->height(), [this](int w, int h) {
        m_tracker.setSelectionSize(w, h, selectionView());
        m_host.redrawPictureView();
    });
    if (m_host.runSizeDialog(model)) {
        m_tracker.setSelectionSize(model.chosenWidth(), model.chosenHeight(), selectionView());
        m_host.redrawPictureView();
        return true;
    }
    if (savedPresent)
        m_tracker.restore(savedRect, true);
    else
        m_tracker.clearSelection();
    m_host.redrawPictureView();
    return false;
}

// ---- channel mask ----

// ---- inverting and alpha ----

bool CKestrelDoc::invertColour()
{
    if (!m_pMaps)
        return false;
    if (!m_bRed && !m_bGreen && !m_bBlue) {
        message(korvix::msg(korvix::MessageId::NoColourChannel));
        return false;
    }
    const ProcessRegion r = regionFromSelection();
    // Bytes blue, green, red: xor with 255 is 255 minus the value.
    const std::array<std::uint8_t, 4> mask = {static_cast<std::uint8_t>(m_bBlue ? 255 : 0),
                                              static_cast<std::uint8_t>(m_bGreen ? 255 : 0),
                                              static_cast<std::uint8_t>(m_bRed ? 255 : 0), 0};
    {
        WaitCursor wait(m_host);
        docinternal::xorBytes(singleMap(), r, mask);
        recordInverse(korvix::MessageId::StepInvertColour, UndoStep::Operation::XorBytes, statusQuo(false), r, mask);
        rebuildAndRedraw(false);
    }
    if (m_nDisplayMode == MODE_ALPHA)
        message(korvix::msg(korvix::MessageId::ColourInverted));
    return true;
}

bool CKestrelDoc::invertAlpha()
{
    if (!m_pMaps)
        return false;
    leaveSmoothView();
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        const ProcessRegion r = regionFromSelection();
        // 255 minus the alpha byte.
        const std::array<std::uint8_t, 4> mask = {0, 0, 0, 255};
        docinternal::xorBytes(singleMap(), r, mask);
        recordInverse(korvix::MessageId::StepInvertAlpha, UndoStep::Operation::XorBytes, statusQuo(false), r, mask);
        m_bRgbaViewStale = m_bAlphaViewStale = true;
        // The RGB view does not show alpha: nothing to redraw there.
        if (m_nDisplayMode != MODE_RGB) {
            setDisplayMode(m_nDisplayMode);
            m_host.redrawPictureView();
        }
    }
    if (m_nDisplayMode == MODE_RGB)
        message(korvix::msg(korvix::MessageId::AlphaInverted));
    return true;
}

bool CKestrelDoc::createAlpha()
{
    if (!m_pMaps || m_bHasAlpha)
        return false;
    PictureState before = statusQuo(false);
    m_bHasAlpha = true;
    recordState(korvix::MessageId::StepCreateAlpha, std::move(before));
    m_host.redrawPictureView();
    return true;
}

bool CKestrelDoc::removeAlpha()
{
    if (!m_pMaps || !m_bHasAlpha)
        return false;
    PictureState before = statusQuo(false);
    m_bHasAlpha = false;
    recordState(korvix::MessageId::StepRemoveAlpha, std::move(before));
    setDisplayMode(MODE_RGB);
    return true;
}

// ---- maps and geometry ----

bool CKestrelDoc::removeSmallMaps()
{
    if (!m_pMaps)
        return false;
    if (m_host.messageBox(korvix::msg(korvix::MessageId::RemoveSmallMapsQuestion), "", MessageIcon::Question, MessageButtons::OkCancel)
        != MessageAnswer::Ok)
        return false;
    {
        NotReady busy(m_bReady);
        PixelBitmap copy;
        copy.copyFrom((*m_pMaps)[m_nMaps - 1], 0);
        PictureState before = statusQuo(false);
        Replaced old = replaceMap(std::move(copy));
        before.keepRaw(std::move(old.raw));
        recordPicture(korvix::MessageId::StepRemoveSmallMaps, std::move(before), std::move(old.maps));
        m_nSource = SOURCE_OTHER;
        m_bRawTexture = false;
        // The map buttons follow the shown map: Map 0 is down, the others up.
        clearSelection();
        m_bNoSelection = false;
        m_nLargestMap = 0;
    }
    m_bRgbaViewStale = m_bAlphaViewStale = true;
    {
        WaitCursor wait(m_host);
        setDisplayMode(m_nDisplayMode);
    }
    m_host.refreshPictureView();
    return true;
}

bool CKestrelDoc::crop()
{
    if (!m_pMaps)
        return false;
    leaveSmoothView();
    const ProcessRegion r = regionFromSelection();
    if (!m_tracker.selectionImageRect() || r.width <= 0 || r.height <= 0) {
        message(korvix::msg(korvix::MessageId::NothingSelected));
        return false;
    }
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        // The old map goes whole into the undo step; the rest of the map set
        // (the bytes as loaded) stays, as cropping where it lies would leave it.
        PixelBitmap cropped = singleMap().cropped(r.x, r.x + r.width, r.y, r.y + r.height);
        m_pShown = nullptr;
        auto old = std::make_unique<MapSet>(1);
        (*old)[0] = std::exchange(singleMap(), std::move(cropped));
        recordPicture(korvix::MessageId::StepCrop, statusQuo(false), std::move(old));
        m_bRgbaViewStale = m_bAlphaViewStale = true;
        setDisplayMode(m_nDisplayMode);
    }
    m_host.refreshPictureView();
    // The selection now covers the whole, smaller map.
    m_tracker.selectAll(selectionView());
    return true;
}

bool CKestrelDoc::resize()
{
    if (!m_pMaps)
        return false;
    leaveSmoothView();
    const PixelBitmap& map = singleMap();
    if (map.width() < 4 || map.height() < 4)
        return false;
    SizeDialogModel model = SizeDialogModel::forResize();
    if (!m_host.runSizeDialog(model))
        return false;
    const int w = model.chosenWidth(), h = model.chosenHeight();
    if (w == map.width() && h == map.height())
        return true;
    // The resampler reads the map's rows and writes the new bitmap's: no
    // working images between them.
    PixelBitmap fresh;
    try {
        fresh.create(w, h, 32, false);
    } catch (const CTextException&) {
        return false;  // memory short: the map stays as it is
    }
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        if (!resampleByRule(singleMap(), fresh))
            return false;  // the resampler's memory was short: the map stays as it is
        PictureState before = statusQuo(false);
        Replaced old = takeNewMap(std::move(fresh));
        before.keepRaw(std::move(old.raw));
        recordPicture(korvix::MessageId::StepResize, std::move(before), std::move(old.maps));
    }
    m_host.refreshPictureView();
    return true;
}

bool CKestrelDoc::filterCommand(int id)
{
    if (!m_pMaps)
        return false;
    const bool alpha = id == ID_ALPHA_BLUR || id == ID_ALPHA_BLUR_STRONG;
    leaveSmoothView();
    ProcessRegion region = regionFromSelection();
    region.channel = alpha ? ProcessRegion::Alpha : ProcessRegion::Colour;
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        // The filter writes only the region's rows: they are kept as they were
        // for the undo step, which keeps their difference to the result.
        PictureState before = statusQuo(false);
        PixelMemory saved;
        const std::size_t rowBytes = static_cast<std::size_t>(singleMap().bytesPerLine());
        if (m_history.keepsSteps() && region.width > 0 && region.height > 0) {
            try {
                saved = PixelMemory(rowBytes * static_cast<std::size_t>(region.height));
                for (int y = 0; y < region.height; ++y)
                    std::memcpy(saved.data() + static_cast<std::size_t>(y) * rowBytes, singleMap().row(region.y + y),
                                rowBytes);
            } catch (const std::bad_alloc&) {
                saved.reset();  // no way back for this one
            }
        }
        filterWhereItLies(singleMap(), region, [id](FilterImage& image) {
            if (id == ID_SHARPEN)
                sharpen3x3(image, image);
            else if (id == ID_BLUR || id == ID_ALPHA_BLUR)
                boxBlur(image, image, 3, 1);
            else
                boxBlur(image, image, 7, 3);
        });
        Replaced old = replaceMap(std::move(singleMap()));
        before.keepRaw(std::move(old.raw));
        recordPixelsFrom(filterStepName(id), std::move(before), std::move(saved), region.y, region.height);
        rebuildAndRedraw(false);
    }
    if (!alpha && m_nDisplayMode == MODE_ALPHA)
        message(id == ID_SHARPEN ? korvix::msg(korvix::MessageId::ColourSharpened) : korvix::msg(korvix::MessageId::ColourBlurred));
    if (alpha && m_nDisplayMode == MODE_RGB)
        message(korvix::msg(korvix::MessageId::AlphaBlurred));
    return true;
}

bool CKestrelDoc::rotate(bool clockwise)
{
    if (!m_pMaps)
        return false;
    leaveSmoothView();
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        PictureState before = statusQuo(false);
        PixelBitmap fresh = docinternal::rotatedPixels(singleMap(), clockwise);
        fresh.setHasAlpha(true);
        Replaced old = takeNewMap(std::move(fresh));
        before.keepRaw(std::move(old.raw));
        // Turning back undoes it: no pixels kept.
        recordInverse(clockwise ? korvix::MessageId::StepRotateClockwise : korvix::MessageId::StepRotateCounterClockwise,
                      clockwise ? UndoStep::Operation::RotateClockwise : UndoStep::Operation::RotateCounterClockwise,
                      std::move(before));
    }
    m_host.refreshPictureView();
    return true;
}

bool CKestrelDoc::mirror(bool leftRight)
{
    if (!m_pMaps)
        return false;
    leaveSmoothView();
    {
        NotReady busy(m_bReady);
        WaitCursor wait(m_host);
        PictureState before = statusQuo(false);
        PixelBitmap& map = singleMap();
        docinternal::mirrorPixels(map, leftRight);
        // The map stands for the mirrored copy the command would have made, which has no alpha.
        map.setHasAlpha(false);
        Replaced old = takeNewMap(std::move(map));
        before.keepRaw(std::move(old.raw));
        // Mirroring again undoes it: no pixels kept.
        recordInverse(leftRight ? korvix::MessageId::StepMirrorLeftRight : korvix::MessageId::StepMirrorTopBottom,
                      leftRight ? UndoStep::Operation::MirrorLeftRight : UndoStep::Operation::MirrorTopBottom,
                      std::move(before));
        m_host.redrawPictureView();
    }
    return true;
}

// ---- information report ----

std::string CKestrelDoc::informationReport() const
{
    if (!m_pMaps || m_nMaps < 1)
        return {};
    const int n = m_nMaps;
    const PixelBitmap& largest = (*m_pMaps)[n - 1];
    const int w = largest.width(), h = largest.height();
    const std::string smallest = n > 1 ? format(korvix::msg(korvix::MessageId::SmallestMapFormat), w >> (n - 1), h >> (n - 1)) : std::string();
    const int s = w * h / 2;
    int total = 0;
    for (int i = 0, term = s; i < n; ++i, term /= 4)
        total += term;
    const int tga = w * h * (m_bHasAlpha ? 4 : 3);
    const std::string sizes = format(korvix::msg(korvix::MessageId::ByteCountsFormat), s, total, w, h, tga);
    const std::string maps = format("%d", n);
    return format(korvix::msg(korvix::MessageId::ReportFormat), w, h, m_bHasAlpha ? korvix::msg(korvix::MessageId::WordYes) : korvix::msg(korvix::MessageId::WordNo), maps.c_str(),
                  smallest.c_str(), sizes.c_str());
}

void CKestrelDoc::objectInfoCommand()
{
    if (!m_pMaps)
        return;
    m_host.messageBox(informationReport(), korvix::msg(korvix::MessageId::CaptionImageInfo), MessageIcon::Information, MessageButtons::Ok);
}
