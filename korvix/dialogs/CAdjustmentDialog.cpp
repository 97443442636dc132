#include "dialogs/CAdjustmentDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

CAdjustmentDialog::CAdjustmentDialog(AdjustmentDialogModel& model, QWidget* parent)
    : QDialog(parent), m_model(model), m_pSlider(new QSlider(Qt::Horizontal, this)), m_pEdit(new QLineEdit(this)),
      m_pPreview(new QCheckBox(QStringLiteral("Vorschau"), this)), m_pTimer(new QTimer(this))
{
    setWindowTitle(QString::fromUtf8(model.title()));
    // Slider and field carry the dialog's name: "Helligkeit", "Kontrast", "Gamma".
    m_pSlider->setAccessibleName(QString::fromUtf8(model.title()));
    m_pEdit->setAccessibleName(QString::fromUtf8(model.title()));
    m_pSlider->setRange(model.sliderMin(), model.sliderMax());
    m_pSlider->setMinimumWidth(260);
    m_pEdit->setMaximumWidth(80);

    auto* row = new QHBoxLayout;
    row->addWidget(m_pSlider, 1);
    row->addWidget(m_pEdit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    if (model.kind() == AdjustmentDialogModel::Kind::Brightness) {
        auto* target = new QGroupBox(this);
        auto* targetLayout = new QHBoxLayout(target);
        m_pColour = new QRadioButton(QStringLiteral("Farbe"), target);
        m_pAlpha = new QRadioButton(QStringLiteral("Alpha"), target);
        targetLayout->addWidget(m_pColour);
        targetLayout->addWidget(m_pAlpha);
        layout->addWidget(target);
        // Toggled, not clicked: assistive technology checks a radio button
        // without a click, and the choice must count all the same.
        connect(m_pColour, &QRadioButton::toggled, this, [this](bool on) {
            if (!on)
                return;
            m_model.chooseAlpha(false);
            draw();
        });
        connect(m_pAlpha, &QRadioButton::toggled, this, [this](bool on) {
            if (!on)
                return;
            m_model.chooseAlpha(true);
            draw();
        });
    }
    layout->addWidget(m_pPreview);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAdjustmentDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(m_pSlider, &QSlider::valueChanged, this, [this](int v) {
        m_model.sliderMoved(v);
        draw();
    });
    connect(m_pEdit, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_model.editChanged(text.toStdString());
        draw();
    });
    connect(m_pEdit, &QLineEdit::editingFinished, this, [this] {
        m_model.editFinished();
        draw();
    });
    connect(m_pPreview, &QCheckBox::toggled, this, [this](bool on) {
        m_model.setPreview(on);
        draw();
    });

    // Previews are computed on this thread, at most one per tick.
    m_pTimer->setTimerType(Qt::PreciseTimer);
    m_pTimer->setInterval(model.tickPeriodMs());
    connect(m_pTimer, &QTimer::timeout, this, &CAdjustmentDialog::tick);
    m_pTimer->start();
    draw();
}

void CAdjustmentDialog::tick()
{
    m_model.tick();
}

void CAdjustmentDialog::draw()
{
    {
        const QSignalBlocker block(m_pSlider);
        m_pSlider->setValue(m_model.sliderPosition());
    }
    const QString text = QString::fromStdString(m_model.editText());
    if (m_pEdit->text() != text) {
        // A refused character is taken back; the cursor stays where it was.
        const int cursor = std::min<int>(m_pEdit->cursorPosition(), static_cast<int>(text.size()));
        const QSignalBlocker block(m_pEdit);
        m_pEdit->setText(text);
        m_pEdit->setCursorPosition(cursor);
    }
    {
        const QSignalBlocker block(m_pPreview);
        m_pPreview->setChecked(m_model.preview());
    }
    if (m_pColour) {
        const QSignalBlocker blockColour(m_pColour);
        const QSignalBlocker blockAlpha(m_pAlpha);
        m_pAlpha->setChecked(m_model.alphaChosen());
        m_pColour->setChecked(!m_model.alphaChosen());
        m_pAlpha->setEnabled(m_model.alphaEnabled());
        m_pColour->setEnabled(m_model.colourEnabled());
    }
}

void CAdjustmentDialog::accept()
{
    m_pTimer->stop();
    m_model.accept();
    QDialog::accept();
}
