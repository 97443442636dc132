// Brightness, contrast and gamma: the tables, the previews from the untouched
// map, commit and discard, and the dialog models' rules.
#include "EditFixture.h"

#include "document/AdjustmentDialogModel.h"
#include "document/CommandIds.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

using edittest::byteOf;
using edittest::pattern;
using Kind = AdjustmentDialogModel::Kind;
using Values = AdjustmentDialogModel::Values;

namespace {

struct Adjustments : edittest::EditFixture {};

std::uint32_t grey10(int, int)
{
    return 0x800A0A0Au;  // alpha 128, every colour 10
}

}  // namespace

TEST(AdjustmentTables, ContrastAtItsNamedPoints)
{
    const auto identity = CKestrelDoc::contrastTable(0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(identity[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(CKestrelDoc::contrastTable(-1)[255], 240);
    EXPECT_EQ(CKestrelDoc::contrastTable(-1)[0], 1);
    for (const int i : {0, 1, 127, 128, 255})
        EXPECT_EQ(CKestrelDoc::contrastTable(-127)[static_cast<std::size_t>(i)], 127) << i;
    const auto hard = CKestrelDoc::contrastTable(127);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(hard[static_cast<std::size_t>(i)], i < 128 ? 0 : 255) << i;
    // v = 50: 0 below 50, 255 from 205, (i - 50) * (4096 / 155) / 16 between.
    const auto mid = CKestrelDoc::contrastTable(50);
    EXPECT_EQ(mid[49], 0);
    EXPECT_EQ(mid[50], 0);
    EXPECT_EQ(mid[100], (50 * 26) / 16);
    EXPECT_EQ(mid[204], (154 * 26) / 16);
    EXPECT_EQ(mid[205], 255);
}

TEST(AdjustmentTables, GammaAtItsNamedPoints)
{
    const auto identity = CKestrelDoc::gammaTable(1.0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(identity[static_cast<std::size_t>(i)], i);
    const auto two = CKestrelDoc::gammaTable(2.0);
    EXPECT_EQ(two[0], 0);
    EXPECT_EQ(two[64], 128);  // 255 * sqrt(64 / 255) = 127.75
    EXPECT_EQ(two[255], 255);
    const auto dark = CKestrelDoc::gammaTable(0.01);
    EXPECT_EQ(dark[128], 0);
    EXPECT_EQ(dark[254], 172);  // 255 * (254 / 255)^100 = 172.2
    EXPECT_EQ(dark[255], 255);
    const auto bright = CKestrelDoc::gammaTable(4.0);
    EXPECT_EQ(bright[1], 64);  // 255 * (1 / 255)^0.25 = 63.75
}

TEST(AdjustmentModel, OnePreviewPerTickAndNoneWhileBusy)
{
    std::vector<Values> previews;
    AdjustmentDialogModel m(Kind::Contrast, [&](const Values& v) { previews.push_back(v); });
    for (const int v : {5, 9, 30, 31, 40})
        m.sliderMoved(v);
    m.tick();
    EXPECT_TRUE(previews.empty());  // preview off: the tick drops the pending preview
    EXPECT_FALSE(m.pending());

    m.setPreview(true);  // contrast computes at once
    ASSERT_EQ(previews.size(), 1u);
    for (const int v : {41, 42, 43, 50})
        m.sliderMoved(v);
    m.tick();
    m.tick();
    ASSERT_EQ(previews.size(), 2u);
    EXPECT_EQ(previews.back().colour, 50);

    // A tick that arrives while a preview is being computed sends nothing.
    AdjustmentDialogModel* model = &m;
    int nested = 0;
    AdjustmentDialogModel busy(Kind::Brightness, [&](const Values&) {
        ++nested;
        model->sliderMoved(7);
        EXPECT_TRUE(model->busy());
        model->tick();
    });
    model = &busy;
    busy.setPreview(true);
    busy.sliderMoved(3);
    busy.tick();
    EXPECT_EQ(nested, 1);
    EXPECT_TRUE(busy.pending());  // the move during the preview waits for the next tick
    busy.tick();
    EXPECT_EQ(nested, 2);
}

TEST(AdjustmentModel, WithoutATimerEveryMovePreviews)
{
    int previews = 0;
    AdjustmentDialogModel m(Kind::Gamma, [&](const Values&) { ++previews; });
    m.noTimer();
    for (const int v : {900, 800, 700})
        m.sliderMoved(v);
    EXPECT_EQ(previews, 3);
    EXPECT_EQ(m.editText(), "0.7");
    EXPECT_DOUBLE_EQ(m.gammaValue(), 0.7);
}

TEST(AdjustmentModel, EditValidationAndClamping)
{
    struct Step {
        const char* typed;  // nullptr: the edit box loses focus
        const char* shown;
        int slider;
    };
    struct Case {
        Kind kind;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {Kind::Brightness, {{"12", "12", 0}, {"12a", "12", 0}, {"-", "-", 0}, {"-40", "-40", 0}, {nullptr, "-40", -40}}},
        {Kind::Brightness, {{"999", "999", 0}, {nullptr, "255", 255}, {"", "", 255}, {nullptr, "0", 0}}},
        {Kind::Contrast, {{"-500", "-500", 0}, {"x", "-500", 0}, {nullptr, "-127", -127}}},
        {Kind::Gamma, {{"5", "5", 1000}, {nullptr, "4.0", 4000}}},
        {Kind::Gamma, {{"0", "0", 1000}, {nullptr, "1.0", 1000}, {"-2", "-2", 1000}, {nullptr, "1.0", 1000}}},
        {Kind::Gamma, {{"0.25", "0.25", 1000}, {nullptr, "0.25", 250}, {"abc", "abc", 250}, {nullptr, "1.0", 1000}}},
    };
    for (const Case& c : cases) {
        int previews = 0;
        AdjustmentDialogModel m(c.kind, [&](const Values&) { ++previews; });
        for (const Step& s : c.steps) {
            if (s.typed)
                m.editChanged(s.typed);
            else
                m.editFinished();
            EXPECT_EQ(m.editText(), s.shown) << (s.typed ? s.typed : "(focus lost)");
            EXPECT_EQ(m.sliderPosition(), s.slider) << (s.typed ? s.typed : "(focus lost)");
        }
        EXPECT_EQ(previews, 0);  // preview off
    }
    // With preview on, leaving the edit box previews at once.
    std::vector<Values> previews;
    AdjustmentDialogModel gamma(Kind::Gamma, [&](const Values& v) { previews.push_back(v); });
    gamma.setPreview(true);
    gamma.editChanged("2.5");
    gamma.editFinished();
    ASSERT_EQ(previews.size(), 2u);
    EXPECT_DOUBLE_EQ(previews.back().gamma, 2.5);
    EXPECT_EQ(gamma.sliderPosition(), 2500);
    // Preview off shows the neutral value once; the value stays.
    gamma.setPreview(false);
    ASSERT_EQ(previews.size(), 3u);
    EXPECT_DOUBLE_EQ(previews.back().gamma, 1.0);
    EXPECT_DOUBLE_EQ(gamma.gammaValue(), 2.5);
}

TEST(AdjustmentModel, BrightnessRadioRules)
{
    struct Case {
        bool hasAlpha, anyColour, alphaView;
        bool alphaChosen, alphaEnabled, colourEnabled;
    };
    const Case cases[] = {
        {false, true, false, false, false, true},
        {false, true, true, false, false, true},
        {true, true, false, false, true, true},
        {true, true, true, true, true, true},
        {true, false, false, true, true, false},
    };
    for (const Case& c : cases) {
        const AdjustmentDialogModel m(Kind::Brightness, {}, {}, c.hasAlpha, c.anyColour, c.alphaView);
        EXPECT_EQ(m.alphaChosen(), c.alphaChosen);
        EXPECT_EQ(m.alphaEnabled(), c.alphaEnabled);
        EXPECT_EQ(m.colourEnabled(), c.colourEnabled);
    }

    // Each target keeps its own value; the slider shows the chosen one.
    std::vector<int> modes;
    AdjustmentDialogModel m(Kind::Brightness, [](const Values&) {}, [&](int mode) { modes.push_back(mode); }, true, true,
                            true);
    m.sliderMoved(-30);  // alpha
    m.chooseAlpha(false);
    EXPECT_EQ(m.sliderPosition(), 0);
    m.sliderMoved(70);
    m.chooseAlpha(true);
    EXPECT_EQ(m.sliderPosition(), -30);
    EXPECT_EQ(m.editText(), "-30");
    EXPECT_EQ(m.colourValue(), 70);
    EXPECT_TRUE(modes.empty());  // preview off: the display stays
    m.setPreview(true);
    m.chooseAlpha(false);
    m.chooseAlpha(false);  // already chosen: nothing
    EXPECT_EQ(modes, (std::vector<int>{2, 0}));
    EXPECT_TRUE(m.pending());

    // A disabled target cannot be chosen.
    AdjustmentDialogModel noAlpha(Kind::Brightness, {}, {}, false, true, false);
    noAlpha.chooseAlpha(true);
    EXPECT_FALSE(noAlpha.alphaChosen());
}

TEST_F(Adjustments, BrightnessSaturatesAndObeysTheMask)
{
    struct Case {
        int delta;
        bool r, g, b;
        int expectedR, expectedG, expectedB;
    };
    const Case cases[] = {
        {255, true, true, true, 255, 255, 255},
        {-255, true, true, true, 0, 0, 0},
        {20, true, true, false, 30, 30, 10},
        {20, false, true, false, 10, 30, 10},
        {-5, true, false, true, 5, 10, 5},
    };
    for (const Case& c : cases) {
        loadPicture(8, 8, true, grey10);
        doc.setChannels(c.r, c.g, c.b);
        host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
            EXPECT_EQ(m.title(), std::string("Helligkeit"));
            m.sliderMoved(c.delta);
            m.accept();  // preview off: computed once now
            return true;
        };
        ASSERT_TRUE(doc.brightnessCommand());
        const std::uint32_t p = px(3, 5);
        EXPECT_EQ(byteOf(p, 2), c.expectedR) << c.delta;
        EXPECT_EQ(byteOf(p, 1), c.expectedG) << c.delta;
        EXPECT_EQ(byteOf(p, 0), c.expectedB) << c.delta;
        EXPECT_EQ(byteOf(p, 3), 128) << c.delta;
        EXPECT_TRUE(doc.ready());
        doc.allChannelsCommand();
    }
}

TEST_F(Adjustments, BrightnessPreviewsFromTheUntouchedMapAndCancelDiscards)
{
    loadPicture(8, 8, true, grey10);
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        m.setPreview(true);
        for (int i = 0; i < 3; ++i) {
            m.sliderMoved(40);
            m.tick();
            // The preview is shown, the map untouched, and repeated previews do not add up.
            EXPECT_EQ(byteOf(doc.shown()->pixelAt(1, 1), 2), 50);
            EXPECT_EQ(byteOf(px(1, 1), 2), 10);
        }
        return false;
    };
    EXPECT_FALSE(doc.brightnessCommand());
    EXPECT_EQ(px(1, 1), grey10(1, 1));
    EXPECT_EQ(doc.shown(), &map());
    EXPECT_TRUE(doc.ready());

    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        m.setPreview(true);
        m.sliderMoved(40);
        m.tick();
        return true;  // OK with preview on: the result as last shown
    };
    EXPECT_TRUE(doc.brightnessCommand());
    EXPECT_EQ(byteOf(px(1, 1), 2), 50);
    EXPECT_EQ(doc.shown(), &map());

    // OK without preview and with neutral values leaves the map as it was.
    const std::uint32_t before = px(2, 2);
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        m.accept();
        return true;
    };
    EXPECT_TRUE(doc.brightnessCommand());
    EXPECT_EQ(px(2, 2), before);
}

