// "Umbenennen": the entry's old name, read-only, and the new name (at most 64
// characters), saved with "Speichern". The document's rule checks the new name
// while it is typed; the reason for a refused name shows under the field, and
// "Speichern" then keeps the dialog open with the typed text, as a file
// manager's rename does.
#pragma once

#include "document/DocumentHost.h"

#include <QDialog>

#include <optional>
#include <string>

class QLabel;
class QLineEdit;

class CRenameDialog : public QDialog {
    Q_OBJECT
public:
    CRenameDialog(const QString& oldName, NameValidator validate = {}, QWidget* parent = nullptr);

    QString newName() const;
    QLineEdit* oldNameEdit() const { return m_pOld; }
    QLineEdit* newNameEdit() const { return m_pNew; }
    // The reason the typed name is refused; hidden while the name is allowed.
    QLabel* reasonLabel() const { return m_pReason; }

    void accept() override;

    // The dialog as the document asks for it: the new name, or none when closed.
    static std::optional<std::string> run(QWidget* parent, const std::string& oldName, const NameValidator& validate);

private:
    // Shows the rule's answer for the typed name; true when it is allowed.
    bool showVerdict();

    NameValidator m_validate;
    QLineEdit* m_pOld;
    QLineEdit* m_pNew;
    QLabel* m_pReason;
};
