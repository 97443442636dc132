// The one port between the document and whatever shows it: the Qt shell, the
// command line, or a recording fake in the tests. Every user-visible effect of a
// document command goes through here.
//
// Texts crossing the port are UTF-8, in both directions (names of entries,
// paths, comments, messages); the document converts to and from the volume's
// ISO-8859-1 itself. The texts the document shows come from the message table
// (common/MessageTable.h) in the process-wide language.
//
// Command states are not pushed through the port: the document owns its state
// (display mode, shown map, smoothing, channel mask, selection) and answers
// CKestrelDoc::commandEnabled() and commandChecked() for its commands. After
// every change of state (a command, a load, a view becoming visible or hidden,
// the clipboard changing) the host calls CKestrelDoc::updateCommandStates()
// once, then reads those two queries for its buttons and menu items, and
// CKestrelDoc::commandLabel() for the menu texts that name a step (undo, redo).
#pragma once

#include "codecs/PixelBitmap.h"
#include "common/Text.h"
#include "document/Extraction.h"
#include "document/PictureGeometry.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class AdjustmentDialogModel;
class ExportDialogModel;
class SizeDialogModel;

enum class MessageIcon { None, Information, Error, Warning, Question };
// RewriteCancel: "Volume neu schreiben" and "Abbrechen", answered Ok or Cancel.
enum class MessageButtons { Ok, OkCancel, YesNo, RewriteCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// What the volume browser shows after a volume was opened: the directory tree
// (root item first, then directories in pre-order), the pages of the
// directories that hold files and the "(Root)" page, and what to select.
struct VolumeBrowserModel {
    struct Directory {
        int index;   // catalogue index, the item's data
        int parent;  // catalogue index of the parent directory, -99 for the root item
        std::string name;
        bool bold = false;
    };
    struct PageItem {
        std::string name;  // the entry's name, UTF-8
        int icon;          // the entry kind
        int index;         // catalogue index
        // Why the entry cannot be read (its data reaches past the end of the
        // volume), UTF-8; empty for an entry that can. The browser marks such an entry.
        std::string damage = {};
    };
    struct Page {
        std::string title;
        std::vector<PageItem> items;
    };
    std::string rootName;            // the volume's display name
    bool rootBold = false;
    std::vector<Directory> directories;
    int selectedItem = -1;           // item data of the selected tree item (-888 the root), -1 none
    bool rootHasFiles = false;
    std::vector<Page> pages;
    int pageShown = -1;              // -99: none, and the notice (the root item without files)
    int selectedEntry = -1;          // catalogue index of the entry selected on the shown page, -1 none
};

// One line of a file dialog's type list: "QRB (*.qrb)" shows `description`
// and matches `patterns` ("*.qrb"; "*.*" matches every file).
struct FileFilter {
    std::string description;
    std::vector<std::string> patterns;
    friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// Checks a name as the user types it: empty when the name is allowed, else
// the reason it is refused (UTF-8), for the dialog to show.
using NameValidator = std::function<std::string(const std::string& name)>;

// The suffix a file dialog adds to a name typed without one: the default
// extension without its dot (".qrb" gives "qrb"), or nothing for a pattern
// such as "*.*", so that a name without a dot is taken as it stands.
inline std::string dialogDefaultSuffix(const std::string& defaultExtension)
{
    if (defaultExtension.find_first_of("*?") != std::string::npos)
        return {};
    return defaultExtension.starts_with('.') ? defaultExtension.substr(1) : defaultExtension;
}

// The data of the "Globale QORB-Daten" dialog.
struct VolumeDataAnswer {
    std::string comment;  // UTF-8
    korvix::DosDateTime time;
};

// How far a long piece of work has come, for its progress dialog.
struct WorkProgress {
    std::uint64_t filesDone = 0;
    std::uint64_t filesTotal = 0;
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    std::string current;  // what is being worked on (UTF-8)
};
// A long piece of work: it reports its progress through `report` (from its
// own thread, as often as it likes) and stops soon after `cancel` is set.
using LongWork = std::function<void(const std::atomic<bool>& cancel,
                                    const std::function<void(const WorkProgress&)>& report)>;

class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // Message boxes; a box without a caption uses the program's own title.
    virtual MessageAnswer messageBox(const std::string& text, const std::string& caption, MessageIcon icon,
                                     MessageButtons buttons) = 0;
    virtual void setWaitCursor(bool wait) = 0;
    virtual void setStatusText(int pane, const std::string& text) = 0;
    virtual void setWindowTitle(const std::string& title) = 0;

    // The recent-file list (at most eight entries, newest first).
    virtual void addRecentFile(const std::string& path) = 0;
    virtual std::optional<std::string> recentFile(int index) = 0;
    virtual void removeRecentFile(int index) = 0;

    // The picture view.
    virtual bool hasPictureView() = 0;
    virtual bool pictureViewVisible() = 0;
    virtual void activatePictureView() = 0;
    virtual void refreshPictureView() = 0;
    virtual void setPictureZoom(float zoom) = 0;
    // After zooming back to 1: recompute the scroll layout and redraw all.
    virtual void relayoutPictureView() = 0;
    virtual void setPictureSmoothing(bool on) = 0;
    // The document emptied its selection (CKestrelDoc::tracker()): draw the
    // picture without it.
    virtual void emptySelection() = 0;

