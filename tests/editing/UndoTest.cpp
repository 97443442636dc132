// Undo and redo of every change to the picture, the history's limits, and the
// modified state with the question before changes are given up.
#include "EditFixture.h"

#include "common/MessageTable.h"
#include "document/AdjustmentDialogModel.h"
#include "document/CommandIds.h"
#include "document/ExportDialogModel.h"
#include "document/SizeDialogModel.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <sstream>

using edittest::pattern;
using korvix::MessageId;
using korvix::msg;
using testsupport::RawEntry;

namespace {

// Everything undo must bring back, bit for bit.
struct Snapshot {
    std::vector<std::vector<std::uint8_t>> maps;  // each map's rows, top-down
    std::vector<std::string> mapShapes;           // "w x h alpha"
    int count = 0, current = 0, largest = 0, source = 0;
    bool alpha = false, raw = false, noSelection = false;
    std::vector<std::uint8_t> rawBytes;
    std::string name, title, status;

    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const CKestrelDoc& doc, const FakeHost& host)
{
    Snapshot s;
    for (int i = 0; i < doc.mapCount(); ++i) {
        const PixelBitmap& m = (*doc.maps())[i];
        std::vector<std::uint8_t> bytes;
        for (int y = 0; y < m.height(); ++y)
            bytes.insert(bytes.end(), m.row(y), m.row(y) + 4 * static_cast<std::size_t>(m.width()));
        s.maps.push_back(std::move(bytes));
        s.mapShapes.push_back(std::to_string(m.width()) + " x " + std::to_string(m.height())
                              + (m.hasAlpha() ? " alpha" : ""));
    }
    s.count = doc.mapCount();
    s.current = doc.currentMap();
    s.largest = doc.largestMap();
    s.source = doc.source();
    s.alpha = doc.hasAlpha();
    s.raw = doc.rawTexture();
    s.noSelection = doc.noSelection();
    s.rawBytes = doc.rawBytes();
    s.name = doc.name();
    s.title = host.title;
    s.status = host.status.count(2) ? host.status.at(2) : "";
    return s;
}

std::string differences(const Snapshot& a, const Snapshot& b)
{
    std::ostringstream out;
    if (a.maps != b.maps)
        out << " pixels";
    if (a.mapShapes != b.mapShapes)
        out << " shapes";
    if (a.count != b.count || a.current != b.current || a.largest != b.largest)
        out << " maps " << a.count << "/" << a.current << "/" << a.largest << " vs " << b.count << "/" << b.current
            << "/" << b.largest;
    if (a.source != b.source || a.raw != b.raw || a.rawBytes != b.rawBytes)
        out << " source or bytes as loaded";
    if (a.alpha != b.alpha)
        out << " alpha";
    if (a.noSelection != b.noSelection)
        out << " selection rule";
    if (a.name != b.name || a.title != b.title || a.status != b.status)
        out << " name '" << a.title << "' vs '" << b.title << "'";
    return out.str();
}

// The bytes the picture view draws.
std::vector<std::uint8_t> shownBytes(const CKestrelDoc& doc)
{
    const PixelBitmap& b = *doc.shown();
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < b.height(); ++y)
        bytes.insert(bytes.end(), b.row(y), b.row(y) + 4 * static_cast<std::size_t>(b.width()));
    return bytes;
}

struct Undo : edittest::EditFixture {
    // What is shown agrees with the state: a picture without alpha in RGB,
    // the shown bitmap of the current map's size.
    void expectValidDisplay()
    {
        ASSERT_TRUE(doc.shown());
        const PixelBitmap& current = (*doc.maps())[doc.currentMap()];
        EXPECT_EQ(doc.shown()->width(), current.width());
        EXPECT_EQ(doc.shown()->height(), current.height());
        if (!doc.hasAlpha()) {
            EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_RGB);
        }
        EXPECT_TRUE(doc.ready());
    }
    std::string label(int id) const { return doc.commandLabel(id).value_or("?"); }

    // Chooses width x height in the resize dialog.
    void scriptResize(int width, int height)
    {
        host.sizeDialog = [=](SizeDialogModel& m) {
            m.open();
            const auto& ws = m.widths();
            const auto& hs = m.heights();
            m.chooseWidth(static_cast<int>(std::find(ws.begin(), ws.end(), width) - ws.begin()));
            m.chooseHeight(static_cast<int>(std::find(hs.begin(), hs.end(), height) - hs.begin()));
            return true;
        };
    }
    // OK in an adjustment dialog after moving the slider (brightness: of alpha when asked).
    void scriptAdjustment(int slider, bool alpha = false)
    {
        host.adjustmentDialog = [=](AdjustmentDialogModel& m) {
            if (alpha)
                m.chooseAlpha(true);
            m.sliderMoved(slider);
            m.accept();
            return true;
        };
    }
    void texture(int w, int h, int maps = 1) { loadTexture(w, h, maps); }
};

}  // namespace

