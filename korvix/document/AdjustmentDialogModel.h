// The brightness, contrast and gamma dialogs as data: slider range and
// position, the edit box's text with its validation, the preview switch, the
// brightness dialog's "Farbe"/"Alpha" choice, and the pending/busy flags that
// limit previews to one per timer tick. The document creates the model with
// two callbacks: one computes a preview, the other switches the display mode
// (with the view buttons) when the brightness dialog asks for it.
//
// A dialog over it (everything on the user-interface thread):
//   - shows title(), a slider over sliderMin() ... sliderMax() at
//     sliderPosition(), an edit box with editText(), the "Vorschau" check box
//     (off), and for brightness the radio buttons "Farbe" and "Alpha" with
//     alphaChosen(), colourEnabled(), alphaEnabled();
//   - starts a periodic timer of tickPeriodMs() and calls tick() from it; when
//     no timer can be had it calls noTimer() once, and previews are computed
//     on every slider move instead;
//   - forwards input: sliderMoved(), editChanged() (then shows editText()
//     again, which may have been put back), editFinished() when the edit box
//     loses focus, setPreview(), chooseAlpha();
//   - after every call re-reads sliderPosition() and editText();
//   - OK: calls accept() and closes, and the host call returns true; Cancel
//     closes and returns false. The document commits or discards afterwards.
#pragma once

#include <functional>
#include <string>

class AdjustmentDialogModel {
public:
    enum class Kind { Brightness, Contrast, Gamma };

    // The values a preview is computed with.
    struct Values {
        int colour = 0;            // brightness of the colour channels, or the contrast
        int alpha = 0;             // brightness of the alpha channel
        bool adjustAlpha = false;  // brightness: the alpha channel is the target
        double gamma = 1.0;
    };
    using PreviewFn = std::function<void(const Values&)>;
    using DisplayFn = std::function<void(int mode)>;

    // hasAlpha, anyColour and openedInAlphaView set the brightness dialog's
    // radio rules; the other two dialogs ignore them.
    AdjustmentDialogModel(Kind kind, PreviewFn preview, DisplayFn display = {}, bool hasAlpha = false,
                          bool anyColour = true, bool openedInAlphaView = false);

    Kind kind() const { return m_kind; }
    const char* title() const;
    int sliderMin() const;
    int sliderMax() const;
    int sliderPosition() const { return m_nSlider; }
    const std::string& editText() const { return m_strEdit; }
    bool preview() const { return m_bPreview; }
    // Milliseconds between ticks: 65 for brightness, 100 for contrast and gamma.
    int tickPeriodMs() const { return m_kind == Kind::Brightness ? 65 : 100; }

    bool alphaChosen() const { return m_bAlpha; }
    bool alphaEnabled() const { return m_bAlphaEnabled; }
    bool colourEnabled() const { return m_bColourEnabled; }
    int colourValue() const { return m_nColour; }
    int alphaValue() const { return m_nAlphaValue; }
    int contrastValue() const { return m_nColour; }
    double gammaValue() const { return m_fGamma; }

    bool pending() const { return m_bPending; }
    bool busy() const { return m_bBusy; }

    // ---- input ----
    void sliderMoved(int position);
    void editChanged(const std::string& text);
    void editFinished();
    void setPreview(bool on);
    void chooseAlpha(bool alpha);
    void tick();
    void noTimer() { m_bNoTimer = true; }
    // OK: with the preview off the result is computed once, for every value
    // that is not neutral.
    void accept();

    // Text of a gamma value in the edit box: at least one decimal, at most three.
    static std::string formatGamma(double gamma);

private:
    void computePreview();
    void showChosenValue();
    int& chosenValue() { return m_bAlpha ? m_nAlphaValue : m_nColour; }

    Kind m_kind;
    PreviewFn m_preview;
    DisplayFn m_display;
    bool m_bOpenedInAlphaView = false;

    int m_nSlider = 0;
    std::string m_strEdit = "0";
    std::string m_strLastValid = "0";
    double m_fTyped = 1.0;  // gamma: what the edit box holds, unchecked
    bool m_bPreview = false;
    bool m_bAlpha = false;
    bool m_bAlphaEnabled = false;
    bool m_bColourEnabled = true;
    int m_nColour = 0;
    int m_nAlphaValue = 0;
    double m_fGamma = 1.0;

    bool m_bPending = false;
    bool m_bBusy = false;
    bool m_bNoTimer = false;
};
