// "Globale QORB-Daten": the volume's comment (at most 256 characters) and its
// timestamp as date and time. A DOS timestamp starts in 1980, so earlier dates
// cannot be chosen; years after 2107 are left to the document, which refuses
// them with its message.
#pragma once

#include "document/DocumentHost.h"

#include <QDialog>

#include <optional>

class QDateEdit;
class QPlainTextEdit;
class QTimeEdit;

class CVolumeDataDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int MAX_COMMENT = 256;

    explicit CVolumeDataDialog(const VolumeDataAnswer& current, QWidget* parent = nullptr);

    VolumeDataAnswer answer() const;
    QPlainTextEdit* commentEdit() const { return m_pComment; }
    QDateEdit* dateEdit() const { return m_pDate; }
    QTimeEdit* timeEdit() const { return m_pTime; }

    static std::optional<VolumeDataAnswer> run(QWidget* parent, const VolumeDataAnswer& current);

private:
    void limitComment();

    QPlainTextEdit* m_pComment;
    QDateEdit* m_pDate;
    QTimeEdit* m_pTime;
};