TEST_F(Undo, EveryOperationComesBackBitForBit)
{
    // The pictures start as a texture file (with its bytes as loaded, which
    // most operations drop) unless a case pastes a picture without alpha.
    struct Case {
        MessageId step;
        std::function<void(Undo&)> setup;
        std::function<bool(Undo&)> run;
    };
    const auto tex = [](int w, int h, int maps = 1) { return [=](Undo& t) { t.texture(w, h, maps); }; };
    const auto texSelected = [](Undo& t) {
        t.texture(16, 12);
        t.select(2, 3, 5, 4);
    };
    const auto command = [](int id) { return [=](Undo& t) { return t.doc.editCommand(id); }; };
    const Case cases[] = {
        {MessageId::StepInvertColour, texSelected, [](Undo& t) {
             t.doc.setChannels(true, false, true);
             return t.doc.invertColour();
         }},
        {MessageId::StepInvertColour, [](Undo& t) {
             t.texture(16, 12);
             t.doc.displayModeCommand(CKestrelDoc::MODE_RGBA);
         }, command(ID_INVERT_COLOUR)},
        {MessageId::StepInvertAlpha, texSelected, command(ID_INVERT_ALPHA)},
        {MessageId::StepCreateAlpha, [](Undo& t) { t.loadPicture(16, 12, false); }, command(ID_CREATE_ALPHA)},
        {MessageId::StepRemoveAlpha, [](Undo& t) {
             t.texture(16, 12);
             t.doc.displayModeCommand(CKestrelDoc::MODE_RGBA);
         }, command(ID_REMOVE_ALPHA)},
        {MessageId::StepRemoveSmallMaps, tex(16, 16, 4), [](Undo& t) {
             t.host.answers = {MessageAnswer::Ok};
             return t.doc.removeSmallMaps();
         }},
        {MessageId::StepCrop, texSelected, command(ID_CROP)},
        {MessageId::StepResize, tex(16, 12), [](Undo& t) {
             t.scriptResize(32, 8);  // bicubic: the width grows
             return t.doc.resize();
         }},
        {MessageId::StepResize, tex(16, 12), [](Undo& t) {
             t.scriptResize(8, 4);  // area averaging
             return t.doc.resize();
         }},
        {MessageId::StepSharpen, tex(16, 12), command(ID_SHARPEN)},
        {MessageId::StepBlur, texSelected, command(ID_BLUR)},
        {MessageId::StepBlurStrong, tex(16, 12), command(ID_BLUR_STRONG)},
        {MessageId::StepAlphaBlur, texSelected, command(ID_ALPHA_BLUR)},
        {MessageId::StepAlphaBlurStrong, tex(16, 12), command(ID_ALPHA_BLUR_STRONG)},
        {MessageId::StepRotateClockwise, tex(16, 12), command(ID_ROTATE_CW)},
        {MessageId::StepRotateCounterClockwise, tex(16, 16), command(ID_ROTATE_CCW)},
        {MessageId::StepMirrorLeftRight, tex(16, 12), command(ID_MIRROR_H)},
        {MessageId::StepMirrorTopBottom, tex(16, 12), command(ID_MIRROR_V)},
        {MessageId::StepBrightness, texSelected, [](Undo& t) {
             t.scriptAdjustment(90);
             return t.doc.brightnessCommand();
         }},
        {MessageId::StepBrightness, tex(16, 12), [](Undo& t) {
             t.doc.displayModeCommand(CKestrelDoc::MODE_RGBA);
             t.scriptAdjustment(-70, true);
             return t.doc.brightnessCommand();
         }},
        {MessageId::StepContrast, tex(16, 12), [](Undo& t) {
             t.scriptAdjustment(60);
             return t.doc.contrastCommand();
         }},
        {MessageId::StepGamma, texSelected, [](Undo& t) {
             t.scriptAdjustment(2200);
             return t.doc.gammaCommand();
         }},
        {MessageId::StepPaste, tex(16, 16, 3), [](Undo& t) {
             PixelBitmap b;
             b.create(8, 6, 32, true);
             b.row(1)[5] = 77;
             t.host.clipboard = b;
             t.doc.paste();
             return t.doc.mapCount() == 1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(msg(c.step));
        c.setup(*this);
        host.messages.clear();
        const Snapshot before = snapshot(doc, host);
        const int mode = doc.displayMode();
        const std::vector<std::uint8_t> shown = shownBytes(doc);
        ASSERT_TRUE(c.run(*this));
        const Snapshot after = snapshot(doc, host);
        ASSERT_NE(before, after) << "the operation changed nothing";
        EXPECT_EQ(label(ID_EDIT_UNDO), std::string("Rückgängig: ") + msg(c.step));
        EXPECT_EQ(label(ID_EDIT_REDO), "Wiederholen");
        EXPECT_EQ(doc.commandEnabled(ID_EDIT_REDO), false);

        ASSERT_TRUE(doc.editCommand(ID_EDIT_UNDO));
        EXPECT_EQ(snapshot(doc, host), before) << "undo:" << differences(snapshot(doc, host), before);
        expectValidDisplay();
        if (doc.displayMode() == mode) {
            EXPECT_EQ(shownBytes(doc), shown) << "the view shows the picture as it was";
        }
        EXPECT_EQ(label(ID_EDIT_REDO), std::string("Wiederholen: ") + msg(c.step));

        ASSERT_TRUE(doc.editCommand(ID_EDIT_REDO));
        EXPECT_EQ(snapshot(doc, host), after) << "redo:" << differences(snapshot(doc, host), after);
        expectValidDisplay();

        ASSERT_TRUE(doc.undo());
        EXPECT_EQ(snapshot(doc, host), before) << "undo again:" << differences(snapshot(doc, host), before);
        EXPECT_TRUE(host.messages.size() <= 1u) << "only the operation's own note";
    }
}

TEST_F(Undo, StepsKeepOnlyWhatTheyNeed)
{
    // 256 x 256 pixels are 256 KiB. Operations that undo themselves keep no
    // pixels; a change inside a selection keeps about its rows; a change that
    // moves every byte by the same amount compresses to almost nothing.
    loadPicture(256, 256, true);
    const std::size_t picture = 256 * 256 * 4;
    const std::size_t steps0 = doc.history().undoCount(), bytes0 = doc.history().bytesHeld();
    for (const int id : {ID_INVERT_COLOUR, ID_ROTATE_CW, ID_MIRROR_H, ID_INVERT_ALPHA})
        doc.editCommand(id);
    EXPECT_EQ(doc.history().undoCount(), steps0 + 4);
    EXPECT_LT(doc.history().bytesHeld() - bytes0, 4096u);

    const std::size_t held = doc.history().bytesHeld();
    select(0, 100, 256, 8);
    scriptAdjustment(-40);
    ASSERT_TRUE(doc.brightnessCommand());
    EXPECT_LT(doc.history().bytesHeld() - held, picture / 8) << "the selection's rows only, before compression";

    loadPicture(256, 256, false, [](int x, int y) {
        const auto v = static_cast<std::uint32_t>(64 + (x * 3 + y) % 128);
        return 0xFF000000u | v << 16 | (255 - v) << 8 | v / 2;
    });
    scriptAdjustment(-40);
    ASSERT_TRUE(doc.brightnessCommand());
    doc.history().settle();
    EXPECT_LT(doc.history().nextUndo()->bytes(), picture / 50);
}

TEST_F(Undo, LimitsDropTheOldestSteps)
{
    // Blurring noise leaves differences that hardly compress: a few steps fill
    // a small budget. After six steps, undoing as far as the history goes ends
    // at the state after the last dropped step, exactly.
    struct Case {
        std::size_t steps;
        double budgetInSteps;  // 0: the default budget
        std::size_t kept;      // 0: fewer than six, decided by the budget
    };
    for (const Case c : {Case{3, 0, 3}, Case{100, 2.5, 0}, Case{1, 0, 1}}) {
        loadPicture(64, 64, true, [](int x, int y) { return static_cast<std::uint32_t>((x * 2654435761u) ^ (y * 40503u)); });
        doc.setUndoLimits(100, UndoHistory::DEFAULT_BUDGET);
        std::vector<Snapshot> states{snapshot(doc, host)};
        ASSERT_TRUE(doc.editCommand(ID_BLUR));
        states.push_back(snapshot(doc, host));
        doc.history().settle();
        const std::size_t oneStep = doc.history().nextUndo()->bytes();
        const std::size_t budget =
            c.budgetInSteps > 0 ? static_cast<std::size_t>(c.budgetInSteps * static_cast<double>(oneStep)) : UndoHistory::DEFAULT_BUDGET;
        doc.setUndoLimits(c.steps, budget);
        for (int i = 1; i < 6; ++i) {
            ASSERT_TRUE(doc.editCommand(i % 2 ? ID_SHARPEN : ID_BLUR));
            states.push_back(snapshot(doc, host));
            doc.history().settle();
        }
        const std::size_t kept = doc.history().undoCount();
        if (c.kept) {
            EXPECT_EQ(kept, c.kept);
        } else {
            EXPECT_GE(kept, 1u);
            EXPECT_LT(kept, 6u);
        }
        EXPECT_LE(doc.history().bytesHeld(), budget);
        for (std::size_t i = 0; i < kept; ++i)
            ASSERT_TRUE(doc.undo());
        EXPECT_FALSE(doc.undo());
        EXPECT_EQ(snapshot(doc, host), states[6 - kept]);
        EXPECT_TRUE(doc.isModified()) << "the loaded state is out of reach, not reached";
        // Redo goes all the way back up.
        for (std::size_t i = 0; i < kept; ++i)
            ASSERT_TRUE(doc.redo());
        EXPECT_EQ(snapshot(doc, host), states[6]);
    }
}

TEST_F(Undo, ANewStepEndsRedoAndLoadingEndsTheHistory)
{
    loadTexture(16, 16, 1);
    doc.editCommand(ID_INVERT_COLOUR);
    doc.editCommand(ID_MIRROR_H);
    ASSERT_TRUE(doc.undo());
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_REDO), true);
    doc.editCommand(ID_BLUR);
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_REDO), false);
    EXPECT_EQ(label(ID_EDIT_UNDO), "Rückgängig: Weichzeichnen");
    EXPECT_EQ(doc.history().undoCount(), 2u);

    // Nothing to undo while no command may run, nor after another picture came.
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_UNDO), true);
    loadTexture(8, 8, 1);
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_UNDO), false);
    EXPECT_EQ(label(ID_EDIT_UNDO), "Rückgängig");
    EXPECT_FALSE(doc.isModified());
    EXPECT_FALSE(doc.undo());

    // A document that keeps no history (the command line's) still knows it changed.
    doc.setUndoLimits(0, 0);
    doc.editCommand(ID_BLUR);
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(doc.commandEnabled(ID_EDIT_UNDO), false);
}

