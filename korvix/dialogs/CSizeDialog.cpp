#include "dialogs/CSizeDialog.h"

#include "common/MessageTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CSizeDialog::CSizeDialog(SizeDialogModel& model, QWidget* parent)
    : QDialog(parent), m_model(model), m_pWidth(new QComboBox(this)), m_pHeight(new QComboBox(this))
{
    setWindowTitle(QString::fromStdString(model.title()));
    m_pWidth->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccWidth)));
    m_pHeight->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccHeight)));
    for (const int w : model.widths())
        m_pWidth->addItem(QString::number(w), w);
    for (const int h : model.heights())
        m_pHeight->addItem(QString::number(h), h);
    m_pWidth->setCurrentIndex(0);
    m_pHeight->setCurrentIndex(0);
    model.open();
    connect(m_pWidth, &QComboBox::currentIndexChanged, this, [this](int i) { m_model.chooseWidth(i); });
    connect(m_pHeight, &QComboBox::currentIndexChanged, this, [this](int i) { m_model.chooseHeight(i); });

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Breite in Pixeln"), this));
    layout->addWidget(m_pWidth);
    layout->addWidget(new QLabel(QStringLiteral("Höhe in Pixeln"), this));
    layout->addWidget(m_pHeight);
    layout->addWidget(buttons);
}
