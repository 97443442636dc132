// edit INPUT OUTPUT [OPERATION...]: loads a texture, a volume entry or an image
// as the document loads it, runs the operations in the order given, each
// through the document's own command and its enabling rule, and writes the
// result as convert writes it. A refused operation writes nothing.
#include "Cli.h"
#include "CliHost.h"
#include "Language.h"
#include "ConvertOutput.h"
#include "CliVolume.h"

#include "codecs/imagefile/ImageFile.h"
#include "document/AdjustmentDialogModel.h"
#include "document/CKestrelDoc.h"
#include "document/CommandIds.h"
#include "document/SizeDialogModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;

namespace cli {

using korvix::MessageId;

namespace {

// The selection is made with the mouse at the largest zoom, where one map
// pixel is 32 client pixels, so that any rectangle of whole pixels can be drawn.
constexpr int SELECT_ZOOM = 32;

struct Operation {
    std::string option;
    std::string value;
    int command = 0;  // the document's command id, 0 for --channels and --select
    // Parsed values.
    int a = 0, b = 0, c = 0, d = 0;
    double g = 1.0;
    bool none = false;
};

// The host of an edit: a picture view that is always visible (so the enabling
// rules of the picture commands hold), dialogs answered from the operation,
// and messages kept until the operation's outcome is known.
class EditHost : public CliHost {
public:
    using CliHost::CliHost;

    std::vector<std::string> messages;
    const Operation* current = nullptr;

    MessageAnswer messageBox(const std::string& text, const std::string&, MessageIcon, MessageButtons buttons) override
    {
        // The one question, "Alle kleinen Maps ... entfernen?", is what the
        // user asked for by naming the operation.
        if (buttons != MessageButtons::Ok)
            return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        messages.push_back(text);
        return MessageAnswer::Ok;
    }
    bool hasPictureView() override { return true; }
    bool pictureViewVisible() override { return true; }
    // A client area of one pixel puts the picture's origin at 0, 0.
    PictureGeometry pictureViewGeometry() override { return {.clientWidth = 1, .clientHeight = 1}; }

    bool runSizeDialog(SizeDialogModel& model) override
    {
        if (!current)
            return false;
        model.open();
        const auto index = [](const std::vector<int>& list, int v) {
            return static_cast<int>(std::find(list.begin(), list.end(), v) - list.begin());
        };
        model.chooseWidth(index(model.widths(), current->a));
        model.chooseHeight(index(model.heights(), current->b));
        return model.chosenWidth() == current->a && model.chosenHeight() == current->b;
    }

