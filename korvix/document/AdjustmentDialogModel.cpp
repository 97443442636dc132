#include "document/AdjustmentDialogModel.h"

#include "common/MessageTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Empty, or an optional leading '-' followed by digits only.
bool isIntegerText(const std::string& text)
{
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// The value of an integer text; "" and "-" are 0, and a number too long for an
// int saturates instead of overflowing.
int integerValue(const std::string& text)
{
    const bool negative = !text.empty() && text[0] == '-';
    long long v = 0;
    for (std::size_t i = negative ? 1 : 0; i < text.size(); ++i)
        v = std::min(v * 10 + (text[i] - '0'), 1000000000LL);
    return static_cast<int>(negative ? -v : v);
}

}  // namespace

AdjustmentDialogModel::AdjustmentDialogModel(Kind kind, PreviewFn preview, DisplayFn display, bool hasAlpha,
                                             bool anyColour, bool openedInAlphaView)
    : m_kind(kind), m_preview(std::move(preview)), m_display(std::move(display))
{
    if (kind == Kind::Gamma) {
        m_nSlider = 1000;
        m_strEdit = m_strLastValid = "1.0";
        return;
    }
    if (kind != Kind::Brightness)
        return;
    // Without alpha only "Farbe"; with alpha "Alpha" when the alpha view was
    // shown; without an active colour channel only "Alpha".
    m_bAlphaEnabled = hasAlpha;
    m_bAlpha = hasAlpha && openedInAlphaView;
    if (!anyColour) {
        m_bColourEnabled = false;
        m_bAlpha = true;
    }
    m_bOpenedInAlphaView = hasAlpha && openedInAlphaView;
}

const char* AdjustmentDialogModel::title() const
{
    switch (m_kind) {
    case Kind::Brightness: return korvix::msg(korvix::MessageId::TitleBrightness);
    case Kind::Contrast: return korvix::msg(korvix::MessageId::TitleContrast);
    case Kind::Gamma: return korvix::msg(korvix::MessageId::TitleGamma);
    }
    return "";
}

int AdjustmentDialogModel::sliderMin() const
{
    switch (m_kind) {
    case Kind::Brightness: return -255;
    case Kind::Contrast: return -127;
    case Kind::Gamma: return 10;
    }
    return 0;
}

int AdjustmentDialogModel::sliderMax() const
{
    switch (m_kind) {
    case Kind::Brightness: return 255;
    case Kind::Contrast: return 127;
    case Kind::Gamma: return 4000;
    }
    return 0;
}

std::string AdjustmentDialogModel::formatGamma(double gamma)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", gamma);
    std::string s = text;
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.')
        s.pop_back();
    return s;
}

void AdjustmentDialogModel::sliderMoved(int position)
{
    m_nSlider = std::clamp(position, sliderMin(), sliderMax());
    if (m_kind == Kind::Gamma) {
        m_fGamma = m_fTyped = m_nSlider / 1000.0;
        m_strEdit = formatGamma(m_fGamma);
    } else {
        chosenValue() = m_nSlider;
        m_strEdit = m_strLastValid = std::to_string(m_nSlider);
    }
    m_bPending = true;
    if (m_bNoTimer)
        computePreview();
}

void AdjustmentDialogModel::editChanged(const std::string& text)
{
    if (m_kind == Kind::Gamma) {
        // Taken as it is; checked when the edit box is left.
        m_strEdit = text;
        m_fTyped = std::atof(text.c_str());
        return;
    }
    if (isIntegerText(text))
        m_strEdit = m_strLastValid = text;
    else
        m_strEdit = m_strLastValid;
}

void AdjustmentDialogModel::editFinished()
{
    if (m_kind == Kind::Gamma) {
        double g = m_fTyped;
        if (g > 4.0)
            g = 4.0;
        if (!(g > 0.0))
            g = 1.0;
        m_fGamma = g;
        m_strEdit = formatGamma(g);
        m_nSlider = std::clamp(static_cast<int>(1000 * g), sliderMin(), sliderMax());
    } else {
        const int v = std::clamp(integerValue(m_strLastValid), sliderMin(), sliderMax());
        m_strEdit = m_strLastValid = std::to_string(v);
        m_nSlider = v;
        chosenValue() = v;
    }
    if (m_bPreview)
        computePreview();
}

void AdjustmentDialogModel::setPreview(bool on)
{
    if (on == m_bPreview)
        return;
    m_bPreview = on;
    if (m_kind == Kind::Brightness) {
        if (on) {
            if (m_bOpenedInAlphaView && m_display)
                m_display(m_bAlpha ? 2 : 0);
            m_bPending = true;
        } else {
            m_bPending = false;
            if (m_preview)
                m_preview(Values{0, 0, m_bAlpha, 1.0});
        }
        return;
    }
    if (on)
        computePreview();
    else if (m_preview)
        m_preview(Values{0, 0, false, 1.0});  // the unchanged picture; the value stays
}

void AdjustmentDialogModel::chooseAlpha(bool alpha)
{
    if (m_kind != Kind::Brightness || alpha == m_bAlpha)
        return;
    if (alpha ? !m_bAlphaEnabled : !m_bColourEnabled)
        return;
    m_bAlpha = alpha;
    if (m_bOpenedInAlphaView && m_bPreview && m_display)
        m_display(alpha ? 2 : 0);
    showChosenValue();
    if (m_bPreview)
        m_bPending = true;
}

void AdjustmentDialogModel::showChosenValue()
{
    m_nSlider = chosenValue();
    m_strEdit = m_strLastValid = std::to_string(m_nSlider);
}

void AdjustmentDialogModel::tick()
{
    if (m_bBusy || !m_bPending)
        return;
    m_bPending = false;
    m_bBusy = true;
    if (m_bPreview)
        computePreview();
    m_bBusy = false;
}

void AdjustmentDialogModel::computePreview()
{
    if (!m_preview)
        return;
    m_preview(Values{m_nColour, m_nAlphaValue, m_bAlpha, m_fGamma});
}

void AdjustmentDialogModel::accept()
{
    if (m_bPreview || !m_preview)
        return;
    switch (m_kind) {
    case Kind::Contrast:
        if (m_nColour != 0)
            computePreview();
        break;
    case Kind::Gamma:
        if (m_fGamma != 1.0)
            computePreview();
        break;
    case Kind::Brightness:
        if (m_nAlphaValue != 0)
            m_preview(Values{m_nColour, m_nAlphaValue, true, 1.0});
        if (m_nColour != 0)
            m_preview(Values{m_nColour, m_nAlphaValue, false, 1.0});
        break;
    }
}