TEST_F(Undo, ModifiedStateAndTitle)
{
    loadTexture(16, 16, 1);
    const std::string title = (dir / "t.tex").string() + CKestrelDoc::TITLE_SUFFIX;
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(host.title, title);

    doc.editCommand(ID_INVERT_COLOUR);
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(host.title, "*" + title);
    doc.undo();
    EXPECT_FALSE(doc.isModified()) << "back where it was loaded";
    EXPECT_EQ(host.title, title);
    doc.redo();
    EXPECT_EQ(host.title, "*" + title);

    // An export saves the picture as it is; undoing leaves that state again.
    const std::string out = (dir / "out.tga").string();
    doc.exportTexture(ExportDialogModel(1, 1, doc.hasAlpha(), out).result(out));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(host.title, out + CKestrelDoc::TITLE_SUFFIX);
    doc.undo();
    EXPECT_TRUE(doc.isModified());
    EXPECT_EQ(host.title, "*" + out + CKestrelDoc::TITLE_SUFFIX);
    doc.redo();
    EXPECT_FALSE(doc.isModified());

    // A failed export and an export of the bytes as loaded save nothing of the changes.
    doc.editCommand(ID_INVERT_COLOUR);
    const std::string bad = (dir / "missing" / "out.tga").string();
    doc.exportTexture(ExportDialogModel(1, 1, doc.hasAlpha(), bad).result(bad));
    EXPECT_TRUE(doc.isModified());
    const std::string kept = (dir / "kept.tex").string();
    ExportDialogModel asLoaded(1, 1, doc.hasAlpha(), kept);
    asLoaded.mapOptionClicked(1);
    doc.exportTexture(asLoaded.result(kept));
    ASSERT_TRUE(std::filesystem::exists(kept));
    EXPECT_TRUE(doc.isModified());
}

