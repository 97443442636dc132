// What the picture view shows: the current map, the RGBA view blended over the
// background pattern, or the alpha view; map, zoom, mode and smoothing commands
// and the enabling rules.
#include "document/CKestrelDoc.h"

#include "document/BackgroundBlend.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"

#include <cmath>
#include <cstring>

using docinternal::WaitCursor;

namespace {

// One pass of the smoothing kernel along x (horizontal) or y: weights over the
// pixel and its neighbours inside the image, normalised to sum 1.
void smoothPass(const PixelBitmap& src, PixelBitmap& dst, bool horizontal)
{
    const double k = 1.0 / std::sqrt(2.0 * M_PI);
    const double wCentre = std::exp(-1.0) * k;        // d = 0
    const double wSide = std::exp(-1.0 - 1.0) * k;    // d = 1
    const int w = src.width(), h = src.height();
    for (int y = 0; y < h; ++y) {
        std::uint8_t* d = dst.row(y);
        for (int x = 0; x < w; ++x) {
            const bool hasPrev = horizontal ? x > 0 : y > 0;
            const bool hasNext = horizontal ? x + 1 < w : y + 1 < h;
            const double total = wCentre + (hasPrev ? wSide : 0) + (hasNext ? wSide : 0);
            const std::uint8_t* c = src.row(y) + 4 * static_cast<std::size_t>(x);
            const std::uint8_t* p = hasPrev ? (horizontal ? c - 4 : src.row(y - 1) + 4 * static_cast<std::size_t>(x)) : c;
            const std::uint8_t* n = hasNext ? (horizontal ? c + 4 : src.row(y + 1) + 4 * static_cast<std::size_t>(x)) : c;
            for (int ch = 0; ch < 4; ++ch) {
                const double v = (wCentre * c[ch] + (hasPrev ? wSide * p[ch] : 0) + (hasNext ? wSide * n[ch] : 0)) / total;
                d[4 * x + ch] = static_cast<std::uint8_t>(std::lround(std::min(255.0, v)));
            }
        }
    }
}

}  // namespace

void CKestrelDoc::prepareViewBuffer(int which, const PixelBitmap& from)
{
    PixelBitmap& buffer = m_pViewBuffers[static_cast<std::size_t>(which)];
    if (buffer.width() != from.width() || buffer.height() != from.height())
        buffer.create(from.width(), from.height(), 32, true);
}

// Rows y0 ... y1 - 1 of display buffer `which` from the same rows of `from`
// (a buffer prepared for its size): 0 the RGBA view, 1 the alpha view.
void CKestrelDoc::buildViewRows(int which, const PixelBitmap& from, int y0, int y1)
{
    PixelBitmap& buffer = m_pViewBuffers[static_cast<std::size_t>(which)];
    if (which == 1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = from.row(y);
            std::uint8_t* d = buffer.row(y);
            for (int x = 0; x < from.width(); ++x)
                d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = s[4 * x + 3];
        }
    } else {
        backgroundblend::blendRows(from, buffer, m_pBackground.data(), BACKGROUND_SIDE, y0, y1);
    }
}

void CKestrelDoc::rebuildViewBuffer(int which)
{
    const PixelBitmap& map = (*m_pMaps)[m_nCurMap];
    prepareViewBuffer(which, map);
    buildViewRows(which, map, 0, map.height());
    (which == 1 ? m_bAlphaViewStale : m_bRgbaViewStale) = false;
}

void CKestrelDoc::setDisplayMode(int mode)
{
    if (mode < MODE_RGB || mode > MODE_ALPHA)
        return;
    WaitCursor wait(m_host);
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    m_nDisplayMode = mode;
    if (m_pMaps && m_nCurMap >= 0 && m_nCurMap < m_nMaps) {
        if (mode == MODE_RGB || !m_bHasAlpha) {
            m_pShown = &(*m_pMaps)[m_nCurMap];
        } else if (mode == MODE_RGBA) {
            if (m_bRgbaViewStale)
                rebuildViewBuffer(0);
            m_pShown = &m_pViewBuffers[0];
        } else {
            if (m_bAlphaViewStale)
                rebuildViewBuffer(1);
            m_pShown = &m_pViewBuffers[1];
        }
    }
    if (oldRedraw) {
        if (m_host.hasPictureView())
            m_host.refreshPictureView();
        m_bRedraw = true;
    }
}

void CKestrelDoc::selectMap(int index)
{
    // The map buttons follow the shown map (commandChecked); after a load that
    // is the largest one.
    m_nLargestMap = index;
    if (!m_bHasAlpha) {
        resetViewButtons();
        setDisplayMode(MODE_RGB);
    }
}

