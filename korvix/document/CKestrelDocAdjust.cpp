// Brightness, contrast and gamma: previews computed from the untouched map
// while the dialog is open, then committed or discarded.
#include "document/CKestrelDoc.h"

#include "codecs/BitmapFilterImage.h"
#include "common/MessageTable.h"
#include "document/AdjustmentDialogModel.h"
#include "document/ColourTables.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"
#include "filters/ImageFilters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using docinternal::NotReady;
using docinternal::WaitCursor;

namespace {

// What a brightness preview does to the four bytes (blue, green, red, alpha)
// of each processed pixel: the source byte plus add[c] minus sub[c], saturating
// at 0 and 255 (one of the two is 0, so this is the byte plus the signed delta,
// clamped), or where keep[c] is 0xFF the byte the working image holds already.
struct BytePlan {
    std::uint8_t add[4] = {0, 0, 0, 0};
    std::uint8_t sub[4] = {0, 0, 0, 0};
    std::uint8_t keep[4] = {0, 0, 0, 0};

    void setDelta(int c, int d)
    {
        add[c] = static_cast<std::uint8_t>(std::max(d, 0));
        sub[c] = static_cast<std::uint8_t>(std::max(-d, 0));
    }
    bool keepsAny() const { return (keep[0] | keep[1] | keep[2] | keep[3]) != 0; }
};

// `count` pixels: out = the plan applied to src, with the kept bytes from
// `work` (not read when the plan keeps nothing). out may be work.
void applyPlan(const std::uint8_t* src, const std::uint8_t* work, std::uint8_t* out, int count, const BytePlan& plan)
{
    int x = 0;
#if defined(__SSE2__)
    const auto spread = [](const std::uint8_t* bytes) {
        std::int32_t v;
        std::memcpy(&v, bytes, 4);
        return _mm_set1_epi32(v);
    };
    const __m128i add = spread(plan.add), sub = spread(plan.sub), keep = spread(plan.keep);
    const bool keeps = plan.keepsAny();
    for (; x + 4 <= count; x += 4) {
        const std::size_t i = 4 * static_cast<std::size_t>(x);
        __m128i v = _mm_subs_epu8(_mm_adds_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), add), sub);
        if (keeps)
            v = _mm_or_si128(_mm_and_si128(keep, _mm_loadu_si128(reinterpret_cast<const __m128i*>(work + i))),
                             _mm_andnot_si128(keep, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), v);
    }
#endif
    for (; x < count; ++x) {
        for (std::size_t c = 0; c < 4; ++c) {
            const std::size_t i = 4 * static_cast<std::size_t>(x) + c;
            out[i] = plan.keep[c] ? work[i]
                                  : static_cast<std::uint8_t>(std::clamp(src[i] + plan.add[c] - plan.sub[c], 0, 255));
        }
    }
}

}  // namespace

// The working state of the open adjustment dialog.
struct CKestrelDoc::Adjustment {
    std::unique_ptr<FilterImage> source;  // brightness: the untouched map
    std::unique_ptr<FilterImage> work;    // brightness: source plus the deltas
    PixelBitmap result;
    ProcessRegion region;
    bool applied = false;
    int savedMode = MODE_RGB;
    bool needRestore = true;
    // Brightness: the region channels of the active colour channels (0 for all
    // three); -1 for none.
    int firstChannel = -1;
    int secondChannel = -1;
    // Brightness in the RGBA view computes each preview from the source alone
    // and leaves `work` behind; the plan brings it up to date when a preview in
    // another view needs its content.
    bool workBehind = false;
    BytePlan behindPlan;
    // The undo step's name.
    korvix::MessageId name = korvix::MessageId::StepBrightness;
};

std::array<std::uint8_t, 256> CKestrelDoc::contrastTable(int v)
{
    v = std::clamp(v, -127, 127);
    std::array<std::uint8_t, 256> t{};
    // Steps in 4-bit fixed point, divisions truncating.
    if (v <= 0) {
        const int step = v == 0 ? 16 : (16 * (256 + 2 * v)) / 255;
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::min(255, (16 * -v + i * step) / 16));
        return t;
    }
    const int step = 4096 / (255 - 2 * v);
    for (int i = 0; i < 256; ++i) {
        int value = 255;
        if (i < v)
            value = 0;
        else if (i < 255 - v)
            value = std::min(255, ((i - v) * step) / 16);
        t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
    }
    return t;
}

std::array<std::uint8_t, 256> CKestrelDoc::gammaTable(double gamma)
{
    std::array<std::uint8_t, 256> t{};
    for (int i = 1; i < 256; ++i) {
        const double v = std::floor(255.0 * std::pow(i / 255.0, 1.0 / gamma) + 0.5);
        t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
    }
    return t;
}

void CKestrelDoc::setDisplayModeWithButtons(int mode)
{
    if (mode == m_nDisplayMode || mode < MODE_RGB || mode > MODE_ALPHA)
        return;
    setDisplayMode(mode);
    m_nViewButton = mode;
}

// Band height of a preview: a band of result rows is still in the cache when
// its display rows are built from it.
constexpr int PREVIEW_BAND = 16;

