// Name, type, size, dates and permissions of a file or folder.
#pragma once

#include <QDialog>

class CFilePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFilePropertiesDialog(const QString& path, QWidget* parent = nullptr);

    // The shown rows, label and value, for tests.
    QList<QPair<QString, QString>> rows() const { return m_rows; }

private:
    QList<QPair<QString, QString>> m_rows;
};
