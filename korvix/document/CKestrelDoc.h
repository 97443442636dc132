// The program's one document: the shown texture with its maps and display
// state, the open volume with its entry records, and every command that loads,
// shows, exports or edits them. It talks to the user interface only through
// its DocumentHost, passed in at construction.
//
// Every load builds a complete new MapSet and swaps it in only on success; a
// failed load leaves everything as it was. All of it runs on one thread.
#pragma once

#include "codecs/DxtBlock.h"
#include "codecs/MapSet.h"
#include "codecs/TextureLoader.h"
#include "common/MessageTable.h"
#include "common/Text.h"
#include "document/DocumentHost.h"
#include "document/EntryCatalogue.h"
#include "document/EntryRecord.h"
#include "document/Extraction.h"
#include "document/ExportDialogModel.h"
#include "document/PictureOrigin.h"
#include "document/RewritePlan.h"
#include "document/SelectionTracker.h"
#include "document/VolumeIdentity.h"
#include "document/UndoHistory.h"
#include "filters/ProcessRegion.h"

#include <qorbm.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CKestrelDoc {
public:
    static constexpr const char* TITLE_SUFFIX = " - Korvix 0.93";
    static constexpr int MAX_SIDE = 2048;
    static constexpr int BACKGROUND_SIDE = 2048;

    // Display modes.
    enum { MODE_RGB = 0, MODE_RGBA = 1, MODE_ALPHA = 2 };
    // Where the maps came from.
    enum { SOURCE_VOLUME = 0, SOURCE_TEXTURE_FILE = 1, SOURCE_OTHER = 3 };

    explicit CKestrelDoc(DocumentHost& host);
    ~CKestrelDoc();
    CKestrelDoc(const CKestrelDoc&) = delete;
    CKestrelDoc& operator=(const CKestrelDoc&) = delete;

    // The document that the volume walk's callback fills; set by the constructor.
    static CKestrelDoc* current();
    static void makeCurrent(CKestrelDoc* doc);

    // ---- opening and loading ----
    // The open dispatch by extension: volumes (".qrb", ".mod"), textures (".tex")
    // and everything else as an image. With the dialog the host asks for the path.
    bool openFile(const std::string& path, bool showDialog);
    // Loads maps from a disk file, or (fromVolume) from the entry with catalogue
    // index `entryIndex` of the open volume.
    bool loadMaps(const std::string& path, bool fromVolume, bool isTexture, int entryIndex);
    // Decodes an image file at 32 bits; null after showing its message. With
    // `type`, the image's type (ImageType) is stored there.
    std::unique_ptr<PixelBitmap> loadImageFile(const std::string& path, int* type = nullptr);
    void freeMaps();
    // The paste command: the clipboard's picture becomes a one-map texture,
    // with alpha when the picture has it.
    void paste();
    // "Kopieren": the shown map on the clipboard, with its alpha channel when
    // the texture has one.
    void copyCommand();
    // The one door through which a picture from outside the document (the
    // clipboard, a file another program saved) replaces the shown maps: a
    // picture smaller than 4 or larger than 2048 pixels a side is refused with
    // the paste's messages; otherwise it becomes a one-map texture with the
    // bitmap's alpha flag, as one undo step named `stepName` that takes the
    // whole picture back (maps, name, title, source, the bytes as loaded). `naming` gives it a name (what the export proposes),
    // the name pane's text and the window title; without it the name, the pane
    // and the title stay as they are.
    struct OutsideName {
        std::string name;
        std::string status;
    };
    bool replacePicture(PixelBitmap&& picture, const PictureOrigin& origin, korvix::MessageId stepName,
                        const std::optional<OutsideName>& naming);
    // Recent-file command i (0 ... 7).
    void openRecentFile(int index);

    int mipLevelsPossible() const;
    static void halveSize(int& width, int& height, int n);
    static int powerOfTwo(int n);

    // ---- the volume ----
    enum class VolumeAccess { ReadWrite, ReadOnly };
    // Opens a volume under its display name. ReadWrite falls back to reading
    // only when the file cannot be written; ReadOnly never asks for write
    // access, and every edit of such a volume is refused with a message.
    bool openVolume(const std::string& path, const std::string& displayName,
                    VolumeAccess access = VolumeAccess::ReadWrite);
    static void catalogueCallback(int index, int parentIndex, const tarvos::QORBEntry* entry);
    const std::vector<EntryRecord>& entryRecords() const { return m_catalogue.records(); }
    // The open volume's records with the walk's order and each directory's children.
    const EntryCatalogue& catalogue() const { return m_catalogue; }
    // The open volume, for reading only: every write goes through the named
    // edit operations below, which keep the read-only and verified-write rules.
    const tarvos::GGroup& volume() const { return *m_volume; }
    // The open volume's path as it was opened; empty while none is open.
    const std::string& volumePath() const { return m_identity.path(); }
    // Whether the file under the open volume's path, or behind its open
    // handle, is no longer the one opened or last written by this document.
    // Looks at the files' states only, which is cheap; the check before a
    // write reads the header and catalogue as well.
    bool volumeChangedOnDisk();
    // Tells the user, once for each state of the file, that the open volume
    // changed on disk and offers to open it again; true when it was opened
    // again. Nothing happens while the volume is unchanged.
    bool offerReopenIfChanged();
    // Opens the open volume again from its path, keeping the selected
    // directory and entry where they still exist.
    bool reopenVolume();
    // Counts the volumes opened (also again, as after a rewrite): a catalogue
    // index means the same entry only while this stays the same.
    unsigned volumeSerial() const { return m_nVolumeSerial; }

    // ---- display state and view commands ----
    void setDisplayMode(int mode);
    void selectMap(int index);
    void selectMapCommand(int k);
    // Zoom steps x 32 ... x 1 and the reductions 1:2 ... 1:16 (zoomsteps in
    // PictureGeometry.h); a reduction only while the picture does not fit.
    void zoomIn();
    void zoomOut();
    void zoomReset();
    // "An Fenster anpassen": the largest step at which the picture fits the view.
    void zoomToFit();
    void displayModeCommand(int mode);
    // The smoothing button was set to `on`.
    void smoothingCommand(bool on);
    // The smoothed rendering the picture view shows while smoothing is on.
    std::unique_ptr<PixelBitmap> smoothedImage() const;
    // Unchecks the zoom and display-mode buttons, then checks "RGB" while ready.
    void resetViewButtons();
    void checkViewButton(int id, bool on);

    // ---- command states ----
    // Whether command `id` is enabled, for every command the document handles
    // (see CommandIds.h); nothing for the commands of the frame, the views and
    // the entry menu. Reads state only. With `reason`, a disabled command
    // also says why (in the chosen language; empty when there is nothing to
    // tell, and while the command is enabled).
    std::optional<bool> commandEnabled(int id, std::string* reason = nullptr) const;
    // Whether the button of command `id` is down: the display modes, smoothing,
    // the map buttons and the channel exclusion buttons; nothing for the rest.
    std::optional<bool> commandChecked(int id) const;
    // The update pass the host runs after every change of state, before it reads
    // the two queries above: while the RGBA and alpha views are disabled, the view
    // buttons are reset (zoom and modes up, "RGB" down while ready).
    void updateCommandStates();

    // ---- channel mask ----
    // Colour channels that take part in processing; all three at start.
    bool redActive() const { return m_bRed; }
    bool greenActive() const { return m_bGreen; }
    bool blueActive() const { return m_bBlue; }
    void setChannels(bool red, bool green, bool blue);
    // The exclusion button of a channel (ID_EXCLUDE_RED, _GREEN, _BLUE) was set
    // to `excluded`; other ids are ignored.
    void channelToggleCommand(int id, bool excluded);
    // "Alle Kanäle aktivieren": the three buttons up, every channel active.
    void allChannelsCommand();

    // ---- undo, redo and the modified state ----
    // Every change of the shown picture is a step of the history: the image
    // operations, the adjustment dialogs' OK and a paste. Loading another
    // picture empties it; writes into the volume are not part of it.
    bool undo();
    bool redo();
    // The menu text of a command whose text names its step ("Rückgängig:
    // Helligkeit", or "Rückgängig" with nothing to undo); nothing for the others.
    std::optional<std::string> commandLabel(int id) const;
    const UndoHistory& history() const { return m_history; }
    // At most `steps` steps in `budget` bytes (0: no history, as the command line keeps).
    void setUndoLimits(std::size_t steps, std::size_t budget) { m_history.setLimits(steps, budget); }
    // The picture differs from what was loaded, exported or written into the
    // volume last; the window title then starts with "*".
    bool isModified() const { return m_history.isModified(); }
    // Whether the shown picture may be given up: asks "Die Änderungen am Bild
    // gehen verloren. Fortfahren?" while it is modified and the question is on,
    // and is true for "Ja". Every load, paste, volume opening and the end of the
    // program ask it once; the host asks it before quitting.
    bool confirmDiscard();
    // The last load, open or paste stopped at that question's "Nein": nothing
    // changed, and the caller puts back what it changed itself (the browser its
    // selection).
    bool keptChanges() const { return m_bKeptChanges; }
    // The setting AskBeforeDiscard (on unless switched off).
    void setAskBeforeDiscard(bool ask) { m_bAskBeforeDiscard = ask; }
    bool askBeforeDiscard() const { return m_bAskBeforeDiscard; }

    // ---- selection ----
    // The picture view feeds the tracker its input and draws what it returns.
    SelectionTracker& tracker() { return m_tracker; }
    const SelectionTracker& tracker() const { return m_tracker; }
    // The picture view writes its zoom here through its setters.
    void setZoomCopy(float zoom) { m_fZoom = zoom; }

    // The format pane: " DXT3 · 5 Maps · Alpha", " PNG · Alpha"; " " with nothing shown.
    std::string formatText() const;
    const PictureOrigin& origin() const { return m_origin; }

    // ---- editing in another program ----
    // "Extern bearbeiten…": the shown map (with its alpha channel when the
    // texture has one) as a PNG in the host's folder for such files, handed
    // to another program; false after a message when that failed.
    bool externalEditCommand();
    // The file handed out was saved: it replaces the shown picture through
    // replacePicture(), keeping the name. A size a texture cannot take is
    // told (when the size changed). False when it was refused.
    bool externalFileSaved();
    // The file handed out, empty when none is watched. A load or a paste of
    // another picture ends the watch.
    const std::string& externalFile() const { return m_strExternalFile; }

    // ---- export ----
    void exportCommand();
    // The export after the dialog: what the command does with the dialog's results.
    void exportTexture(const ExportDialogModel::Result& result);

    // ---- volume editing ----
    void editVolumeData();
    // The two halves of the global data, each checked and written on its own;
    // false after showing why nothing was written.
    bool setVolumeComment(const std::string& comment);
    bool setVolumeTime(const korvix::DosDateTime& time);
    // The rename command for entry i whose page item reads `itemText`;
    // true when the entry was renamed.
    bool renameCommand(int index, const std::string& itemText, bool isSelected);
    bool renameEntry(int index, const std::string& newName, bool isSelected);
    void extractEntry(int index);
    bool replaceEntryFromFile(int index, bool reload);
    // `quality` is the block compressor's setting when the entry is a DXT texture.
    bool replaceEntryFromImage(int index, dxt::Quality quality = dxt::Quality::Default);

    // ---- extraction into folders, dragging entries out, text entries ----
    // "Exportieren" for several entries, "Verzeichnis exportieren…" (a
    // directory's item data) and "Volume exportieren…" (the root item, -888):
    // asks for a folder and extracts into it with the extraction engine, as
    // the host's long work (the desktop program: off the user-interface
    // thread, behind a progress dialog with "Abbrechen"). A directory is
    // recreated with its tree; the volume's top level goes straight into the
    // folder. An existing file is asked about (host askOverwrite); the
    // failures are listed together at the end. False when nothing ran: no
    // volume, no folder chosen, or the volume changed on disk (then the user
    // is offered to open it again).
    bool exportEntries(const std::vector<int>& entries);
    bool exportDirectory(int itemData);
    // The bytes of the files in the entries' trees.
    std::uint64_t filesBytes(const std::vector<int>& entries) const;
    // Dragging entries out: at most this many bytes at once.
    static constexpr std::uint64_t MAX_DRAG_BYTES = std::uint64_t{256} << 20;
    // The files of a drag: the entries (directories with their trees)
    // extracted into a fresh folder below the host's drag folder; the paths
    // of what was extracted, in the entries' order. Nothing, after saying
    // why, when the entries hold more than MAX_DRAG_BYTES, no folder can be
    // had, or nothing could be extracted.
    std::optional<std::vector<std::string>> dragEntries(const std::vector<int>& entries);
    // A text entry's text (UTF-8, line breaks "\n"), at most its first MiB
    // with a note after it when it is longer; nothing for an entry that holds
    // no text or cannot be read. See EntryText.h.
    std::optional<std::string> entryText(int index);
    // What picking an entry in the browser does: a text entry is shown in the
    // host's text pane (the picture stays), every other entry is loaded
    // (loadMaps), and a picture loaded so brings the picture view to the
    // front. keptChanges() tells afterwards whether a load was declined.
    bool pickEntry(int index);
    // ---- rewriting the volume ----
    // Changes that the in-place edits cannot make (an entry of another size,
    // new and deleted entries), in order, as one rewrite of the whole volume
    // (RewritePlan.h, VolumeRewrite.h) run through the host's long work, after
    // which the volume is opened again with the shown directory and the
    // selected entry kept. False after saying why nothing was written.
    bool rewriteVolume(const std::vector<VolumeChange>& changes);
    // "Löschen": the entries (catalogue indices; a directory with everything
    // below it) after a question that names them.
    bool deleteEntriesCommand(const std::vector<int>& entries);
    // Files dropped from a file manager onto a directory (its catalogue index,
    // or ITEM_VOLUME_ROOT): each is added there or replaces the file of its
    // name, a folder with the files below it, after a question that lists
    // every file as "neu" or "ersetzt" with its old and new size.
    bool dropFilesCommand(int directoryItem, const std::vector<std::string>& files);
    // The setting "Sicherung anlegen": a rewrite keeps the old volume as NAME.bak.
    void setKeepBackup(bool keep) { m_bKeepBackup = keep; }
    bool keepBackup() const { return m_bKeepBackup; }

    // ---- state, read by views and tests ----
    const MapSet* maps() const { return m_pMaps.get(); }
    const PixelBitmap* shown() const { return m_pShown; }
    const PixelBitmap& viewBuffer(int i) const { return m_pViewBuffers[static_cast<std::size_t>(i)]; }
    const std::uint8_t* background() const { return m_pBackground.data(); }
    const std::string& name() const { return m_strName; }
    bool ready() const { return m_bReady; }
    bool volumeOpen() const { return m_bVolumeOpen; }
    int mapCount() const { return m_nMaps; }
    int currentMap() const { return m_nCurMap; }
    int largestMap() const { return m_nLargestMap; }
    bool hasAlpha() const { return m_bHasAlpha; }
    int displayMode() const { return m_nDisplayMode; }
    int source() const { return m_nSource; }
    bool rawTexture() const { return m_bRawTexture; }
    int rootPage() const { return m_nRootPage; }
    float zoom() const { return m_fZoom; }
    bool smoothView() const { return m_bSmoothView; }
    bool noSelection() const { return m_bNoSelection; }
    const std::string& volumeComment() const { return m_strVolumeComment; }
    const korvix::DosDateTime& volumeTime() const { return m_volumeTime; }
    const std::vector<std::uint8_t>& rawBytes() const { return m_pRaw; }

    // ---- selection, image operations, information report, adjustments ----
    // Each command returns true when it ran to its end (also when there was
    // nothing to change) and false when it stopped: refused with a message,
    // cancelled, or a working image could not be had.
    // The picture view's geometry with the shown picture's size and the zoom.
    PictureGeometry selectionView();
    // Runs one of the commands below by its id (a channel button toggles);
    // false for other ids. Their enabling rules are commandEnabled()'s.
    bool editCommand(int id);

    void selectAllCommand();
    void selectNoneCommand();
    bool selectionDialogCommand();
    void clearSelection();
    // The processing region from the selection (channel 0), clipped to the map.
    ProcessRegion regionFromSelection() const;

    bool invertColour();
    bool invertAlpha();
    bool createAlpha();
    bool removeAlpha();
    bool removeSmallMaps();
    bool crop();
    bool resize();
    // Sharpen, the two blurs and the two alpha blurs, by command id.
    bool filterCommand(int id);
    bool rotate(bool clockwise);
    bool mirror(bool leftRight);

    // The information report's text, and the command that shows it.
    std::string informationReport() const;
    void objectInfoCommand();

    bool brightnessCommand();
    bool contrastCommand();
    bool gammaCommand();
    void setDisplayModeWithButtons(int mode);
    // The lookup tables of the contrast (v = -127 ... 127) and gamma (0.01 ... 4.0) dialogs.
    static std::array<std::uint8_t, 256> contrastTable(int v);
    static std::array<std::uint8_t, 256> gammaTable(double gamma);