TEST_F(Adjustments, BrightnessInTheAlphaViewSwitchesAndRestoresTheDisplay)
{
    loadPicture(8, 8, true, grey10);
    doc.displayModeCommand(CKestrelDoc::MODE_ALPHA);
    select(2, 2, 3, 3);
    std::vector<int> modesSeen;
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        EXPECT_TRUE(m.alphaChosen());
        m.setPreview(true);
        m.sliderMoved(100);  // alpha + 100 inside the selection
        m.tick();
        modesSeen.push_back(doc.displayMode());
        EXPECT_EQ(doc.shown()->row(3)[3 * 4], 228);  // the alpha view of the preview
        EXPECT_EQ(doc.shown()->row(0)[0], 128);
        m.chooseAlpha(false);  // "Farbe": the view shows colours
        modesSeen.push_back(doc.displayMode());
        EXPECT_TRUE(doc.commandChecked(ID_VIEW_RGB).value_or(false));
        EXPECT_FALSE(doc.commandChecked(ID_VIEW_ALPHA).value_or(false));
        m.sliderMoved(-10);
        m.tick();
        return true;
    };
    ASSERT_TRUE(doc.brightnessCommand());
    EXPECT_EQ(modesSeen, (std::vector<int>{CKestrelDoc::MODE_ALPHA, CKestrelDoc::MODE_RGB}));
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_ALPHA);
    EXPECT_TRUE(doc.commandChecked(ID_VIEW_ALPHA).value_or(false));
    EXPECT_FALSE(doc.commandChecked(ID_VIEW_RGB).value_or(false));
    // Adjusting the colour after the alpha keeps the alpha result; only the selection changed.
    EXPECT_EQ(px(3, 3), 0xE4000000u);
    EXPECT_EQ(px(0, 0), grey10(0, 0));
    EXPECT_EQ(doc.shown()->row(3)[3 * 4], 228);  // the alpha view of the committed map
}