TEST_F(Undo, ReplacingTheEntryByThePictureSavesIt)
{
    // A volume with one 16 x 16 RGBA texture; the same texture from disk, changed.
    const auto bytes = testsupport::textureBytes(16, 16, 1, 2, [](int, int x, int y) { return pattern(x, y); });
    testsupport::VolumeSpec spec;
    spec.entries.push_back({"wall.tex", testsupport::dataStart(1), static_cast<std::uint32_t>(bytes.size()), testsupport::LAST});
    spec.data = bytes;
    testsupport::writeFile(dir / "v.qrb", testsupport::volumeBytes(spec));
    ASSERT_TRUE(doc.openFile((dir / "v.qrb").string(), false));
    ASSERT_TRUE(doc.loadMaps("", true, false, 0));
    doc.editCommand(ID_INVERT_COLOUR);
    ASSERT_TRUE(doc.isModified());
    host.answers = {MessageAnswer::Ok};
    ASSERT_TRUE(doc.replaceEntryFromImage(0));
    EXPECT_FALSE(doc.isModified());
    EXPECT_EQ(host.title, (dir / "v.qrb").string() + CKestrelDoc::TITLE_SUFFIX);
}

TEST_F(Undo, TheQuestionBeforeChangesAreGivenUp)
{
    // A volume with two textures, a texture and an image on disk, a bitmap on
    // the clipboard: every way to another picture asks once while the picture is
    // modified; "Nein" keeps everything, "Ja" goes on.
    const auto tex = [](std::uint32_t colour) {
        return testsupport::textureBytes(8, 8, 1, 2, [=](int, int, int) { return colour; });
    };
    testsupport::VolumeSpec spec;
    const auto a = tex(0xFF102030u), b = tex(0xFF405060u);
    spec.entries.push_back({"a.tex", testsupport::dataStart(2), static_cast<std::uint32_t>(a.size())});
    spec.entries.push_back({"b.tex", testsupport::dataStart(2) + static_cast<std::uint32_t>(a.size()),
                            static_cast<std::uint32_t>(b.size()), testsupport::LAST});
    spec.data = a;
    spec.data.insert(spec.data.end(), b.begin(), b.end());
    const std::string volume = (dir / "v.qrb").string();
    testsupport::writeFile(volume, testsupport::volumeBytes(spec));
    const std::string other = (dir / "other.tex").string();
    testsupport::writeFile(other, tex(0xFF708090u));
    PixelBitmap clip;
    clip.create(4, 4, 32, false);
    host.clipboard = clip;

    doc.setAskBeforeDiscard(true);
    struct Path {
        const char* what;
        std::function<void()> run;
        bool picture;  // "Ja" brings another picture (opening a volume keeps it)
    };
    const Path paths[] = {
        {"entry", [&] { doc.loadMaps("", true, false, 1); }, true},
        {"file", [&] { doc.openFile(other, false); }, true},
        {"open dialog", [&] {
             host.openFiles = {other};
             doc.openFile("", true);
         }, true},
        {"recent file", [&] { doc.openRecentFile(0); }, true},
        {"paste", [&] { doc.paste(); }, true},
        {"volume", [&] { doc.openFile(volume, false); }, false},
    };
    for (const Path& p : paths) {
        SCOPED_TRACE(p.what);
        doc.setAskBeforeDiscard(false);
        ASSERT_TRUE(doc.openFile(volume, false));
        ASSERT_TRUE(doc.loadMaps("", true, false, 0));
        doc.setAskBeforeDiscard(true);
        host.recent = {other, volume};
        doc.editCommand(ID_INVERT_COLOUR);
        host.messages.clear();
        const Snapshot before = snapshot(doc, host);
        const auto recent = host.recent;

        host.answers = {MessageAnswer::No};
        p.run();
        EXPECT_EQ(host.messageTexts(), std::vector<std::string>{msg(MessageId::DiscardQuestion)});
        EXPECT_EQ(host.messages.front().buttons, MessageButtons::YesNo);
        EXPECT_TRUE(doc.keptChanges());
        EXPECT_EQ(snapshot(doc, host), before) << differences(snapshot(doc, host), before);
        EXPECT_EQ(host.recent, recent);
        EXPECT_TRUE(doc.isModified());
        EXPECT_TRUE(doc.history().canUndo());

        host.messages.clear();
        host.answers = {MessageAnswer::Yes};
        p.run();
        EXPECT_EQ(host.messageTexts().size(), 1u) << "asked once";
        EXPECT_FALSE(doc.keptChanges());
        if (p.picture) {
            EXPECT_NE(snapshot(doc, host).maps, before.maps);
        } else {
            EXPECT_EQ(snapshot(doc, host).maps, before.maps);
        }
    }

    // Unchanged, or with the question switched off: nothing is asked.
    doc.setAskBeforeDiscard(false);
    doc.loadMaps("", true, false, 0);
    doc.setAskBeforeDiscard(true);
    host.messages.clear();
    doc.loadMaps("", true, false, 1);
    doc.editCommand(ID_INVERT_COLOUR);
    doc.setAskBeforeDiscard(false);
    doc.loadMaps("", true, false, 0);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(doc.isModified());

    // A load that fails takes nothing away: no question either.
    doc.setAskBeforeDiscard(true);
    doc.editCommand(ID_INVERT_COLOUR);
    EXPECT_FALSE(doc.openFile((dir / "absent.tex").string(), false));
    const auto texts = host.messageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0].starts_with(msg(MessageId::TextureLoadFailed))) << texts[0];
}

