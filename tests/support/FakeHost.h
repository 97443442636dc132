// A DocumentHost that records every effect and answers dialogs from a script.
// A question (a box with more than an OK button) that the test did not script
// an answer for fails the test and is answered with Cancel or No.
#pragma once

#include "document/CommandIds.h"
#include "document/DocumentHost.h"
#include "document/AdjustmentDialogModel.h"
#include "document/ExportDialogModel.h"
#include "document/SizeDialogModel.h"

// The failure goes to the test framework the suite runs under.
#if defined(QT_TESTLIB_LIB)
#include <QTest>
#define KORVIX_FAKE_HOST_FAIL(text) QTest::qFail(("unscripted question: " + (text)).c_str(), __FILE__, __LINE__)
#else
#include <gtest/gtest.h>
#define KORVIX_FAKE_HOST_FAIL(text) ADD_FAILURE() << "unscripted question: " << (text)
#endif

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct FakeHost : DocumentHost {
    struct Message {
        std::string text, caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    // ---- recorded effects ----
    std::vector<Message> messages;
    int waitDepth = 0;
    int waitCalls = 0;
    std::map<int, std::string> status;
    std::string title;
    std::vector<std::string> recent;
    int refreshes = 0;
    float zoom = 1;
    int relayouts = 0;
    bool smoothing = false;
    int browserClears = 0;
    VolumeBrowserModel browser;
    int viewUpdates = 0;
    std::vector<std::vector<std::uint8_t>> sounds;

    // ---- scripted answers ----
    std::deque<MessageAnswer> answers;  // for boxes with more than an OK button, in order
    bool pictureView = true;
    bool pictureVisible = true;
    std::optional<int> selected;
    std::optional<int> selectedDir;
    // A hook that runs as each long work starts: a test may set the cancel
    // flag there, or change the volume.
    std::function<void(std::atomic<bool>& cancel)> duringWork;
    // Answers to the offer to open a changed volume again, in order; the
    // texts of the offers made.
    std::deque<bool> reopenAnswers;
    std::vector<std::string> reopenOffers;
    std::deque<std::optional<std::string>> openFiles, saveFiles, renames;
    // The reasons the rename dialog showed for refused names, in order.
    std::vector<std::string> renameRefusals;
    std::function<bool(ExportDialogModel&)> exportDialog;
    std::optional<VolumeDataAnswer> volumeData;
    std::optional<PixelBitmap> clipboard;
    bool clipboardAlpha = false;  // what the last copy said about alpha
    // Editing in another program: the folder offered (none: no folder), whether
    // a program starts, and the file being watched (empty: none).
    std::optional<std::string> externalFolder;
    bool externalStarts = true;
    std::string watched;
    // What the document passed into the open-file dialog last.
    std::vector<FileFilter> openFilters;
    std::string openDefaultExtension;
    // The picture view's client size and scroll position.
    PictureGeometry viewport{.clientWidth = 400, .clientHeight = 300};
    int redraws = 0;
    int selectionsEmptied = 0;
    // Dialog scripts; a dialog without one is cancelled.
    std::function<bool(SizeDialogModel&)> sizeDialog;
    std::function<bool(AdjustmentDialogModel&)> adjustmentDialog;
    // Long work runs right here; its titles and the last progress it reported
    // are recorded, and `cancelAfter` reports set the cancel flag.
    std::vector<std::string> works;
    WorkProgress lastProgress;
    int progressReports = 0;
    std::optional<int> cancelAfter;
    // Folders chosen, in order (none left: cancelled); the answers for
    // existing files (none left: the test fails) and the files asked about.
    std::deque<std::optional<std::string>> folders;
    std::deque<OverwriteAnswer> overwriteAnswers;
    std::vector<std::string> overwriteQuestions;
    std::optional<std::string> dragBase;
    // The text entries shown: name and text.
    std::vector<std::pair<std::string, std::string>> texts;

    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> out;
        for (const auto& m : messages)
            out.push_back(m.text);
        return out;
    }

    MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                             MessageButtons buttons) override
    {
        messages.push_back({text, caption, icon, buttons});
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (answers.empty()) {
            KORVIX_FAKE_HOST_FAIL(text);
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        }
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    void setWaitCursor(bool wait) override
    {
        waitDepth += wait ? 1 : -1;
        ++waitCalls;
    }
    void setStatusText(int pane, const std::string& text) override { status[pane] = text; }
    void setWindowTitle(const std::string& t) override { title = t; }
    void addRecentFile(const std::string& path) override
    {
        std::erase(recent, path);
        recent.insert(recent.begin(), path);
        if (recent.size() > 8)
            recent.pop_back();
    }
    std::optional<std::string> recentFile(int index) override
    {
        if (index < 0 || static_cast<std::size_t>(index) >= recent.size())
            return std::nullopt;
        return recent[static_cast<std::size_t>(index)];
    }
    void removeRecentFile(int index) override { recent.erase(recent.begin() + index); }
    bool hasPictureView() override { return pictureView; }
    bool pictureViewVisible() override { return pictureVisible; }
    void activatePictureView() override { pictureVisible = true; }
    void refreshPictureView() override { ++refreshes; }
    void setPictureZoom(float z) override { zoom = z; }
    void relayoutPictureView() override { ++relayouts; }
    void setPictureSmoothing(bool on) override { smoothing = on; }
    void clearVolumeBrowser() override
    {
        ++browserClears;
        browser = {};
    }
    void showVolumeBrowser(const VolumeBrowserModel& model) override { browser = model; }
    void activateDirectoryTree() override {}
    std::optional<int> selectedEntry() override { return selected; }
    std::optional<int> selectedDirectory() override { return selectedDir; }
    void updateAllViews() override { ++viewUpdates; }
    std::optional<std::string> chooseOpenFile(const std::vector<FileFilter>& filters, const std::string& ext) override
    {
        openFilters = filters;
        openDefaultExtension = ext;
        return next(openFiles);
    }
    std::optional<std::string> chooseSaveFile(const std::string&) override { return next(saveFiles); }
    bool runExportDialog(ExportDialogModel& model) override { return exportDialog && exportDialog(model); }
    std::optional<VolumeDataAnswer> runVolumeDataDialog(const VolumeDataAnswer&) override { return volumeData; }
    // The dialog stays open on a refused name: the reason is recorded and the
    // next scripted name is typed, until one is allowed or the script ends.
    std::optional<std::string> runRenameDialog(const std::string&, const NameValidator& validate) override
    {
        while (!renames.empty()) {
            const std::optional<std::string> name = next(renames);
            if (!name)
                return name;
            const std::string reason = validate ? validate(*name) : std::string();
            if (reason.empty())
                return name;
            renameRefusals.push_back(reason);
        }
        return std::nullopt;
    }
    bool offerReopen(const std::string& text, const std::string& question) override
    {
        reopenOffers.push_back(text);
        if (reopenAnswers.empty()) {
            KORVIX_FAKE_HOST_FAIL(text + " " + question);
            return false;
        }
        const bool yes = reopenAnswers.front();
        reopenAnswers.pop_front();
        return yes;
    }
    bool clipboardHasBitmap() override { return clipboard.has_value(); }
    std::optional<PixelBitmap> clipboardBitmap() override { return clipboard; }
    void setClipboardBitmap(const PixelBitmap& bitmap, bool withAlpha) override
    {
        clipboard = bitmap;
        clipboard->setHasAlpha(withAlpha);
        clipboardAlpha = withAlpha;
    }
    std::optional<std::string> externalEditFolder() override { return externalFolder; }
    bool startExternalEdit(const std::string& path) override
    {
        if (externalStarts)
            watched = path;
        return externalStarts;
    }
    void stopExternalEdit() override { watched.clear(); }
    void playSound(const std::uint8_t* bytes, std::size_t size) override { sounds.emplace_back(bytes, bytes + size); }
    PictureGeometry pictureViewGeometry() override { return viewport; }
    void redrawPictureView() override { ++redraws; }
    void emptySelection() override { ++selectionsEmptied; }
    bool runSizeDialog(SizeDialogModel& model) override { return sizeDialog && sizeDialog(model); }
    bool runAdjustmentDialog(AdjustmentDialogModel& model) override { return adjustmentDialog && adjustmentDialog(model); }
    void runLongWork(const std::string& title, const LongWork& work) override
    {
        works.push_back(title);
        std::atomic<bool> cancel{false};
        if (duringWork)
            duringWork(cancel);
        work(cancel, [&](const WorkProgress& p) {
            lastProgress = p;
            if (cancelAfter && ++progressReports >= *cancelAfter)
                cancel = true;
        });
    }
    OverwriteAnswer askOverwrite(const std::string& path) override
    {
        overwriteQuestions.push_back(path);
        if (overwriteAnswers.empty()) {
            KORVIX_FAKE_HOST_FAIL("exists: " + path);
            return OverwriteAnswer::Cancel;
        }
        const OverwriteAnswer a = overwriteAnswers.front();
        overwriteAnswers.pop_front();
        return a;
    }
    std::optional<std::string> chooseFolder(const std::string&) override { return next(folders); }
    std::optional<std::string> dragFolder() override { return dragBase; }
    void showText(const std::string& name, const std::string& text) override { texts.emplace_back(name, text); }

private:
    static std::optional<std::string> next(std::deque<std::optional<std::string>>& queue)
    {
        if (queue.empty())
            return std::nullopt;
        auto v = queue.front();
        queue.pop_front();
        return v;
    }
};