// The previews are computed and shown band by band, with vector kernels for
// whole groups of pixels and plain code for the rest of a row: on a map whose
// width and selection leave odd remainders, in the RGB and the RGBA view,
// every byte of the result and of the RGBA view is the plain formula's.
TEST_F(Adjustments, PreviewsMatchTheFormulaInEveryView)
{
    constexpr int W = 37, H = 21;
    struct Case {
        int command;
        int value;
        bool r, g, b;
    };
    const Case cases[] = {
        {ID_BRIGHTNESS, 200, true, true, true},  {ID_BRIGHTNESS, -77, true, false, true},
        {ID_BRIGHTNESS, 255, false, true, false}, {ID_CONTRAST, 90, true, true, true},
        {ID_CONTRAST, -60, false, true, true},   {ID_GAMMA, 2500, true, false, false},
    };
    for (const int mode : {CKestrelDoc::MODE_RGB, CKestrelDoc::MODE_RGBA}) {
        for (const Case& c : cases) {
            loadPicture(W, H, true);
            doc.displayModeCommand(mode);
            doc.setChannels(c.r, c.g, c.b);
            select(5, 3, 27, 17);  // columns 5 ... 31, rows 3 ... 19
            const auto table = c.command == ID_CONTRAST ? CKestrelDoc::contrastTable(c.value)
                               : c.command == ID_GAMMA  ? CKestrelDoc::gammaTable(c.value / 1000.0)
                                                        : std::array<std::uint8_t, 256>{};
            const auto expected = [&](int x, int y, int ch) -> int {
                const int v = byteOf(pattern(x, y), ch);
                const bool active = ch == 0 ? c.b : ch == 1 ? c.g : ch == 2 ? c.r : false;
                if (x < 5 || x > 31 || y < 3 || y > 19 || !active)
                    return v;
                return c.command == ID_BRIGHTNESS ? std::clamp(v + c.value, 0, 255) : table[static_cast<std::size_t>(v)];
            };
            const std::string what = "command " + std::to_string(c.command) + " value " + std::to_string(c.value) + " mode "
                                     + std::to_string(mode);
            host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
                if (m.kind() == Kind::Brightness)
                    m.chooseAlpha(false);
                m.setPreview(true);
                m.sliderMoved(c.value);
                m.tick();
                const PixelBitmap& shown = *doc.shown();
                int wrong = 0;
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        for (int ch = 0; ch < 3; ++ch) {
                            int want = expected(x, y, ch);
                            if (mode == CKestrelDoc::MODE_RGBA) {
                                const unsigned a = byteOf(pattern(x, y), 3);
                                want = static_cast<int>(((255 - a) * doc.background()[y * CKestrelDoc::BACKGROUND_SIDE + x] + want * a) >> 8);
                            }
                            if (shown.row(y)[4 * x + ch] != want && ++wrong <= 3)
                                ADD_FAILURE() << what << ": pixel " << x << "," << y << " byte " << ch;
                        }
                return true;
            };
            ASSERT_TRUE(doc.editCommand(c.command)) << what;
            // The committed map: the formula, alpha as it was.
            int wrong = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    for (int ch = 0; ch < 4; ++ch)
                        if (byteOf(px(x, y), ch) != expected(x, y, ch) && ++wrong <= 3)
                            ADD_FAILURE() << what << ", committed: pixel " << x << "," << y << " byte " << ch;
            doc.allChannelsCommand();
        }
    }
}