TEST(PixelDelta, RestoresAndReappliesExactlyBeforeAndAfterCompression)
{
    // 300 x 200: rows 40 ... 59 and 190 change, each byte by a different
    // amount, wrapping at 0 and 255.
    PixelBitmap before;
    before.create(300, 200, 32, true);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 1200; ++x)
            before.row(y)[x] = static_cast<std::uint8_t>(x * 7 + y * 13);
    PixelBitmap after(before);
    for (int y : {40, 45, 59, 190})
        for (int x = 0; x < 1200; x += 3)
            after.row(y)[x] = static_cast<std::uint8_t>(after.row(y)[x] + x + 1);
    const auto same = [](const PixelBitmap& a, const PixelBitmap& b) {
        for (int y = 0; y < a.height(); ++y)
            if (std::memcmp(a.row(y), b.row(y), 1200) != 0)
                return false;
        return true;
    };

    const PixelDelta delta = PixelDelta::between(before, after);
    ASSERT_FALSE(delta.empty());
    EXPECT_LE(delta.bytes(), 151u * 1200 + 4096) << "rows 40 ... 190 at most";
    PixelBitmap picture(after);
    delta.restore(picture);  // very likely still the plain difference
    EXPECT_TRUE(same(picture, before));
    delta.settle();
    EXPECT_LT(delta.bytes(), 20u * 1200) << "compressed: the unchanged rows in between shrink to nearly nothing";
    delta.reapply(picture);
    EXPECT_TRUE(same(picture, after));
    delta.restore(picture);
    EXPECT_TRUE(same(picture, before));

    // The same rows saved before a change where they lie.
    PixelMemory saved(20 * 1200);
    for (int y = 0; y < 20; ++y)
        std::memcpy(saved.data() + y * 1200, before.row(40 + y), 1200);
    const PixelDelta rows = PixelDelta::between(std::move(saved), 40, 20, after);
    picture = after;
    rows.restore(picture);
    for (int y = 40; y < 60; ++y)
        EXPECT_EQ(std::memcmp(picture.row(y), before.row(y), 1200), 0) << y;
    EXPECT_EQ(std::memcmp(picture.row(190), after.row(190), 1200), 0) << "outside the rows given";

    EXPECT_TRUE(PixelDelta::between(before, before).empty());
    EXPECT_EQ(PixelDelta::between(before, before).bytes(), 0u);
}
