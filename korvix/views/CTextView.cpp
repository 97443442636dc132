#include "views/CTextView.h"

#include "common/MessageTable.h"

#include <QFontDatabase>

CTextView::CTextView(QWidget* parent) : QPlainTextEdit(parent)
{
    setReadOnly(true);
    // Keyboard users move through the text and select it as in any editor.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setAccessibleName(QString::fromUtf8(korvix::msg(korvix::MessageId::AccTextView)));
}

void CTextView::showEntry(const QString& name, const QString& text)
{
    m_strName = name;
    setPlainText(text);
    setAccessibleDescription(name);
    moveCursor(QTextCursor::Start);
}
