#include "dialogs/CVolumeDataDialog.h"

#include "common/MessageTable.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

CVolumeDataDialog::CVolumeDataDialog(const VolumeDataAnswer& current, QWidget* parent)
    : QDialog(parent), m_pComment(new QPlainTextEdit(this)), m_pDate(new QDateEdit(this)), m_pTime(new QTimeEdit(this))
{
    setWindowTitle(QStringLiteral("Globale QORB-Daten"));
    m_pComment->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccComment)));
    m_pDate->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccDate)));
    m_pTime->setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccTime)));
    m_pComment->setPlainText(QString::fromStdString(current.comment));
    limitComment();
    connect(m_pComment, &QPlainTextEdit::textChanged, this, &CVolumeDataDialog::limitComment);

    m_pDate->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    m_pDate->setCalendarPopup(true);
    m_pDate->setMinimumDate(QDate(1980, 1, 1));
    m_pDate->setMaximumDate(QDate(9999, 12, 31));
    m_pDate->setDate(QDate(current.time.year, current.time.month, current.time.day));
    m_pTime->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_pTime->setTime(QTime(current.time.hour, current.time.minute, current.time.second));

    auto* stamp = new QGroupBox(QStringLiteral("Timestamp (Datum/Uhrzeit)"), this);
    auto* stampLayout = new QHBoxLayout(stamp);
    stampLayout->addWidget(m_pDate);
    stampLayout->addWidget(m_pTime);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole);
    QPushButton* close = buttons->addButton(QStringLiteral("Schließen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Kommentar"), this));
    layout->addWidget(m_pComment);
    layout->addWidget(stamp);
    layout->addWidget(buttons);
    // The focus starts on "Schließen", so Enter closes without writing.
    close->setDefault(true);
    close->setFocus();
}

void CVolumeDataDialog::limitComment()
{
    const QString text = m_pComment->toPlainText();
    if (text.size() <= MAX_COMMENT)
        return;
    const QSignalBlocker block(m_pComment);
    m_pComment->setPlainText(text.left(MAX_COMMENT));
    QTextCursor end = m_pComment->textCursor();
    end.movePosition(QTextCursor::End);
    m_pComment->setTextCursor(end);
}

VolumeDataAnswer CVolumeDataDialog::answer() const
{
    VolumeDataAnswer a;
    a.comment = m_pComment->toPlainText().left(MAX_COMMENT).toStdString();
    const QDate d = m_pDate->date();
    const QTime t = m_pTime->time();
    a.time = {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
    return a;
}

std::optional<VolumeDataAnswer> CVolumeDataDialog::run(QWidget* parent, const VolumeDataAnswer& current)
{
    CVolumeDataDialog dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}
