// "Textur exportieren": a save dialog with the export panel beside it. The
// panel's rules are ExportDialogModel's; this dialog forwards the user's
// clicks to the model and draws the model's state after each one. When
// "Exportieren" closes it, the model's file name is the chosen full path.
#pragma once

#include "document/ExportDialogModel.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QFileDialog;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class CExportDialog : public QDialog {
    Q_OBJECT
public:
    explicit CExportDialog(ExportDialogModel& model, QWidget* parent = nullptr);

    // The parts, for tests and screenshots.
    QFileDialog* fileDialog() const { return m_pFiles; }
    QLineEdit* fileNameEdit() const;
    QRadioButton* mapRadio(int option) const { return m_mapRadios[static_cast<std::size_t>(option)]; }
    QSpinBox* mapsField() const { return m_pMaps; }
    QCheckBox* noAlphaBox() const { return m_pNoAlpha; }
    QRadioButton* formatRadio(ExportDialogModel::Format f) const { return m_formats[static_cast<std::size_t>(f)]; }
    QPushButton* exportButton() const { return m_pExport; }
    void selectType(int type);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void draw();
    void exportPressed();

    ExportDialogModel& m_model;
    QFileDialog* m_pFiles;
    std::array<QRadioButton*, 3> m_mapRadios{};
    QSpinBox* m_pMaps;
    QCheckBox* m_pNoAlpha;
    std::array<QRadioButton*, 5> m_formats{};
    std::array<class QButtonGroup*, 2> m_formatGroups{};
    QPushButton* m_pExport;
    QStringList m_filters;
};
