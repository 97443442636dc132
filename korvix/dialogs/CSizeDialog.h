// The size dialog: "Breite in Pixeln" and "Höhe in Pixeln" as lists of sizes,
// titled by its use ("Selektieren" or "Größe ändern"). With live selection
// every choice is shown on the picture at once (the model's callback).
#pragma once

#include "document/SizeDialogModel.h"

#include <QDialog>

class QComboBox;

class CSizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSizeDialog(SizeDialogModel& model, QWidget* parent = nullptr);

    QComboBox* widthList() const { return m_pWidth; }
    QComboBox* heightList() const { return m_pHeight; }

private:
    SizeDialogModel& m_model;
    QComboBox* m_pWidth;
    QComboBox* m_pHeight;
};