void CKestrelDoc::selectMapCommand(int k)
{
    if (!m_bReady || k < 0 || k > m_nLargestMap)
        return;
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    m_nCurMap = k;
    clearSelection();
    m_bNoSelection = m_nMaps != 1;
    if (m_nDisplayMode == MODE_RGBA)
        m_bRgbaViewStale = true;
    if (m_nDisplayMode == MODE_ALPHA)
        m_bAlphaViewStale = true;
    setDisplayMode(m_nDisplayMode);
    if (oldRedraw) {
        m_host.refreshPictureView();
        m_bRedraw = true;
    }
}

void CKestrelDoc::checkViewButton(int id, bool on)
{
    const int mode = id == ID_VIEW_RGB ? MODE_RGB : id == ID_VIEW_RGBA ? MODE_RGBA : id == ID_VIEW_ALPHA ? MODE_ALPHA : -1;
    if (mode < 0)
        return;  // the zoom buttons are push buttons: nothing stays down
    if (on)
        m_nViewButton = mode;
    else if (m_nViewButton == mode)
        m_nViewButton = -1;
}

void CKestrelDoc::resetViewButtons()
{
    for (const int id : {ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_RESET, ID_VIEW_RGB, ID_VIEW_RGBA, ID_VIEW_ALPHA})
        checkViewButton(id, false);
    if (m_bReady)
        checkViewButton(ID_VIEW_RGB, true);
}

PictureGeometry CKestrelDoc::shownView() const
{
    PictureGeometry v = m_host.pictureViewGeometry();
    v.imageWidth = m_pShown ? m_pShown->width() : 0;
    v.imageHeight = m_pShown ? m_pShown->height() : 0;
    v.setZoomFactor(m_fZoom);
    return v;
}

void CKestrelDoc::setZoom(float factor)
{
    if (factor == m_fZoom)
        return;
    m_fZoom = factor;
    m_host.setPictureZoom(m_fZoom);
    if (m_fZoom == 1)
        m_host.relayoutPictureView();
}

void CKestrelDoc::zoomIn()
{
    if (!m_host.hasPictureView())
        return;
    // Up from a reduction, 1:1 gets the relayout that the way down to it has.
    setZoom(zoomsteps::stepIn(m_fZoom));
}

void CKestrelDoc::zoomOut()
{
    if (!m_host.hasPictureView())
        return;
    if (const auto next = zoomsteps::stepOut(m_fZoom, shownView()))
        setZoom(*next);
}

void CKestrelDoc::zoomReset()
{
    if (!m_host.hasPictureView() || m_fZoom == 1)
        return;
    setZoom(1);
}

void CKestrelDoc::zoomToFit()
{
    if (!m_host.hasPictureView() || !m_pShown)
        return;
    setZoom(zoomsteps::fitFactor(shownView()));
}

void CKestrelDoc::displayModeCommand(int mode)
{
    if (mode < MODE_RGB || mode > MODE_ALPHA)
        return;
    m_host.activatePictureView();
    // The three buttons are one check group: the pressed one stays down.
    m_nViewButton = mode;
    setDisplayMode(mode);
}

void CKestrelDoc::smoothingCommand(bool on)
{
    const bool oldRedraw = m_bRedraw;
    m_bRedraw = false;
    m_bSmoothView = on;
    m_host.setPictureSmoothing(m_bSmoothView);
    if (oldRedraw) {
        m_host.refreshPictureView();
        m_bRedraw = true;
    }
}

std::unique_ptr<PixelBitmap> CKestrelDoc::smoothedImage() const
{
    if (!m_bReady || !m_pMaps)
        return nullptr;
    const bool alphaView = m_nDisplayMode == MODE_ALPHA && m_bHasAlpha;
    const PixelBitmap& source = alphaView ? m_pViewBuffers[1] : (*m_pMaps)[m_nCurMap];
    PixelBitmap across, smoothed;
    across.create(source.width(), source.height(), 32, true);
    smoothed.create(source.width(), source.height(), 32, true);
    smoothPass(source, across, true);
    smoothPass(across, smoothed, false);
    if (m_nDisplayMode == MODE_RGBA && m_bHasAlpha) {
        auto blended = std::make_unique<PixelBitmap>();
        blended->create(source.width(), source.height(), 32, true);
        backgroundblend::blendRows(smoothed, *blended, m_pBackground.data(), BACKGROUND_SIDE, 0, smoothed.height());
        for (int y = 0; y < smoothed.height(); ++y)
            for (int x = 0; x < smoothed.width(); ++x)
                blended->row(y)[4 * x + 3] = 255;
        return blended;
    }
    return std::make_unique<PixelBitmap>(std::move(smoothed));
}
