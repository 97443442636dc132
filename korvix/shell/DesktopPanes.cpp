#include "shell/DesktopPanes.h"

#include "dialogs/CAdjustmentDialog.h"
#include "dialogs/CExportDialog.h"
#include "dialogs/CRenameDialog.h"
#include "dialogs/CSizeDialog.h"
#include "dialogs/CVolumeDataDialog.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/EntryMenuRules.h"
#include "filetree/CFileTreeView.h"
#include "filetree/CTreeFileCtrl.h"
#include "views/CShortInfoView.h"
#include "views/browser/CHelperTree.h"
#include "views/browser/CQORBView.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

DesktopPanes::DesktopPanes(CMainFrame& frame)
    : m_frame(frame), m_pBrowser(new CQORBView), m_pTree(new CHelperTree), m_pFileTree(new CFileTreeView(nullptr, &frame.settings()))
{
    m_pBrowser->setDocument(&frame.document());
    frame.installLeftPanes(m_pBrowser, m_pFileTree, m_pTree, this);

    // Message 9999: the tree asks for a directory's page.
    QObject::connect(m_pTree, &CHelperTree::directoryPageRequested, m_pBrowser, &CQORBView::showDirectory);
    QObject::connect(m_pBrowser, &CQORBView::directorySelected, m_pTree, &CHelperTree::selectDirectory);
    // Drops and deletes on the tree run through the browser, which has the document.
    QObject::connect(m_pTree, &CHelperTree::filesDropped, m_pBrowser, &CQORBView::dropFilesOn);
    QObject::connect(m_pTree, &CHelperTree::deleteRequested, m_pBrowser,
                     [browser = m_pBrowser.data()](int item) { browser->deleteEntries({item}); });
    // Message 6024 is posted: the pane copies the record when it gets there.
    QObject::connect(m_pBrowser, &CQORBView::entryHovered, frame.infoView(), &CShortInfoView::showEntry,
                     Qt::QueuedConnection);
    QObject::connect(m_pBrowser, &CQORBView::hoverCleared, frame.infoView(), &CShortInfoView::showNothing,
                     Qt::QueuedConnection);
    QObject::connect(m_pBrowser, &CQORBView::statusHintShown, &frame, &CMainFrame::showMenuHint);
    QObject::connect(m_pBrowser, &CQORBView::statusHintRestored, &frame, &CMainFrame::restoreMenuHint);
    QObject::connect(m_pBrowser, &CQORBView::documentCommandRan, &frame, &CMainFrame::updateCommandStates);
    // The tree's menu: a directory or the whole volume into a folder; a
    // directory dragged out goes as the browser's entries do.
    m_pTree->setMenuRule([&frame](int itemData) { return EntryMenuRules::directoryMenu(&frame.document(), itemData); });
    QObject::connect(m_pTree, &CHelperTree::commandChosen, &frame, [this, &frame](int command, int itemData) {
        if (command == ID_TREE_EXPORT_DIRECTORY || command == ID_TREE_EXPORT_VOLUME)
            frame.document().exportDirectory(itemData);
        else if (command == ID_ENTRY_DELETE)
            m_pBrowser->deleteEntries({itemData});
        frame.updateCommandStates();
    });
    QObject::connect(m_pTree, &CHelperTree::dragRequested, m_pBrowser,
                     [this](int itemData) { m_pBrowser->dragOut({itemData}, m_pTree); });
    // The file tree's open request is posted and runs the open dispatch.
    QObject::connect(m_pFileTree->tree(), &CTreeFileCtrl::openInProgram, &frame,
                     [&frame](const QString& path) { frame.openStartupFile(path); }, Qt::QueuedConnection);

    // The export starts where the last one went, with its type.
    frame.exportDialog = [&frame](ExportDialogModel& model) {
        QSettings& settings = frame.settings();
        const QString folder = settings.value(QStringLiteral("Settings/ExportFolder")).toString();
        const QString type = settings.value(QStringLiteral("Settings/ExportType")).toString();
        int typeIndex = ExportDialogModel::TypeUnknown;
        for (std::size_t t = 0; t < ExportDialogModel::EXTENSIONS.size(); ++t)
            if (type == QLatin1String(ExportDialogModel::EXTENSIONS[t]))
                typeIndex = static_cast<int>(t);
        model.recallLastExport(!folder.isEmpty() && QDir(folder).exists() ? folder.toStdString() : std::string(),
                               typeIndex);
        CExportDialog dialog(model, &frame);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        settings.setValue(QStringLiteral("Settings/ExportFolder"),
                          QFileInfo(QString::fromStdString(model.fileName())).absolutePath());
        if (model.fileType() >= 0 && model.fileType() < static_cast<int>(ExportDialogModel::EXTENSIONS.size()))
            settings.setValue(QStringLiteral("Settings/ExportType"),
                              QLatin1String(ExportDialogModel::EXTENSIONS[static_cast<std::size_t>(model.fileType())]));
        return true;
    };
    frame.volumeDataDialog = [&frame](const VolumeDataAnswer& current) {
        return CVolumeDataDialog::run(&frame, current);
    };
    frame.renameDialog = [&frame](const std::string& oldName, const NameValidator& validate) {
        return CRenameDialog::run(&frame, oldName, validate);
    };
    frame.sizeDialog = [&frame](SizeDialogModel& model) {
        CSizeDialog dialog(model, &frame);
        return dialog.exec() == QDialog::Accepted;
    };
    frame.adjustmentDialog = [&frame](AdjustmentDialogModel& model) {
        CAdjustmentDialog dialog(model, &frame);
        return dialog.exec() == QDialog::Accepted;
    };
}

DesktopPanes::~DesktopPanes()
{
    m_frame.exportDialog = nullptr;
    m_frame.volumeDataDialog = nullptr;
    m_frame.renameDialog = nullptr;
    m_frame.sizeDialog = nullptr;
    m_frame.adjustmentDialog = nullptr;
    m_frame.installLeftPanes(nullptr, nullptr, nullptr, nullptr);
}

CQORBView* DesktopPanes::browser() const
{
    return m_pBrowser;
}

CHelperTree* DesktopPanes::helperTree() const
{
    return m_pTree;
}

CFileTreeView* DesktopPanes::fileTree() const
{
    return m_pFileTree;
}

void DesktopPanes::clearVolumeBrowser()
{
    if (m_pBrowser)
        m_pBrowser->removeAllPages();
    if (m_pTree)
        m_pTree->clearTree();
}

void DesktopPanes::showVolumeBrowser(const VolumeBrowserModel& model)
{
    if (m_pTree)
        m_pTree->build(model);
    if (m_pBrowser)
        m_pBrowser->showVolume(model);
}

void DesktopPanes::activateDirectoryTree()
{
    if (m_pTree)
        m_pTree->setFocus();
}

std::optional<int> DesktopPanes::selectedEntry()
{
    return m_pBrowser ? m_pBrowser->selectedEntry() : std::nullopt;
}

std::optional<int> DesktopPanes::selectedDirectory()
{
    return m_pTree ? m_pTree->selectedItemData() : std::nullopt;
}
