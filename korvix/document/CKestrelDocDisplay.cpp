// What the picture view shows: the current map, the RGBA view blended over the
// background pattern, or the alpha view; map, zoom, mode and smoothing commands
// and the enabling rules.
#include "document/CKestrelDoc.h"

#include "document/CommandIds.h"
#include "document/DocumentInternal.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using docinternal::WaitCursor;

namespace {

constexpr float ZOOM_STEPS[] = {1, 2, 4, 8, 16, 32};

// Blends `src` over the background pattern: each colour channel becomes
// ((255 - a) * g + v * a) >> 8; the alpha byte of `dst` is left alone. Both
// products and their sum fit 16 bits (at most 255 * 255), so four pixels are
// blended at once in 16-bit lanes where SSE2 is there.
void blendOverBackground(const PixelBitmap& src, PixelBitmap& dst, const std::uint8_t* background)
{
    for (int y = 0; y < src.height(); ++y) {
        const std::uint8_t* s = src.row(y);
        std::uint8_t* d = dst.row(y);
        const std::uint8_t* g = background + static_cast<std::size_t>(y) * CKestrelDoc::BACKGROUND_SIDE;
        int x = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i full = _mm_set1_epi16(255);
        const __m128i keepAlpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
        for (; x + 4 <= src.width(); x += 4) {
            const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
            std::uint32_t grey4;
            std::memcpy(&grey4, g + x, 4);
            // Each pixel's grey value and alpha, spread over its three colour bytes.
            const __m128i g32 = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(grey4)), zero), zero);
            const __m128i gBytes = _mm_or_si128(_mm_or_si128(g32, _mm_slli_epi32(g32, 8)), _mm_slli_epi32(g32, 16));
            const __m128i alpha32 = _mm_srli_epi32(px, 24);
            const __m128i aBytes = _mm_or_si128(_mm_or_si128(alpha32, _mm_slli_epi32(alpha32, 8)), _mm_slli_epi32(alpha32, 16));
            __m128i out[2];
            for (int half = 0; half < 2; ++half) {
                const __m128i v = half ? _mm_unpackhi_epi8(px, zero) : _mm_unpacklo_epi8(px, zero);
                const __m128i a = half ? _mm_unpackhi_epi8(aBytes, zero) : _mm_unpacklo_epi8(aBytes, zero);
                const __m128i gg = half ? _mm_unpackhi_epi8(gBytes, zero) : _mm_unpacklo_epi8(gBytes, zero);
                const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(full, a), gg), _mm_mullo_epi16(v, a));
                out[half] = _mm_srli_epi16(sum, 8);
            }
            const __m128i blended = _mm_packus_epi16(out[0], out[1]);
            const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 4 * x));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x),
                             _mm_or_si128(_mm_andnot_si128(keepAlpha, blended), _mm_and_si128(keepAlpha, old)));
        }
#endif
        for (; x < src.width(); ++x) {
            const std::uint8_t* sp = s + 4 * x;
            std::uint8_t* dp = d + 4 * x;
            const unsigned a = sp[3];
            const unsigned back = (255 - a) * g[x];
            dp[0] = static_cast<std::uint8_t>((back + sp[0] * a) >> 8);
            dp[1] = static_cast<std::uint8_t>((back + sp[1] * a) >> 8);
            dp[2] = static_cast<std::uint8_t>((back + sp[2] * a) >> 8);
        }
    }
}

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

void CKestrelDoc::rebuildViewBuffer(int which)
{
    const PixelBitmap& map = m_pDisplaySource ? *m_pDisplaySource : (*m_pMaps)[m_nCurMap];
    PixelBitmap& buffer = m_pViewBuffers[static_cast<std::size_t>(which)];
    if (buffer.width() != map.width() || buffer.height() != map.height())
        buffer.create(map.width(), map.height(), 32, true);
    if (which == 1) {
        for (int y = 0; y < map.height(); ++y) {
            const std::uint8_t* s = map.row(y);
            std::uint8_t* d = buffer.row(y);
            for (int x = 0; x < map.width(); ++x)
                d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = s[4 * x + 3];
        }
        m_bAlphaViewStale = false;
    } else {
        blendOverBackground(map, buffer, m_pBackground.data());
        m_bRgbaViewStale = false;
    }
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

void CKestrelDoc::zoomIn()
{
    if (!m_host.hasPictureView())
        return;
    for (std::size_t i = 0; i + 1 < std::size(ZOOM_STEPS); ++i) {
        if (m_fZoom == ZOOM_STEPS[i]) {
            m_fZoom = ZOOM_STEPS[i + 1];
            m_host.setPictureZoom(m_fZoom);
            return;
        }
    }
}

void CKestrelDoc::zoomOut()
{
    if (!m_host.hasPictureView())
        return;
    for (std::size_t i = 1; i < std::size(ZOOM_STEPS); ++i) {
        if (m_fZoom == ZOOM_STEPS[i]) {
            m_fZoom = ZOOM_STEPS[i - 1];
            m_host.setPictureZoom(m_fZoom);
            if (m_fZoom == 1)
                m_host.relayoutPictureView();
            return;
        }
    }
}

void CKestrelDoc::zoomReset()
{
    if (!m_host.hasPictureView() || !(m_fZoom > 1))
        return;
    m_fZoom = 1;
    m_host.setPictureZoom(1);
    m_host.relayoutPictureView();
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
        blendOverBackground(smoothed, *blended, m_pBackground.data());
        for (int y = 0; y < smoothed.height(); ++y)
            for (int x = 0; x < smoothed.width(); ++x)
                blended->row(y)[4 * x + 3] = 255;
        return blended;
    }
    return std::make_unique<PixelBitmap>(std::move(smoothed));
}
