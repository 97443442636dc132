// Brightness, contrast and gamma: previews computed from the untouched map
// while the dialog is open, then committed or discarded.
#include "document/CKestrelDoc.h"

#include "codecs/BitmapFilterImage.h"
#include "common/MessageTable.h"
#include "document/AdjustmentDialogModel.h"
#include "document/CommandIds.h"
#include "document/DocumentInternal.h"
#include "filters/ImageFilters.h"

#include <cmath>
#include <cstring>

using docinternal::NotReady;
using docinternal::WaitCursor;

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

// Shows a preview in the RGBA or alpha view: the buffer of the current mode is
// built from the preview instead of the map.
void CKestrelDoc::showPreviewBitmap(const PixelBitmap& result)
{
    if (m_nDisplayMode == MODE_RGB || !m_bHasAlpha) {
        m_pShown = const_cast<PixelBitmap*>(&result);
        return;
    }
    m_pDisplaySource = &result;
    if (m_nDisplayMode == MODE_RGBA)
        m_bRgbaViewStale = true;
    else
        m_bAlphaViewStale = true;
    setDisplayMode(m_nDisplayMode);
    m_pDisplaySource = nullptr;
    // The buffer now shows the preview, not the map.
    if (m_nDisplayMode == MODE_RGBA)
        m_bRgbaViewStale = true;
    else
        m_bAlphaViewStale = true;
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
    FilterImage& src = *a.source;
    FilterImage& work = *a.work;
    src.setRegion(&a.region);
    work.setRegion(&a.region);
    const auto add = [&](int channel, int d) {
        a.region.channel = channel;
        if (d > 0)
            addConstant(src, work, d);
        else
            subtractConstant(src, work, -d);  // d = 0 copies
    };
    const auto copy = [&](int channel) {
        a.region.channel = channel;
        copyChannels(src, work);
    };
    const auto addColour = [&](int d) {
        if (a.firstChannel >= 0)
            add(a.firstChannel, d);
        if (a.secondChannel >= 0)
            add(a.secondChannel, d);
    };
    if (m_nDisplayMode == MODE_RGBA) {
        copy(ProcessRegion::Colour);
        add(ProcessRegion::Alpha, da);
        addColour(dc);
    } else if (adjustAlpha) {
        if (a.needRestore) {
            if (a.firstChannel >= 0)
                copy(a.firstChannel);
            if (a.secondChannel >= 0)
                copy(a.secondChannel);
            a.needRestore = false;
        }
        add(ProcessRegion::Alpha, da);
    } else {
        a.needRestore = true;
        if (a.secondChannel >= 0)
            copy(ProcessRegion::Colour);
        addColour(dc);
    }
    imageToBitmap(work, a.result);
    showPreviewBitmap(a.result);
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

    {
        NotReady busy(m_bReady);
        if (ok && a.applied) {
            PixelBitmap committed;
            committed.copyFrom(a.result, 32);
            replaceMap(std::move(committed));
        }
        // A preview may have overwritten either display buffer.
        m_bRgbaViewStale = m_bAlphaViewStale = true;
        if (m_nDisplayMode != a.savedMode)
            setDisplayModeWithButtons(a.savedMode);
        else
            setDisplayMode(a.savedMode);
    }
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
    for (int y = 0; y < map.height(); ++y) {
        const std::uint8_t* s = map.row(y);
        std::uint8_t* d = a.result.row(y);
        // Outside the region every byte is copied; inside, alpha is.
        std::memcpy(d, s, rowBytes);
        if (y < r.y || y >= r.y + r.height)
            continue;
        for (int x = r.x; x < r.x + r.width; ++x) {
            d[4 * x] = tb[s[4 * x]];
            d[4 * x + 1] = tg[s[4 * x + 1]];
            d[4 * x + 2] = tr[s[4 * x + 2]];
        }
    }
    showPreviewBitmap(a.result);
    m_host.redrawPictureView();
    a.applied = true;
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

    {
        NotReady busy(m_bReady);
        if (ok && a.applied) {
            PixelBitmap committed;
            committed.copyFrom(a.result, 32);
            replaceMap(std::move(committed));
        }
        // Nothing may go on showing the preview once it is released.
        m_bRgbaViewStale = m_bAlphaViewStale = true;
        if (m_nDisplayMode != a.savedMode)
            setDisplayModeWithButtons(a.savedMode);
        else
            setDisplayMode(a.savedMode);
    }
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