private:
    struct NewMaps {
        std::unique_ptr<MapSet> maps;
        bool alpha = false;
        int source = SOURCE_OTHER;
        bool raw = false;
        std::vector<std::uint8_t> rawCopy;  // disk textures only
        bool keepRawCopy = false;
        std::string name;                   // UTF-8
        bool titleFromName = false;
        PictureOrigin origin;
    };
    void endExternalEdit();
    // The picture view's geometry with the shown picture and the zoom.
    PictureGeometry shownView() const;
    // A new zoom factor through the host; at 1 the view lays itself out anew.
    void setZoom(float factor);
    bool adoptMaps(NewMaps&& fresh, bool oldRedraw);
    // Whether a picture from outside may replace the maps (at least 4 and at
    // most 2048 pixels a side); the paste's refusal messages when not.
    bool pictureAllowed(const PixelBitmap& picture);
    bool loadVolumeEntry(int index, bool oldRedraw);
    // The texture loader's message for `status`, then "Fehler beim Laden der Textur.".
    void textureRefused(TextureLoadStatus status);
    // The browser's model of a freshly walked catalogue; sets the records'
    // pages and kinds and gives the "(Root)" page's number (-1 without one).
    static int buildPages(EntryCatalogue& catalogue, VolumeBrowserModel& model);
    // Display buffer `which` (0 RGBA, 1 alpha) rebuilt from the current map;
    // or sized for a picture and built band by band.
    void rebuildViewBuffer(int which);
    void prepareViewBuffer(int which, const PixelBitmap& from);
    void buildViewRows(int which, const PixelBitmap& from, int y0, int y1);
    // An information box with the message's text, or with a text made from it.
    void message(korvix::MessageId id);
    void message(const std::string& text);
    // The message's text, then "\n\n<file>: <cause>" (the cause left out when empty).
    void message(korvix::MessageId id, const std::string& file, const std::string& cause);
    static std::string withCause(korvix::MessageId id, const std::string& file, const std::string& cause);
    // A box with the caption "Fehler" and the error icon.
    void error(korvix::MessageId id);
    // The same, with the file and the cause after the message's text.
    void error(korvix::MessageId id, const std::string& file, const std::string& cause);
    // Handled: the loaded bytes were written (or there was nothing to write);
    // NotKept: no bytes as loaded exist, the maps are written instead; Gone:
    // they came from a volume entry that can no longer be read as it was.
    enum class LoadedBytes { Handled, NotKept, Gone };
    LoadedBytes writeLoadedBytes(const std::string& path);
    bool checkVolumeTime(const korvix::DosDateTime& time);
    // Every write into the open volume: written only while the volume is still
    // the file opened (else the user is told and offered to open it again),
    // as one verified patch, and the volume's identity taken again afterwards.
    enum class VolumeWrite { Written, Changed, Failed };
    VolumeWrite writeVolume(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size);
    // Says that the volume changed on disk (`nothingWritten` after a refused
    // write) and offers to open it again.
    bool offerReopen(bool nothingWritten);
    struct KeepSelection;
    bool openVolumeKeeping(const std::string& path, const std::string& displayName, VolumeAccess access,
                           const KeepSelection* keep);
    void applySelection(const KeepSelection& keep, VolumeBrowserModel& model) const;
    bool writeFileBytes(const std::string& path, const std::uint8_t* bytes, std::size_t size);
    // Runs the extraction engine as the host's long work and lists its
    // failures; `durable` as ExtractionOptions::durable.
    ExtractionResult extractAsWork(const std::vector<int>& entries, bool wholeVolume, const std::string& folder,
                                   bool durable);
    void reportExtractionFailures(const ExtractionResult& result);
    // The plan of the open volume as it is now; null after saying why there is none.
    std::unique_ptr<RewritePlan> startRewrite();
    // Applies the changes; false after saying why one was refused.
    bool applyChanges(RewritePlan& plan, const std::vector<VolumeChange>& changes, std::vector<ChangeReport>* reports);
    // The plan of the open volume with the changes applied and what each did;
    // null when there are none, or after saying why one was refused.
    std::unique_ptr<RewritePlan> planChanges(const std::vector<VolumeChange>& changes, std::vector<ChangeReport>& reports);
    // Writes the plan behind the host's progress and opens the volume again.
    bool runRewrite(const RewritePlan& plan);
    bool readEntry(const EntryRecord& r, std::vector<std::uint8_t>& out);

    // ---- image operations and adjustments ----
    struct Adjustment;
    void leaveSmoothView();
    PixelBitmap& singleMap() { return (*m_pMaps)[0]; }
    // What replacing the maps took out: the old set and the bytes as loaded.
    struct Replaced {
        std::unique_ptr<MapSet> maps;
        std::vector<std::uint8_t> raw;
    };
    Replaced replaceMap(PixelBitmap&& map);
    Replaced takeNewMap(PixelBitmap&& map);
    void rebuildAndRedraw(bool full);
    void brightnessPreview(Adjustment& a, int da, int dc, bool adjustAlpha);
    void applyTable(Adjustment& a, const std::array<std::uint8_t, 256>& table);
    bool tableCommand(bool gamma);
    void closeAdjustment(Adjustment& a, bool ok);
    // Shows a preview that `produce(y0, y1)` writes into `result` a band of
    // rows at a time; in the RGBA or alpha view the display buffer's rows are
    // built from each band while it is still in the cache.
    void showPreview(PixelBitmap& result, const std::function<void(int y0, int y1)>& produce);

    // ---- the history ----
    // The document's values a command may change beside the pixels.
    PictureState statusQuo(bool identity) const;
    void swapState(PictureState& state, bool mapFlag, bool identity);
    // Steps of the kinds UndoStep knows, made after the change: `before` holds
    // the values before it (and what the change took out of the document).
    void recordState(korvix::MessageId name, PictureState&& before);
    void recordInverse(korvix::MessageId name, UndoStep::Operation operation, PictureState&& before,
                       const ProcessRegion& region = {}, std::array<std::uint8_t, 4> mask = {});
    void recordPixels(korvix::MessageId name, PictureState&& before, PixelDelta&& delta);
    // A change of the single map's pixels where they lie, whose rows y0 ...
    // y0 + rows - 1 were copied to `saved` before it (empty: none could be).
    void recordPixelsFrom(korvix::MessageId name, PictureState&& before, PixelMemory&& saved, int y0, int rows);
    void recordPicture(korvix::MessageId name, PictureState&& before, std::unique_ptr<MapSet> maps, bool identity = false);
    void record(UndoStep&& step);
    // Applies a step taken from the history, backwards (undo) or forwards.
    void applyStep(UndoStep& step, bool backwards);
    // Undo (backwards) or redo: takes the step, applies it and hands it to the
    // other list; a step that ran out of memory goes back where it was.
    bool replayStep(bool backwards);
    void showAfterStep(bool geometryChanged, bool identity);
    // The picture as it is now was written out: no longer modified.
    void pictureSaved();
    // The window title (without the mark) and the status pane's name of the picture.
    void setTitle(const std::string& title);
    void setPictureStatus(const std::string& text);
    // Sends the title, with "*" in front while the picture is modified.
    void showTitle();

    DocumentHost& m_host;
    std::unique_ptr<MapSet> m_pMaps;
    std::array<PixelBitmap, 2> m_pViewBuffers;
    PixelBitmap* m_pShown = nullptr;
    std::string m_strName;  // UTF-8
    bool m_bAlphaViewStale = true;
    bool m_bRgbaViewStale = true;
    std::vector<std::uint8_t> m_pBackground;
    std::unique_ptr<tarvos::GGroup> m_volume = std::make_unique<tarvos::GGroup>();
    korvix::DosDateTime m_volumeTime;
    std::string m_strVolumeComment;  // ISO-8859-1 as stored
    bool m_bVolumeOpen = false;
    bool m_bReady = false;
    int m_nRootPage = 0;
    int m_nSource = SOURCE_OTHER;
    bool m_bRawTexture = false;
    std::vector<std::uint8_t> m_pRaw;
    int m_nCurMap = 0;
    int m_nMaps = 0;
    int m_nLargestMap = -1;
    bool m_bHasAlpha = false;
    int m_nDisplayMode = MODE_RGB;
    // The display-mode button that is down (a MODE_ value), -1 for none. It
    // follows the mode, except that the reset of the update pass leaves "RGB"
    // down (or none before a load) whatever the mode.
    int m_nViewButton = -1;
    bool m_bRed = true, m_bGreen = true, m_bBlue = true;
    SelectionTracker m_tracker;
    bool m_bSmoothView = false;
    bool m_bRedraw = true;
    bool m_bNoSelection = true;
    float m_fZoom = 1.0f;
    PictureOrigin m_origin;
    std::string m_strExternalFile;

    EntryCatalogue m_catalogue;
    // What the open volume's file was at opening or after our last write, and
    // how it was opened, so that it can be opened again.
    VolumeIdentity m_identity;
    std::string m_strVolumeName;
    VolumeAccess m_volumeAccess = VolumeAccess::ReadWrite;
    // The state of the file (none: gone) when the user last declined to open
    // it again: the offer is not repeated for the same state.
    bool m_bDeclined = false;
    std::optional<VolumeIdentity::FileState> m_declinedState;
    bool m_bOffering = false;
    // The entry whose texture is shown and the volume it came from, so that
    // "keep as loaded" writes that entry's bytes and not whatever is selected now.
    int m_nLoadedEntry = -1;
    unsigned m_nVolumeSerial = 0;
    unsigned m_nLoadedVolumeSerial = 0;

    UndoHistory m_history;
    std::string m_strTitle;       // as set, without the "*" of a modified picture
    std::string m_strTitleShown;  // as sent to the host
    std::string m_strStatus;      // status pane 2 for the shown picture
    bool m_bAskBeforeDiscard = true;
    bool m_bKeepBackup = true;
    // A rewrite is running: its own renames are not another program's change.
    bool m_bRewriting = false;
    bool m_bKeptChanges = false;
};
