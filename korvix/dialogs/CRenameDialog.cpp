#include "dialogs/CRenameDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

CRenameDialog::CRenameDialog(const QString& oldName, NameValidator validate, QWidget* parent)
    : QDialog(parent),
      m_validate(std::move(validate)),
      m_pOld(new QLineEdit(oldName, this)),
      m_pNew(new QLineEdit(oldName, this)),
      m_pReason(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Umbenennen"));
    m_pOld->setReadOnly(true);
    m_pOld->setAccessibleName(QStringLiteral("Alter Name"));
    m_pNew->setMaxLength(64);
    // Room for a name of the usual length and for the reason in two lines.
    m_pNew->setMinimumWidth(m_pNew->fontMetrics().averageCharWidth() * 44);
    m_pNew->setAccessibleName(QStringLiteral("Neuer Name"));
    m_pReason->setObjectName(QStringLiteral("reason"));
    m_pReason->setAccessibleName(QStringLiteral("Grund für die Ablehnung des Namens"));
    m_pReason->setWordWrap(true);
    m_pReason->setTextFormat(Qt::PlainText);
    m_pReason->setForegroundRole(QPalette::BrightText);
    QPalette warning = m_pReason->palette();
    warning.setColor(QPalette::BrightText, QColor(0xB0, 0x00, 0x20));
    m_pReason->setPalette(warning);
    m_pReason->setVisible(false);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Alter Name"), m_pOld);
    form->addRow(QStringLiteral("Neuer Name"), m_pNew);
    form->addRow(QString(), m_pReason);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pNew, &QLineEdit::textEdited, this, [this] { showVerdict(); });
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

bool CRenameDialog::showVerdict()
{
    const std::string reason = m_validate ? m_validate(m_pNew->text().toStdString()) : std::string();
    const QString text = QString::fromStdString(reason);
    if (text != m_pReason->text()) {
        m_pReason->setText(text);
        m_pReason->setVisible(!text.isEmpty());
        // The dialog grows to show the whole reason, and no further.
        if (isVisible())
            resize(width(), std::max(height(), sizeHint().height()));
    }
    return reason.empty();
}

void CRenameDialog::accept()
{
    if (!showVerdict()) {
        m_pNew->setFocus();
        return;
    }
    QDialog::accept();
}

std::optional<std::string> CRenameDialog::run(QWidget* parent, const std::string& oldName, const NameValidator& validate)
{
    CRenameDialog dialog(QString::fromStdString(oldName), validate, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.newName().toStdString();
}