    bool runAdjustmentDialog(AdjustmentDialogModel& model) override
    {
        if (!current)
            return false;
        switch (model.kind()) {
        case AdjustmentDialogModel::Kind::Brightness: {
            const bool alpha = current->command == ID_BRIGHTNESS && current->option == "--alpha-brightness";
            if (alpha ? !model.alphaEnabled() : !model.colourEnabled()) {
                messages.push_back(tr(alpha ? MessageId::CliNoAlphaChannel : MessageId::CliNoColourChannel));
                return false;
            }
            model.chooseAlpha(alpha);
            model.sliderMoved(current->a);
            break;
        }
        case AdjustmentDialogModel::Kind::Contrast:
            model.sliderMoved(current->a);
            break;
        case AdjustmentDialogModel::Kind::Gamma:
            model.editChanged(current->value);
            model.editFinished();
            break;
        }
        model.accept();
        return true;
    }
};

std::optional<int> parseInt(const std::string& text)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

// The operations with their command ids; the others are output options.
const std::vector<std::pair<std::string, int>>& operationTable()
{
    static const std::vector<std::pair<std::string, int>> table = {
        {"--remove-small-maps", ID_REMOVE_SMALL_MAPS},
        {"--channels", 0},
        {"--select", 0},
        {"--invert", ID_INVERT_COLOUR},
        {"--invert-alpha", ID_INVERT_ALPHA},
        {"--create-alpha", ID_CREATE_ALPHA},
        {"--remove-alpha", ID_REMOVE_ALPHA},
        {"--crop", ID_CROP},
        {"--resize", ID_RESIZE},
        {"--sharpen", ID_SHARPEN},
        {"--blur", ID_BLUR},
        {"--blur-strong", ID_BLUR_STRONG},
        {"--alpha-blur", ID_ALPHA_BLUR},
        {"--alpha-blur-strong", ID_ALPHA_BLUR_STRONG},
        {"--rotate", ID_ROTATE_CW},
        {"--mirror", ID_MIRROR_H},
        {"--brightness", ID_BRIGHTNESS},
        {"--alpha-brightness", ID_BRIGHTNESS},
        {"--contrast", ID_CONTRAST},
        {"--gamma", ID_GAMMA},
    };
    return table;
}

// Checks and parses every operation before anything is loaded: a usage error
// costs no work and writes nothing.
std::vector<Operation> parseOperations(const Args& args)
{
    std::vector<Operation> ops;
    for (const auto& item : args.sequence) {
        // Named copies, not a structured binding: the lambdas below capture them.
        const std::string& option = item.first;
        const std::string& value = item.second;
        const auto& table = operationTable();
        const auto it = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.first == option; });
        if (it == table.end())
            continue;  // an output option
        Operation op{option, value, it->second};
        const auto bad = [&](const std::string& what) { return UsageError(option + " " + what); };
        const auto badId = [&](MessageId id) { return bad(tr(id)); };
        if (option == "--channels") {
            if (value.empty() || value.size() > 3 || value.find_first_not_of("rgb") != std::string::npos
                || std::count(value.begin(), value.end(), 'r') > 1 || std::count(value.begin(), value.end(), 'g') > 1
                || std::count(value.begin(), value.end(), 'b') > 1)
                throw badId(MessageId::CliChannelsTakes);
        } else if (option == "--select") {
            if (value == "none") {
                op.none = true;
            } else {
                int* fields[] = {&op.a, &op.b, &op.c, &op.d};
                std::size_t start = 0;
                for (int i = 0; i < 4; ++i) {
                    const std::size_t end = i < 3 ? value.find(',', start) : value.size();
                    const auto v = end == std::string::npos ? std::nullopt : parseInt(value.substr(start, end - start));
                    if (!v || *v < 0 || (i >= 2 && *v < 1))
                        throw badId(MessageId::CliSelectTakes);
                    *fields[i] = *v;
                    start = end + 1;
                }
            }
        } else if (option == "--resize") {
            const auto x = value.find('x');
            const auto w = x == std::string::npos ? std::nullopt : parseInt(value.substr(0, x));
            const auto h = x == std::string::npos ? std::nullopt : parseInt(value.substr(x + 1));
            if (!w || !h)
                throw badId(MessageId::CliResizeTakes);
            op.a = *w;
            op.b = *h;
        } else if (option == "--rotate") {
            if (value != "cw" && value != "ccw")
                throw badId(MessageId::CliRotateTakes);
            op.command = value == "cw" ? ID_ROTATE_CW : ID_ROTATE_CCW;
        } else if (option == "--mirror") {
            if (value != "h" && value != "v")
                throw badId(MessageId::CliMirrorTakes);
            op.command = value == "h" ? ID_MIRROR_H : ID_MIRROR_V;
        } else if (option == "--brightness" || option == "--alpha-brightness" || option == "--contrast") {
            const int limit = option == "--contrast" ? 127 : 255;
            const auto v = parseInt(value);
            if (!v || *v < -limit || *v > limit)
                throw bad(format(MessageId::CliWholeNumberRangeFormat, -limit, limit));
            op.a = *v;
        } else if (option == "--gamma") {
            char* end = nullptr;
            op.g = std::strtod(value.c_str(), &end);
            if (value.empty() || end != value.c_str() + value.size() || !(op.g >= 0.01 && op.g <= 4.0))
                throw badId(MessageId::CliGammaTakes);
        }
        ops.push_back(std::move(op));
    }
    return ops;
}

// Why the document's enabling rule keeps an operation from running.
std::string disabledReason(const CKestrelDoc& doc, const Operation& op)
{
    if (doc.mapCount() > 1 && op.command != ID_REMOVE_SMALL_MAPS)
        return format(MessageId::CliSeveralMapsFormat, doc.mapCount());
    switch (op.command) {
    case ID_REMOVE_SMALL_MAPS: return tr(MessageId::CliOnlyOneMap);
    case ID_CREATE_ALPHA: return tr(MessageId::CliAlreadyAlpha);
    default: return tr(MessageId::CliNoAlphaChannel);
    }
}

