// The document's host on the command line: messages go to standard error,
// dialog answers come from the command's arguments, and confirmations are
// answered yes only when the user said --yes.
#pragma once

#include "Cli.h"

#include "document/DocumentHost.h"

#include <deque>

namespace cli {

class CliHost : public DocumentHost {
public:
    CliHost(Io& io, std::string stage, std::string file) : m_io(io), m_stage(std::move(stage)), m_file(std::move(file)) {}

    bool assumeYes = false;
    bool quiet = false;  // --quiet: a confirmation answered by --yes is not echoed
    std::deque<std::string> openFiles;  // answers for the open-file dialog
    std::optional<std::string> renameAnswer;
    std::optional<VolumeDataAnswer> volumeData;
    int messagesShown = 0;
    bool previewOnly = false;  // a confirmation was shown and declined for want of --yes

    MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override;
    void setWaitCursor(bool) override {}
    void setStatusText(int, const std::string&) override {}
    void setWindowTitle(const std::string&) override {}
    void addRecentFile(const std::string&) override {}
    std::optional<std::string> recentFile(int) override { return std::nullopt; }
    void removeRecentFile(int) override {}
    bool hasPictureView() override { return false; }
    bool pictureViewVisible() override { return false; }
    void activatePictureView() override {}
    void refreshPictureView() override {}
    void setPictureZoom(float) override {}
    void relayoutPictureView() override {}
    void setPictureSmoothing(bool) override {}
    void clearVolumeBrowser() override {}
    void showVolumeBrowser(const VolumeBrowserModel&) override {}
    void activateDirectoryTree() override {}
    std::optional<int> selectedEntry() override { return std::nullopt; }
    std::optional<int> selectedDirectory() override { return std::nullopt; }
    void updateAllViews() override {}
    std::optional<std::string> chooseOpenFile(const std::vector<FileFilter>&, const std::string&) override;
    std::optional<std::string> chooseSaveFile(const std::string&) override { return std::nullopt; }
    bool runExportDialog(ExportDialogModel&) override { return false; }
    std::optional<VolumeDataAnswer> runVolumeDataDialog(const VolumeDataAnswer&) override { return volumeData; }
    std::optional<std::string> runRenameDialog(const std::string&, const NameValidator&) override { return renameAnswer; }
    bool offerReopen(const std::string& text, const std::string& question) override;
    // The command line has no dialog to show meanwhile: the work runs at once.
    bool clipboardHasBitmap() override { return false; }
    std::optional<PixelBitmap> clipboardBitmap() override { return std::nullopt; }
    void setClipboardBitmap(const PixelBitmap&, bool) override {}
    void playSound(const std::uint8_t*, std::size_t) override {}
    PictureGeometry pictureViewGeometry() override { return {}; }
    void redrawPictureView() override {}
    void emptySelection() override {}
    bool runSizeDialog(SizeDialogModel&) override { return false; }
    bool runAdjustmentDialog(AdjustmentDialogModel&) override { return false; }
    // The terminal hands no picture to another program.
    std::optional<std::string> externalEditFolder() override { return std::nullopt; }
    bool startExternalEdit(const std::string&) override { return false; }
    void stopExternalEdit() override {}

private:
    Io& m_io;
    std::string m_stage;
    std::string m_file;
};

}  // namespace cli