    // The volume browser.
    virtual void clearVolumeBrowser() = 0;
    virtual void showVolumeBrowser(const VolumeBrowserModel& model) = 0;
    virtual void activateDirectoryTree() = 0;
    // Catalogue index of the entry selected in the shown page, if any.
    virtual std::optional<int> selectedEntry() = 0;
    // Item data of the directory selected in the directory tree (-888 the
    // root item), if any.
    virtual std::optional<int> selectedDirectory() = 0;
    // After all views: the framework's update of every view (hint 0).
    virtual void updateAllViews() = 0;

    // Dialogs, as data in and data out; nullopt means cancelled.
    // The open-file dialog: the type list in order (empty: no list, every file),
    // and the extension added to a name typed without one.
    virtual std::optional<std::string> chooseOpenFile(const std::vector<FileFilter>& filters,
                                                      const std::string& defaultExtension) = 0;
    virtual std::optional<std::string> chooseSaveFile(const std::string& proposedName) = 0;
    // Runs the export dialog over the model; true when "Exportieren" closed it.
    virtual bool runExportDialog(ExportDialogModel& model) = 0;
    virtual std::optional<VolumeDataAnswer> runVolumeDataDialog(const VolumeDataAnswer& current) = 0;
    // The rename dialog: the entry's name in both fields. "Speichern" with a
    // name that `validate` refuses keeps the dialog open, the typed text kept
    // and the reason shown; it closes with an allowed name or without one.
    virtual std::optional<std::string> runRenameDialog(const std::string& oldName, const NameValidator& validate) = 0;

    // The open volume's file changed on disk since it was opened: `text` says
    // so, naming the file and what was not done. True when the user answers
    // `question` (whether to open it again) with yes; a host that cannot open
    // it again (the command line) reports `text` and answers no.
    virtual bool offerReopen(const std::string& text, const std::string& question) = 0;

    // The clipboard's picture as a 32-bit bitmap, if it holds one; its alpha
    // flag is set when the picture has an alpha channel, which a paste keeps.
    virtual bool clipboardHasBitmap() = 0;
    virtual std::optional<PixelBitmap> clipboardBitmap() = 0;
    // Puts a 32-bit bitmap on the clipboard as a picture, with its alpha
    // channel when `withAlpha`.
    virtual void setClipboardBitmap(const PixelBitmap& bitmap, bool withAlpha) = 0;
    // Plays a sound from memory and returns when it has ended.
    virtual void playSound(const std::uint8_t* bytes, std::size_t size) = 0;

    // ---- editing: the picture view's geometry, its plain redraw and the editing dialogs ----
    // The picture view's client size and scroll position now. The document fills
    // in the shown picture's size and the zoom itself (CKestrelDoc::selectionView()).
    virtual PictureGeometry pictureViewGeometry() = 0;
    // The picture view's refresh(): scroll range to the zoomed picture, repaint.
    // (refreshPictureView() is the full update that also rewrites the status panes.)
    virtual void redrawPictureView() = 0;
    // Runs the size dialog over the model (see SizeDialogModel.h); true for OK.
    virtual bool runSizeDialog(SizeDialogModel& model) = 0;
    // Runs a brightness, contrast or gamma dialog over the model, which computes
    // its previews through the document (see AdjustmentDialogModel.h); true for OK.
    virtual bool runAdjustmentDialog(AdjustmentDialogModel& model) = 0;

    // ---- editing the picture in another program ----
    // A folder of the program's own (private to the user, removed when the
    // program ends) for the files handed to another program; nothing when none
    // can be made.
    virtual std::optional<std::string> externalEditFolder() = 0;
    // Opens the file in the user's chosen program (or the desktop's default
    // one for its type) and watches it from then on: each time it is saved,
    // also by writing a new file and renaming it over the old one, the host
    // calls CKestrelDoc::externalFileSaved(). False when no program started.
    virtual bool startExternalEdit(const std::string& path) = 0;
    // Stops watching the file handed out.
    virtual void stopExternalEdit() = 0;

    // ---- long work, folders, dragging entries out and text entries ----
    // These have plain defaults, so that a host without such dialogs (the
    // command line) need not name them.
    //
    // Runs `work` and returns when it has ended. The desktop program runs it
    // on a worker thread behind a progress dialog titled `title` with
    // "Abbrechen", and keeps the user away from the document meanwhile, so
    // that the work may read the document's volume; the default runs it on
    // the calling thread.
    virtual void runLongWork(const std::string& title, const LongWork& work)
    {
        (void)title;
        const std::atomic<bool> never{false};
        work(never, [](const WorkProgress&) {});
    }
    // Asked by a running work when a file exists where it would write one
    // (`path`, UTF-8): "Überschreiben", "Alle überschreiben", "Überspringen"
    // or "Abbrechen". May be called from the work's thread; the desktop
    // program asks on the user-interface thread while the work waits.
    virtual OverwriteAnswer askOverwrite(const std::string& path)
    {
        (void)path;
        return OverwriteAnswer::Skip;
    }
    // A folder chooser titled `title`; nothing when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& title)
    {
        (void)title;
        return std::nullopt;
    }
    // A folder of the program's own for files dragged out of the volume
    // (private to the user, removed when the program ends); nothing when none
    // can be made.
    virtual std::optional<std::string> dragFolder() { return std::nullopt; }
    // Shows a text entry read-only (the text pane of the picture's tabs).
    virtual void showText(const std::string& name, const std::string& text)
    {
        (void)name;
        (void)text;
    }
};
