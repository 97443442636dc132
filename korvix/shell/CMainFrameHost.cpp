// CMainFrame as the document's host: how each effect of a document command
// reaches the screen.
#include "common/MessageTable.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "shell/CExternalEditor.h"
#include "shell/CLongWork.h"
#include "shell/CMainFrame.h"
#include "shell/SoundPlayer.h"
#include "views/CPictureView.h"
#include "views/CTextView.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QDir>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstring>

namespace {

// The document's type list as a Qt file dialog filter: "Name (*.x *.y)" per line,
// the patterns appended when the description does not show them.
QString dialogFilter(const std::vector<FileFilter>& filters)
{
    QStringList out;
    for (const FileFilter& f : filters) {
        QStringList patterns;
        for (const std::string& p : f.patterns)
            patterns.append(QString::fromStdString(p));
        const QString description = QString::fromStdString(f.description);
        out.append(description.contains(QLatin1Char('(')) ? description
                                                         : description + " (" + patterns.join(QLatin1Char(' ')) + ")");
    }
    return out.join(QStringLiteral(";;"));
}

}  // namespace

MessageAnswer CMainFrame::messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                     MessageButtons buttons)
{
    if (messageHook)
        return messageHook(text, caption, icon, buttons);
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::Information: qicon = QMessageBox::Information; break;
    case MessageIcon::Error: qicon = QMessageBox::Critical; break;
    case MessageIcon::Warning: qicon = QMessageBox::Warning; break;
    case MessageIcon::Question: qicon = QMessageBox::Question; break;
    case MessageIcon::None: break;
    }
    QMessageBox::StandardButtons qbuttons = QMessageBox::Ok;
    if (buttons == MessageButtons::OkCancel)
        qbuttons = QMessageBox::Ok | QMessageBox::Cancel;
    else if (buttons == MessageButtons::YesNo)
        qbuttons = QMessageBox::Yes | QMessageBox::No;
    else if (buttons == MessageButtons::RewriteCancel)
        qbuttons = QMessageBox::Cancel;
    const QString title = caption.empty() ? QStringLiteral("Korvix") : QString::fromStdString(caption);
    QMessageBox box(qicon, title, QString::fromStdString(text), qbuttons, this);
    box.setTextFormat(Qt::PlainText);
    QPushButton* rewrite = nullptr;
    if (buttons == MessageButtons::RewriteCancel) {
        rewrite = box.addButton(QString::fromUtf8(korvix::msg(korvix::MessageId::RewriteButton)), QMessageBox::AcceptRole);
        box.setDefaultButton(rewrite);
    }
    const std::pair<QMessageBox::StandardButton, const char*> german[] = {
        {QMessageBox::Cancel, "Abbrechen"}, {QMessageBox::Yes, "Ja"}, {QMessageBox::No, "Nein"}};
    for (const auto& [button, text] : german)
        if (QAbstractButton* b = box.button(button))
            b->setText(QString::fromUtf8(text));
    // A message is read with the arrow, even in the middle of a long operation.
    const int depth = m_nWaitDepth;
    if (depth > 0)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (depth > 0)
        QApplication::restoreOverrideCursor();
    if (rewrite)
        return box.clickedButton() == rewrite ? MessageAnswer::Ok : MessageAnswer::Cancel;
    switch (answer) {
    case QMessageBox::Cancel: return MessageAnswer::Cancel;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: return buttons == MessageButtons::OkCancel && answer != QMessageBox::Ok ? MessageAnswer::Cancel
                                                                                      : MessageAnswer::Ok;
    }
}