void runSelect(CKestrelDoc& doc, const Operation& op, const std::string& input)
{
    if (op.none) {
        doc.selectNoneCommand();
        return;
    }
    if (!doc.commandEnabled(ID_SELECT_ALL).value_or(false))
        throw Failure("edit", input, disabledReason(doc, op));
    const PixelBitmap& map = (*doc.maps())[0];
    if (static_cast<long long>(op.a) + op.c > map.width() || static_cast<long long>(op.b) + op.d > map.height())
        throw Failure("edit", input, format(MessageId::CliSelectOutsideFormat, op.value, map.width(), map.height()));
    doc.setZoomCopy(SELECT_ZOOM);
    const PictureGeometry view = doc.selectionView();
    const TrackerRect p = SelectionTracker::pictureRect(view);
    SelectionTracker& t = doc.tracker();
    t.beginTrack(p.left + op.a * SELECT_ZOOM, p.top + op.b * SELECT_ZOOM, view);
    t.trackTo(p.left + (op.a + op.c) * SELECT_ZOOM, p.top + (op.b + op.d) * SELECT_ZOOM);
    t.endTrack();
    if (t.selectionImageRect() != ImageRect{op.a, op.b, op.a + op.c - 1, op.b + op.d - 1})
        throw Failure("edit", input, format(MessageId::CliSelectFailedFormat, op.value));
}

void runOperation(CKestrelDoc& doc, EditHost& host, const Operation& op, Io& io, const std::string& input)
{
    if (op.option == "--channels") {
        doc.setChannels(op.value.find('r') != std::string::npos, op.value.find('g') != std::string::npos,
                        op.value.find('b') != std::string::npos);
        return;
    }
    if (op.option == "--select") {
        runSelect(doc, op, input);
        return;
    }
    if (!doc.commandEnabled(op.command).value_or(false))
        throw Failure("edit", input, op.option + ": " + disabledReason(doc, op));
    if (op.command == ID_RESIZE) {
        const auto sizes = SizeDialogModel::allSizes();
        if (std::find(sizes.begin(), sizes.end(), op.a) == sizes.end()
            || std::find(sizes.begin(), sizes.end(), op.b) == sizes.end())
            throw Failure("edit", input, format(MessageId::CliResizeSidesFormat, op.value));
        const PixelBitmap& map = (*doc.maps())[0];
        if (map.width() < 4 || map.height() < 4)
            throw Failure("edit", input, tr(MessageId::CliResizeTooSmall));
    }
    host.messages.clear();
    host.current = &op;
    const bool ok = doc.editCommand(op.command);
    host.current = nullptr;
    if (ok)
        return;  // notes such as "Alphakanal verändert (invertiert)." only tell a viewer what changed
    for (std::size_t i = 0; i + 1 < host.messages.size(); ++i)
        reportError(io, "edit", input, op.option + ": " + host.messages[i]);
    throw Failure("edit", input, op.option + ": " + (host.messages.empty() ? std::string(tr(MessageId::CliRefused)) : host.messages.back()));
}

// Loads INPUT into the document as the program does; returns the bytes of the
// entry for a volume texture (convert's --maps keep writes them when nothing changed).
std::vector<std::uint8_t> load(CKestrelDoc& doc, EditHost& host, const std::string& input, Io& io,
                               const std::string& stage = "edit")
{
    std::vector<std::uint8_t> entryBytes;
    const auto split = input.find("::");
    std::error_code ec;
    bool loaded = false;
    if (split != std::string::npos && !fs::exists(input, ec)) {
        const std::string volumePath = input.substr(0, split);
        CliVolume vol(volumePath);
        const int e = vol.resolve(input.substr(split + 2));
        if (vol.record(e).isDirectory)
            throw Failure(stage, input, tr(MessageId::CliEntryIsDirectory));
        vol.readData(e, [&](const unsigned char* data, std::size_t n) { entryBytes.insert(entryBytes.end(), data, data + n); });
        loaded = doc.openVolume(volumePath, fs::path(volumePath).filename().string(), CKestrelDoc::VolumeAccess::ReadOnly)
                 && doc.loadMaps(volumePath, true, false, e) && doc.maps();
    } else {
        const std::string ext = fs::path(input).extension().string();
        if (ext == ".qrb" || ext == ".mod" || ext == ".QRB" || ext == ".MOD")
            throw Failure(stage, input, tr(MessageId::CliVolumeNoPicture));
        loaded = doc.openFile(input, false) && doc.maps();
    }
    if (!loaded) {
        for (std::size_t i = 0; i + 1 < host.messages.size(); ++i)
            reportError(io, stage, input, host.messages[i]);
        throw Failure(stage, input, host.messages.empty() ? std::string(tr(MessageId::CliCannotLoadPicture)) : host.messages.back());
    }
    host.messages.clear();
    return entryBytes;
}