TEST_F(Adjustments, BrightnessRefusals)
{
    loadPicture(8, 8, false);
    doc.setChannels(false, false, false);
    bool opened = false;
    host.adjustmentDialog = [&](AdjustmentDialogModel&) { return opened = true; };
    EXPECT_FALSE(doc.brightnessCommand());
    EXPECT_FALSE(opened);
    EXPECT_EQ(host.messageTexts(), std::vector<std::string>{"Kein Farbkanal aktiv und kein Alphakanal vorhanden."});

    // With alpha the dialog opens with only "Alpha".
    host.messages.clear();
    doc.createAlpha();
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        EXPECT_TRUE(m.alphaChosen());
        EXPECT_FALSE(m.colourEnabled());
        return opened = true;
    };
    EXPECT_TRUE(doc.brightnessCommand());
    EXPECT_TRUE(opened);
    EXPECT_TRUE(host.messages.empty());

    for (const int id : {ID_CONTRAST, ID_GAMMA}) {
        host.messages.clear();
        opened = false;
        EXPECT_FALSE(doc.editCommand(id));
        EXPECT_FALSE(opened);
        EXPECT_EQ(host.messageTexts(), std::vector<std::string>{"Kein Farbkanal aktiv."});
    }
}

TEST_F(Adjustments, ContrastAndGammaWithinTheSelection)
{
    struct Case {
        int id;
        int slider;
        std::array<std::uint8_t, 256> table;
    };
    const Case cases[] = {
        {ID_CONTRAST, -127, CKestrelDoc::contrastTable(-127)},
        {ID_CONTRAST, 60, CKestrelDoc::contrastTable(60)},
        {ID_GAMMA, 2000, CKestrelDoc::gammaTable(2.0)},
    };
    for (const Case& c : cases) {
        loadPicture(12, 10, false);
        select(2, 3, 4, 5);
        doc.setChannels(true, false, true);
        host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
            m.sliderMoved(c.slider);
            m.accept();
            return true;
        };
        ASSERT_TRUE(doc.editCommand(c.id));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool in = x >= 2 && x < 6 && y >= 3 && y < 8;
                const std::uint32_t p = pattern(x, y), q = px(x, y);
                EXPECT_EQ(byteOf(q, 2), in ? c.table[byteOf(p, 2)] : byteOf(p, 2)) << x << "," << y;
                EXPECT_EQ(byteOf(q, 1), byteOf(p, 1));
                EXPECT_EQ(byteOf(q, 0), in ? c.table[byteOf(p, 0)] : byteOf(p, 0));
                EXPECT_EQ(byteOf(q, 3), byteOf(p, 3));  // alpha always the map's
            }
        EXPECT_TRUE(map().hasAlpha());
        EXPECT_TRUE(doc.tracker().present());
        doc.allChannelsCommand();
    }
}

