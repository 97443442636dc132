#include "dialogs/CRenameDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CRenameDialog::CRenameDialog(const QString& oldName, QWidget* parent)
    : QDialog(parent), m_pOld(new QLineEdit(oldName, this)), m_pNew(new QLineEdit(oldName, this))
{
    setWindowTitle(QStringLiteral("Umbenennen"));
    m_pOld->setReadOnly(true);
    m_pNew->setMaxLength(64);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Alter Name"), m_pOld);
    form->addRow(QStringLiteral("Neuer Name"), m_pNew);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_pNew->setFocus();
    m_pNew->selectAll();
}

QString CRenameDialog::newName() const
{
    return m_pNew->text();
}

std::optional<std::string> CRenameDialog::run(QWidget* parent, const std::string& oldName)
{
    CRenameDialog dialog(QString::fromStdString(oldName), parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.newName().toStdString();
}
