// "Helligkeit", "Kontrast" and "Gamma": slider, edit box, "Vorschau" and, for
// brightness, "Farbe" or "Alpha". The rules are AdjustmentDialogModel's; a
// QTimer on this thread ticks the model, which computes at most one preview
// per tick.
#pragma once

#include "document/AdjustmentDialogModel.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTimer;

class CAdjustmentDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAdjustmentDialog(AdjustmentDialogModel& model, QWidget* parent = nullptr);

    QSlider* slider() const { return m_pSlider; }
    QLineEdit* edit() const { return m_pEdit; }
    QCheckBox* previewBox() const { return m_pPreview; }
    QRadioButton* colourRadio() const { return m_pColour; }
    QRadioButton* alphaRadio() const { return m_pAlpha; }
    // The preview timer; tests stop it and tick by hand.
    QTimer* timer() const { return m_pTimer; }
    void tick();

    void accept() override;

private:
    void draw();

    AdjustmentDialogModel& m_model;
    QSlider* m_pSlider;
    QLineEdit* m_pEdit;
    QCheckBox* m_pPreview;
    QRadioButton* m_pColour = nullptr;
    QRadioButton* m_pAlpha = nullptr;
    QTimer* m_pTimer;
};
