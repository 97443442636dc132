// "Name der Datei": the name to look for and whether to search every directory.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

class CSearchDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSearchDialog(QWidget* parent = nullptr);

    QString name() const;
    bool allDirectories() const;

    QLineEdit* nameEdit() const { return m_pName; }
    QCheckBox* allBox() const { return m_pAll; }

private:
    QLineEdit* m_pName;
    QCheckBox* m_pAll;
};