void CKestrelDoc::showPreview(PixelBitmap& result, const std::function<void(int y0, int y1)>& produce)
{
    const bool viaBuffer = m_nDisplayMode != MODE_RGB && m_bHasAlpha;
    const int which = m_nDisplayMode == MODE_RGBA ? 0 : 1;
    if (viaBuffer)
        prepareViewBuffer(which, result);
    for (int y0 = 0; y0 < result.height(); y0 += PREVIEW_BAND) {
        const int y1 = std::min(result.height(), y0 + PREVIEW_BAND);
        produce(y0, y1);
        if (viaBuffer)
            buildViewRows(which, result, y0, y1);
    }
    if (!viaBuffer) {
        m_pShown = &result;
        return;
    }
    // The buffer is current for showing it, and stale again afterwards: it
    // shows the preview, not the map.
    bool& stale = which == 0 ? m_bRgbaViewStale : m_bAlphaViewStale;
    stale = false;
    setDisplayMode(m_nDisplayMode);
    stale = true;
}

// ---- brightness ----

void CKestrelDoc::brightnessPreview(Adjustment& a, int da, int dc, bool adjustAlpha)
{
    if (da == 0 && dc == 0) {
        // The unchanged picture.
        m_bRgbaViewStale = m_bAlphaViewStale = true;
        setDisplayMode(m_nDisplayMode);
        m_host.redrawPictureView();
        a.applied = false;
        return;
    }
    NotReady busy(m_bReady);
    const FilterImage& src = *a.source;
    FilterImage& work = *a.work;
    const ProcessRegion& r = a.region;
    // The bytes of the active colour channels (region channels 1 ... 3 are
    // bytes 0 ... 2; channel 0 stands for all three).
    const auto active = [&](int byte) {
        return a.firstChannel == ProcessRegion::Colour || a.firstChannel == byte + 1 || a.secondChannel == byte + 1;
    };
    const auto applyToWork = [&](const BytePlan& plan) {
        for (int y = r.y; y < r.y + r.height; ++y) {
            const std::size_t x0 = 4 * static_cast<std::size_t>(r.x);
            applyPlan(src.row(y) + x0, work.row(y) + x0, work.row(y) + x0, r.width, plan);
        }
    };
    BytePlan plan;  // all zero: the source's byte
    bool writeWork = true;
    if (m_nDisplayMode == MODE_RGBA) {
        // The colours from the source, the deltas on alpha and the active colours.
        for (int c = 0; c < 3; ++c)
            if (active(c))
                plan.setDelta(c, dc);
        plan.setDelta(3, da);
        writeWork = false;
        a.workBehind = true;
        a.behindPlan = plan;
    } else {
        if (a.workBehind) {
            applyToWork(a.behindPlan);
            a.workBehind = false;
        }
        if (adjustAlpha) {
            // The active colours back from the source once after colour work;
            // the delta on alpha.
            for (int c = 0; c < 3; ++c)
                plan.keep[c] = active(c) && a.needRestore ? 0x00 : 0xFF;
            a.needRestore = false;
            plan.setDelta(3, da);
        } else {
            // The delta on the active colours; with exactly two active the third
            // comes from the source, with one the others stay; alpha stays.
            a.needRestore = true;
            for (int c = 0; c < 3; ++c) {
                if (active(c))
                    plan.setDelta(c, dc);
                else
                    plan.keep[c] = a.secondChannel >= 0 ? 0x00 : 0xFF;
            }
            plan.keep[3] = 0xFF;
        }
    }
    // Outside the region the working image is the source. Each band: the
    // region's pixels computed, the result rows written, the view built.
    const std::size_t rowBytes = src.stride();
    const std::size_t x0 = 4 * static_cast<std::size_t>(r.x), regionBytes = 4 * static_cast<std::size_t>(r.width);
    showPreview(a.result, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = src.row(y);
            std::uint8_t* w = work.row(y);
            std::uint8_t* out = a.result.row(y);
            if (y < r.y || y >= r.y + r.height || r.width <= 0) {
                std::memcpy(out, s, rowBytes);
            } else if (writeWork) {
                applyPlan(s + x0, w + x0, w + x0, r.width, plan);
                std::memcpy(out, w, rowBytes);
            } else {
                std::memcpy(out, s, x0);
                applyPlan(s + x0, nullptr, out + x0, r.width, plan);
                std::memcpy(out + x0 + regionBytes, s + x0 + regionBytes, rowBytes - x0 - regionBytes);
            }
        }
    });
    a.applied = true;
    m_bReady = true;
    m_host.refreshPictureView();
}