int runEdit(const Args& args, Io& io)
{
    const std::string& input = args.positionals[0];
    const std::string& output = args.positionals[1];
    std::string ext = fs::path(output).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".tex" && !isWritableImageName(output))
        throw UsageError(tr(MessageId::CliOutputType));
    if (ext != ".tex")
        for (const char* option : {"--format", "--maps", "--no-alpha"})
            if (args.has(option))
                throw UsageError(format(MessageId::CliTexOnlyFormat, std::string(option)));
    checkEncoderOptions(args, ext);
    const std::vector<Operation> ops = parseOperations(args);

    EditHost host(io, "edit", input);
    CKestrelDoc doc(host);
    // Nothing is undone here: the operations keep no steps (and no copies of pixels).
    doc.setUndoLimits(0, 0);
    const std::vector<std::uint8_t> entryBytes = load(doc, host, input, io);
    bool changed = false;
    for (const Operation& op : ops) {
        runOperation(doc, host, op, io, input);
        changed |= op.command != 0;
    }

    TextureSource source;
    source.maps = *doc.maps();
    source.hasAlpha = doc.hasAlpha();
    // The bytes as loaded are the texture only while no operation changed it.
    if (!changed && doc.rawTexture())
        source.textureBytes = doc.source() == CKestrelDoc::SOURCE_VOLUME ? entryBytes : doc.rawBytes();
    try {
        writeConverted(source, args, output);
    } catch (Failure& f) {
        f.stage = "edit";
        throw;
    }
    return exitOk;
}

}  // namespace

std::string pictureReport(const std::string& input, Io& io)
{
    EditHost host(io, "info", input);
    CKestrelDoc doc(host);
    load(doc, host, input, io, "info");
    return doc.informationReport();
}

CommandSpec editCommand()
{
    return {"edit", "INPUT OUTPUT [OPERATION...]", tr(MessageId::CliEditSummary), tr(MessageId::CliEditDescription),
            2, 2,
            {{"--remove-small-maps", "", tr(MessageId::CliEditRemoveSmallMaps)},
             {"--channels", "SET", tr(MessageId::CliEditChannels)},
             {"--select", "X,Y,W,H|none", tr(MessageId::CliEditSelect)},
             {"--invert", "", tr(MessageId::CliEditInvert)},
             {"--invert-alpha", "", tr(MessageId::CliEditInvertAlpha)},
             {"--create-alpha", "", tr(MessageId::CliEditCreateAlpha)},
             {"--remove-alpha", "", tr(MessageId::CliEditRemoveAlpha)},
             {"--crop", "", tr(MessageId::CliEditCrop)},
             {"--resize", "WxH", tr(MessageId::CliEditResize)},
             {"--sharpen", "", tr(MessageId::CliEditSharpen)},
             {"--blur", "", tr(MessageId::CliEditBlur)},
             {"--blur-strong", "", tr(MessageId::CliEditBlurStrong)},
             {"--alpha-blur", "", tr(MessageId::CliEditAlphaBlur)},
             {"--alpha-blur-strong", "", tr(MessageId::CliEditAlphaBlurStrong)},
             {"--rotate", "cw|ccw", tr(MessageId::CliEditRotate)},
             {"--mirror", "h|v", tr(MessageId::CliEditMirror)},
             {"--brightness", "D", tr(MessageId::CliEditBrightness)},
             {"--alpha-brightness", "D", tr(MessageId::CliEditAlphaBrightness)},
             {"--contrast", "V", tr(MessageId::CliEditContrast)},
             {"--gamma", "G", tr(MessageId::CliEditGamma)},
             {"--format", "FORMAT", tr(MessageId::CliEditFormat)},
             {"--maps", "largest|keep|N", tr(MessageId::CliEditMaps)},
             {"--no-alpha", "", tr(MessageId::CliEditNoAlpha)},
             qualityOption(),
             jpegQualityOption()},
            runEdit};
}

}  // namespace cli