TEST_F(Adjustments, GammaOneAndCancelLeaveTheMap)
{
    loadPicture(8, 8, true);
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        EXPECT_EQ(m.editText(), "1.0");
        EXPECT_EQ(m.sliderPosition(), 1000);
        m.setPreview(true);  // gamma previews at once
        EXPECT_EQ(doc.shown()->pixelAt(4, 4), pattern(4, 4));
        return true;
    };
    ASSERT_TRUE(doc.gammaCommand());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(px(x, y), pattern(x, y));

    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        m.setPreview(true);
        m.sliderMoved(-100);
        m.tick();
        EXPECT_NE(doc.shown()->pixelAt(4, 4), pattern(4, 4));
        return false;
    };
    EXPECT_FALSE(doc.contrastCommand());
    EXPECT_EQ(px(4, 4), pattern(4, 4));
    EXPECT_EQ(doc.shown(), &map());
}

TEST_F(Adjustments, ContrastShowsColoursWhileOpenedFromTheAlphaView)
{
    loadPicture(8, 8, true);
    doc.displayModeCommand(CKestrelDoc::MODE_ALPHA);
    int modeWhileOpen = -1;
    host.adjustmentDialog = [&](AdjustmentDialogModel& m) {
        modeWhileOpen = doc.displayMode();
        m.setPreview(true);
        m.sliderMoved(30);
        m.tick();
        return true;
    };
    ASSERT_TRUE(doc.contrastCommand());
    EXPECT_EQ(modeWhileOpen, CKestrelDoc::MODE_RGB);
    EXPECT_EQ(doc.displayMode(), CKestrelDoc::MODE_ALPHA);
    EXPECT_TRUE(doc.commandChecked(ID_VIEW_ALPHA).value_or(false));
    EXPECT_EQ(doc.shown(), &doc.viewBuffer(1));
    EXPECT_EQ(doc.shown()->row(1)[4 * 2], byteOf(pattern(2, 1), 3));
    EXPECT_EQ(byteOf(px(2, 1), 2), CKestrelDoc::contrastTable(30)[byteOf(pattern(2, 1), 2)]);
}