bool CKestrelDoc::brightnessCommand()
{
    if (!m_pMaps)
        return false;
    const bool anyColour = m_bRed || m_bGreen || m_bBlue;
    if (!anyColour && !m_bHasAlpha) {
        message(korvix::msg(korvix::MessageId::NoColourChannelNoAlpha));
        return false;
    }
    Adjustment a;
    a.name = korvix::MessageId::StepBrightness;
    a.savedMode = m_nDisplayMode;
    const PixelBitmap& map = singleMap();
    a.source = imageFromBitmap(map);
    a.work = a.source ? cloneImage(*a.source) : nullptr;
    if (!a.source || !a.work)
        return false;
    a.result.create(map.width(), map.height(), 32, map.hasAlpha());
    a.region = regionFromSelection();
    if (m_bRed && m_bGreen && m_bBlue) {
        a.firstChannel = ProcessRegion::Colour;
    } else {
        for (const auto& [on, channel] : {std::pair{m_bRed, ProcessRegion::Red}, std::pair{m_bGreen, ProcessRegion::Green},
                                          std::pair{m_bBlue, ProcessRegion::Blue}}) {
            if (!on)
                continue;
            (a.firstChannel < 0 ? a.firstChannel : a.secondChannel) = channel;
        }
    }
    leaveSmoothView();

    AdjustmentDialogModel model(
        AdjustmentDialogModel::Kind::Brightness,
        [&](const AdjustmentDialogModel::Values& v) { brightnessPreview(a, v.alpha, v.colour, v.adjustAlpha); },
        [this](int mode) { setDisplayModeWithButtons(mode); }, m_bHasAlpha, anyColour, m_nDisplayMode == MODE_ALPHA);
    const bool ok = m_host.runAdjustmentDialog(model);
    closeAdjustment(a, ok);
    m_host.refreshPictureView();
    return ok;
}

// ---- contrast and gamma ----

void CKestrelDoc::applyTable(Adjustment& a, const std::array<std::uint8_t, 256>& table)
{
    static const auto identity = [] {
        std::array<std::uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
        return t;
    }();
    const std::uint8_t* tb = (m_bBlue ? table : identity).data();
    const std::uint8_t* tg = (m_bGreen ? table : identity).data();
    const std::uint8_t* tr = (m_bRed ? table : identity).data();
    const PixelBitmap& map = singleMap();
    const ProcessRegion& r = a.region;
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(map.width());
    const colourtables::RowTable row = colourtables::bestRow();
    showPreview(a.result, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* s = map.row(y);
            std::uint8_t* d = a.result.row(y);
            // Outside the region every byte is copied; inside, alpha is.
            if (y < r.y || y >= r.y + r.height || r.width <= 0) {
                std::memcpy(d, s, rowBytes);
                continue;
            }
            const std::size_t x0 = 4 * static_cast<std::size_t>(r.x), x1 = x0 + 4 * static_cast<std::size_t>(r.width);
            std::memcpy(d, s, x0);
            row(s + x0, d + x0, r.width, tb, tg, tr);
            std::memcpy(d + x1, s + x1, rowBytes - x1);
        }
    });
    m_host.redrawPictureView();
    a.applied = true;
}

// Closing an adjustment dialog: the result becomes the map on OK when one was
// computed; the display buffers are stale either way (a preview may have
// overwritten them) and the mode the dialog opened in comes back.
void CKestrelDoc::closeAdjustment(Adjustment& a, bool ok)
{
    NotReady busy(m_bReady);
    if (ok && a.applied) {
        // The undo step keeps the difference between the untouched map and the result.
        PictureState before = statusQuo(false);
        PixelDelta delta;
        bool kept = m_history.keepsSteps();
        if (kept) {
            try {
                delta = PixelDelta::between(singleMap(), a.result);
            } catch (const std::bad_alloc&) {
                kept = false;
            }
        }
        Replaced old = replaceMap(std::move(a.result));
        before.keepRaw(std::move(old.raw));
        if (kept) {
            recordPixels(a.name, std::move(before), std::move(delta));
        } else {
            m_history.recordLoss();
            showTitle();
        }
    }
    m_bRgbaViewStale = m_bAlphaViewStale = true;
    if (m_nDisplayMode != a.savedMode)
        setDisplayModeWithButtons(a.savedMode);
    else
        setDisplayMode(a.savedMode);
}

bool CKestrelDoc::tableCommand(bool gamma)
{
    if (!m_pMaps)
        return false;
    if (!m_bRed && !m_bGreen && !m_bBlue) {
        message(korvix::msg(korvix::MessageId::NoColourChannel));
        return false;
    }
    leaveSmoothView();
    Adjustment a;
    a.name = gamma ? korvix::MessageId::StepGamma : korvix::MessageId::StepContrast;
    a.savedMode = m_nDisplayMode;
    a.result.create(singleMap().width(), singleMap().height(), 32, true);
    a.region = regionFromSelection();
    if (a.savedMode == MODE_ALPHA)
        setDisplayModeWithButtons(MODE_RGB);  // so that the colours are visible

    AdjustmentDialogModel model(gamma ? AdjustmentDialogModel::Kind::Gamma : AdjustmentDialogModel::Kind::Contrast,
                                [&](const AdjustmentDialogModel::Values& v) {
                                    applyTable(a, gamma ? gammaTable(v.gamma) : contrastTable(v.colour));
                                });
    const bool ok = m_host.runAdjustmentDialog(model);
    closeAdjustment(a, ok);
    m_host.redrawPictureView();
    return ok;
}

bool CKestrelDoc::contrastCommand()
{
    return tableCommand(false);
}

bool CKestrelDoc::gammaCommand()
{
    return tableCommand(true);
}
