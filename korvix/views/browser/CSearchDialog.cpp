#include "views/browser/CSearchDialog.h"

#include "common/MessageTable.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSearchDialog::CSearchDialog(QWidget* parent)
    : QDialog(parent), m_pName(new QLineEdit(this)), m_pAll(new QCheckBox(QStringLiteral("Alle QORB-Verzeichnisse durchsuchen"), this))
{
    setWindowTitle(QStringLiteral("Name der Datei"));
    m_pName->setObjectName("searchName");
    m_pName->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccSearchName)));
    m_pAll->setObjectName("searchAll");
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pName);
    layout->addWidget(m_pAll);
    layout->addWidget(buttons);
    m_pName->setFocus();
}

QString CSearchDialog::name() const
{
    return m_pName->text();
}

bool CSearchDialog::allDirectories() const
{
    return m_pAll->isChecked();
}
