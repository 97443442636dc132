// "Umbenennen": the entry's old name, read-only, and the new name (at most 64
// characters), saved with "Speichern".
#pragma once

#include <QDialog>

#include <optional>
#include <string>

class QLineEdit;

class CRenameDialog : public QDialog {
    Q_OBJECT
public:
    CRenameDialog(const QString& oldName, QWidget* parent = nullptr);

    QString newName() const;
    QLineEdit* oldNameEdit() const { return m_pOld; }
    QLineEdit* newNameEdit() const { return m_pNew; }

    // The dialog as the document asks for it: the new name, or none when closed.
    static std::optional<std::string> run(QWidget* parent, const std::string& oldName);

private:
    QLineEdit* m_pOld;
    QLineEdit* m_pNew;
};
