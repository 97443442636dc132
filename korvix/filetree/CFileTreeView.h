// The pane that holds the disk file tree. It restores the selected path and
// whether it was expanded ("FTreePath", "FTreeExpanded") when first shown and
// saves both when it goes away; files of the program's types open through the
// document's open dispatch.
#pragma once

#include <QWidget>

class CKestrelDoc;
class CTreeFileCtrl;
class QSettings;

class CFileTreeView : public QWidget {
    Q_OBJECT
public:
    // Without a settings store the program's own (QSettings("Tessarin", "Korvix")) is used.
    explicit CFileTreeView(QWidget* parent = nullptr, QSettings* settings = nullptr);
    ~CFileTreeView() override;

    // The document whose open dispatch takes the files; may be null.
    void setDocument(CKestrelDoc* doc) { m_pDoc = doc; }
    CTreeFileCtrl* tree() const { return m_pTree; }

    void restoreSelection();
    void saveSelection() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CTreeFileCtrl* m_pTree;
    CKestrelDoc* m_pDoc = nullptr;
    QSettings* m_pSettings;
    bool m_bRestored = false;
};
