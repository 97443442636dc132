// The second tab of the picture pane: a text entry of the volume, read-only,
// in a fixed-width font. The document decides what counts as text and hands
// over the text already decoded (EntryText.h); this only shows it.
#pragma once

#include <QPlainTextEdit>

class CTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CTextView(QWidget* parent = nullptr);

    // Shows `text` (UTF-8) of the entry `name` from its first line.
    void showEntry(const QString& name, const QString& text);
    const QString& entryName() const { return m_strName; }

private:
    QString m_strName;
};