void CMainFrame::setWaitCursor(bool wait)
{
    if (wait) {
        if (m_nWaitDepth++ == 0)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (m_nWaitDepth > 0) {
        if (--m_nWaitDepth == 0)
            QApplication::restoreOverrideCursor();
    }
}

void CMainFrame::setStatusText(int pane, const std::string& text)
{
    if (pane < 0 || pane >= PANE_COUNT)
        return;
    m_wndStatusPanes[pane]->setText(QString::fromStdString(text));
    if (pane == 2)
        m_bHintShown = false;
    if (m_wndStatusPanes[pane]->isVisible())
        m_wndStatusPanes[pane]->repaint();
}

void CMainFrame::setWindowTitle(const std::string& title)
{
    QMainWindow::setWindowTitle(QString::fromStdString(title));
}

void CMainFrame::addRecentFile(const std::string& path)
{
    const QString p = QString::fromStdString(path);
    m_recentFiles.removeAll(p);
    m_recentFiles.prepend(p);
    while (m_recentFiles.size() > FrameSettings::RECENT_FILES)
        m_recentFiles.removeLast();
    FrameSettings::saveRecentFiles(m_settings, m_recentFiles);
    rebuildRecentMenu();
}

std::optional<std::string> CMainFrame::recentFile(int index)
{
    if (index < 0 || index >= m_recentFiles.size())
        return std::nullopt;
    return m_recentFiles[index].toStdString();
}

void CMainFrame::removeRecentFile(int index)
{
    if (index < 0 || index >= m_recentFiles.size())
        return;
    m_recentFiles.removeAt(index);
    FrameSettings::saveRecentFiles(m_settings, m_recentFiles);
    rebuildRecentMenu();
}

bool CMainFrame::hasPictureView() { return m_pPanePicture != nullptr; }

bool CMainFrame::pictureViewVisible()
{
    return m_pTabsRight->currentWidget() == m_pPanePicture;
}

void CMainFrame::activatePictureView()
{
    m_pTabsRight->setCurrentWidget(m_pPanePicture);
}

void CMainFrame::refreshPictureView() { m_pPanePicture->fullUpdate(); }

void CMainFrame::setPictureZoom(float zoom)
{
    if (zoom == 1.0f)
        m_pPanePicture->resetZoom();
    else
        m_pPanePicture->setZoom(zoom);
}

void CMainFrame::relayoutPictureView() { m_pPanePicture->refresh(); }

void CMainFrame::setPictureSmoothing(bool on) { m_pPanePicture->setSmooth(on); }

void CMainFrame::emptySelection() { m_pPanePicture->viewport()->update(); }

void CMainFrame::clearVolumeBrowser()
{
    if (m_pBrowser)
        m_pBrowser->clearVolumeBrowser();
}

void CMainFrame::showVolumeBrowser(const VolumeBrowserModel& model)
{
    if (m_pBrowser)
        m_pBrowser->showVolumeBrowser(model);
}

void CMainFrame::activateDirectoryTree()
{
    m_pTabsLeft->setCurrentIndex(1);
    if (m_pBrowser)
        m_pBrowser->activateDirectoryTree();
}

std::optional<int> CMainFrame::selectedEntry()
{
    return m_pBrowser ? m_pBrowser->selectedEntry() : std::nullopt;
}

std::optional<int> CMainFrame::selectedDirectory()
{
    return m_pBrowser ? m_pBrowser->selectedDirectory() : std::nullopt;
}

void CMainFrame::updateAllViews()
{
    m_pPanePicture->viewport()->update();
    scheduleUpdate();
}

std::optional<std::string> CMainFrame::chooseOpenFile(const std::vector<FileFilter>& filters,
                                                      const std::string& defaultExtension)
{
    QFileDialog dialog(this, QStringLiteral("Öffnen"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!filters.empty())
        dialog.setNameFilter(dialogFilter(filters));
    // A pattern such as "*.*" adds nothing: a name without a dot is taken as typed.
    dialog.setDefaultSuffix(QString::fromStdString(dialogDefaultSuffix(defaultExtension)));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::string> CMainFrame::chooseSaveFile(const std::string& proposedName)
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Speichern unter"),
                                                      QString::fromStdString(proposedName));
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

bool CMainFrame::runExportDialog(ExportDialogModel& model)
{
    if (exportDialog)
        return exportDialog(model);
    messageBox(korvix::msg(korvix::MessageId::ExportDialogUnavailable), "", MessageIcon::Information,
               MessageButtons::Ok);
    return false;
}

std::optional<VolumeDataAnswer> CMainFrame::runVolumeDataDialog(const VolumeDataAnswer& current)
{
    if (volumeDataDialog)
        return volumeDataDialog(current);
    messageBox(korvix::msg(korvix::MessageId::VolumeDataDialogUnavailable), "", MessageIcon::Information,
               MessageButtons::Ok);
    return std::nullopt;
}

std::optional<std::string> CMainFrame::runRenameDialog(const std::string& oldName, const NameValidator& validate)
{
    if (renameDialog)
        return renameDialog(oldName, validate);
    // Without the dialog library: a plain input box, asked again with the
    // typed text after the reason for a refused name.
    QString name = QString::fromStdString(oldName);
    for (;;) {
        bool ok = false;
        name = QInputDialog::getText(this, QStringLiteral("Umbenennen"), QStringLiteral("Neuer Name:"), QLineEdit::Normal,
                                     name, &ok);
        if (!ok)
            return std::nullopt;
        const std::string reason = validate ? validate(name.toStdString()) : std::string();
        if (reason.empty())
            return name.toStdString();
        messageBox(reason, "", MessageIcon::Information, MessageButtons::Ok);
    }
}

bool CMainFrame::offerReopen(const std::string& text, const std::string& question)
{
    return messageBox(text + "\n\n" + question, "", MessageIcon::Warning, MessageButtons::YesNo) == MessageAnswer::Yes;
}

bool CMainFrame::clipboardHasBitmap()
{
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasImage();
}

// The clipboard's picture as a 32-bit bitmap, with its alpha channel when it
// has one. QImage's 32-bit rows are the bitmap's blue, green, red, alpha bytes.
std::optional<PixelBitmap> CMainFrame::clipboardBitmap()
{
    const QImage picture = QGuiApplication::clipboard()->image();
    if (picture.isNull())
        return std::nullopt;
    const bool alpha = picture.hasAlphaChannel();
    const QImage image = picture.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    PixelBitmap bitmap;
    bitmap.create(image.width(), image.height(), 32, alpha);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(bitmap.row(y), image.constScanLine(y), static_cast<std::size_t>(image.width()) * 4);
    return bitmap;
}

void CMainFrame::setClipboardBitmap(const PixelBitmap& bitmap, bool withAlpha)
{
    if (bitmap.bitsPerPixel() != 32 || bitmap.width() <= 0 || bitmap.height() <= 0)
        return;
    QImage image(bitmap.width(), bitmap.height(), QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(image.scanLine(y), bitmap.row(y), static_cast<std::size_t>(bitmap.width()) * 4);
    // Without alpha the picture is opaque, whatever the unused bytes hold.
    QGuiApplication::clipboard()->setImage(withAlpha ? image : image.convertToFormat(QImage::Format_RGB32));
}

std::optional<std::string> CMainFrame::externalEditFolder()
{
    const auto folder = m_pExternal->folder();
    if (!folder)
        return std::nullopt;
    return folder->toStdString();
}

bool CMainFrame::startExternalEdit(const std::string& path)
{
    const QString file = QString::fromStdString(path);
    if (!m_pExternal->start(file))
        return false;
    QLabel* pane = m_wndStatusPanes[PANE_EXTERNAL];
    pane->setText(QString::fromStdString(korvix::MessageTable::format(
        korvix::MessageId::ExternalPaneFormat, QFileInfo(file).fileName().toStdString().c_str())));
    pane->setToolTip(file);
    pane->show();
    return true;
}

void CMainFrame::stopExternalEdit()
{
    m_pExternal->stop();
    m_wndStatusPanes[PANE_EXTERNAL]->hide();
    m_wndStatusPanes[PANE_EXTERNAL]->setText(QStringLiteral(" "));
    m_wndStatusPanes[PANE_EXTERNAL]->setToolTip(QString());
}

PictureGeometry CMainFrame::pictureViewGeometry()
{
    return m_pPanePicture->pictureGeometry();
}

void CMainFrame::redrawPictureView() { m_pPanePicture->refresh(); }

// The size and adjustment dialogs are plugged in by the dialog library.
bool CMainFrame::runSizeDialog(SizeDialogModel& model)
{
    if (sizeDialog)
        return sizeDialog(model);
    messageBox(korvix::msg(korvix::MessageId::DialogUnavailable), "", MessageIcon::Information, MessageButtons::Ok);
    return false;
}

bool CMainFrame::runAdjustmentDialog(AdjustmentDialogModel& model)
{
    if (adjustmentDialog)
        return adjustmentDialog(model);
    messageBox(korvix::msg(korvix::MessageId::DialogUnavailable), "", MessageIcon::Information, MessageButtons::Ok);
    return false;
}

void CMainFrame::playSound(const std::uint8_t* bytes, std::size_t size)
{
    m_pSound->play(bytes, size);
}


// ---- long work, folders, dragging out and text entries ----

void CMainFrame::runLongWork(const std::string& title, const LongWork& work)
{
    longwork::run(this, QString::fromStdString(title), work);
}

OverwriteAnswer CMainFrame::askOverwrite(const std::string& path)
{
    // The work asks from its own thread and waits for the answer.
    if (QThread::currentThread() != thread()) {
        OverwriteAnswer answer = OverwriteAnswer::Cancel;
        QMetaObject::invokeMethod(this, [&] { answer = askOverwriteHere(path); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    return askOverwriteHere(path);
}

OverwriteAnswer CMainFrame::askOverwriteHere(const std::string& path)
{
    if (overwriteHook)
        return overwriteHook(path);
    using korvix::MessageId;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Korvix"),
                    QString::fromStdString(korvix::MessageTable::format(MessageId::ExtractExistsFormat, path.c_str())),
                    QMessageBox::NoButton, QApplication::activeModalWidget() ? QApplication::activeModalWidget() : this);
    box.setTextFormat(Qt::PlainText);
    const std::pair<MessageId, OverwriteAnswer> choices[] = {{MessageId::ExtractOverwrite, OverwriteAnswer::Overwrite},
                                                             {MessageId::ExtractOverwriteAll, OverwriteAnswer::OverwriteAll},
                                                             {MessageId::ExtractSkip, OverwriteAnswer::Skip},
                                                             {MessageId::ExtractCancel, OverwriteAnswer::Cancel}};
    std::vector<std::pair<QAbstractButton*, OverwriteAnswer>> buttons;
    for (const auto& [text, answer] : choices) {
        const auto role = answer == OverwriteAnswer::Cancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole;
        buttons.emplace_back(box.addButton(QString::fromUtf8(korvix::msg(text)), role), answer);
    }
    box.setDefaultButton(static_cast<QPushButton*>(buttons[0].first));
    box.setEscapeButton(buttons.back().first);
    // A question is read with the arrow, even in the middle of a long operation.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();
    for (const auto& [button, answer] : buttons)
        if (box.clickedButton() == button)
            return answer;
    return OverwriteAnswer::Cancel;
}

std::optional<std::string> CMainFrame::chooseFolder(const std::string& title)
{
    if (folderHook)
        return folderHook(title);
    // The chooser starts where the last extraction went.
    const QString key = QStringLiteral("Settings/ExtractFolder");
    const QString last = m_settings.value(key).toString();
    const QString folder = QFileDialog::getExistingDirectory(this, QString::fromStdString(title), last);
    if (folder.isEmpty())
        return std::nullopt;
    m_settings.setValue(key, folder);
    return folder.toStdString();
}

std::optional<std::string> CMainFrame::dragFolder()
{
    if (!m_pDragFolder) {
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        if (cache.isEmpty() || !QDir().mkpath(cache))
            return std::nullopt;
        // Readable by the user alone (QTemporaryDir makes it so); removed with the frame.
        m_pDragFolder = std::make_unique<QTemporaryDir>(QDir(cache).filePath(QStringLiteral("korvix-drag-XXXXXX")));
        if (!m_pDragFolder->isValid()) {
            m_pDragFolder.reset();
            return std::nullopt;
        }
    }
    return m_pDragFolder->path().toStdString();
}

void CMainFrame::showText(const std::string& name, const std::string& text)
{
    m_pPaneText->showEntry(QString::fromStdString(name), QString::fromStdString(text));
    m_pTabsRight->setCurrentWidget(m_pPaneText);
}
