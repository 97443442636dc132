// convert INPUT OUTPUT: textures, volume entries and images to textures or images.
#include "Cli.h"
#include "Language.h"
#include "ConvertOutput.h"
#include "PixelBudget.h"
#include "CliVolume.h"

#include "codecs/CTextException.h"
#include "codecs/MapSet.h"
#include "codecs/TextureFormat.h"
#include "codecs/TextureWriter.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/AtomicFile.h"
#include "document/PictureLoader.h"
#include "document/PictureResize.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace cli {

namespace {

std::vector<std::uint8_t> readWholeFile(const std::string& path, const std::string& stage)
{
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!in || ec)
        throw Failure(stage, path, "cannot open the file");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw Failure(stage, path, "cannot read the file");
    return bytes;
}

// A load's refusal in the command line's words; memory short ends as it does anywhere.
[[noreturn]] void refuse(const LoadedPicture& p, const std::string& where, const std::string& stage)
{
    switch (p.status) {
    case LoadedPicture::Status::TextureRejected:
        throw Failure(stage, where, describe(p.textureStatus));
    case LoadedPicture::Status::OutOfMemory:
        throw std::bad_alloc();
    case LoadedPicture::Status::NotPicture:
        throw Failure(stage, where, "neither a texture nor a known image type");
    case LoadedPicture::Status::OpenFailed:
        throw Failure(stage, where, "cannot read the file");
    default:
        throw Failure(stage, where, decodeFailureDetail(p.detail, p.errorCode));
    }
}

TextureSource sourceOf(LoadedPicture&& p, const std::string& where, const std::string& stage)
{
    if (!p.ok())
        refuse(p, where, stage);
    TextureSource s;
    s.maps = std::move(*p.maps);
    s.hasAlpha = p.alpha;
    s.format = p.format;
    s.textureBytes = std::move(p.bytes);
    return s;
}

// Every image type the decoders know is read; a refused one (GIF) fails in the
// decoder with its own reason.
void checkImageType(int type, const std::string& where, const std::string& stage)
{
    if (type == IMAGE_NONE)
        throw Failure(stage, where, "neither a texture nor a known image type");
}

// The first bytes of a file entry: enough to tell its type.
std::vector<std::uint8_t> readEntryHead(CliVolume& vol, int e, const std::string& where, const std::string& stage)
{
    vol.checkDataRange(e);
    const EntryRecord& r = vol.record(e);
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(r.size, 4096)));
    if (!head.empty() && !vol.group().getDataBlock(r.offset, head.size(), head.data()))
        throw Failure(stage, where, "cannot read the entry");
    return head;
}

// Bytes already in memory (standard input): a texture or an image, by content,
// as the document loads a volume entry.
TextureSource loadBytes(std::vector<std::uint8_t> bytes, const PixelBudget& budget, const std::string& where,
                        const std::string& stage)
{
    return sourceOf(loadEntryBytes(std::move(bytes), budget.limits, EntryImages::Any), where, stage);
}

// A file path, or VOLUME::ENTRY (ENTRY as for extract); a path naming an
// existing file is never split. The type comes from the first bytes and the
// size is held to the budget before the whole input is read.
TextureSource loadSource(const std::string& input, const PixelBudget& budget, const std::string& stage)
{
    const auto split = input.find("::");
    std::error_code ec;
    if (split != std::string::npos && !fs::exists(input, ec)) {
        CliVolume vol(input.substr(0, split));
        const int e = vol.resolve(input.substr(split + 2));
        if (vol.record(e).isDirectory)
            throw Failure(stage, input, "the entry is a directory");
        const std::vector<std::uint8_t> head = readEntryHead(vol, e, input, stage);
        if (!hasTextureTag(head.data(), head.size()))
            checkImageType(detectImageType(head.data(), head.size()), input, stage);
        checkInputSize(vol.record(e).size, budget, stage, input);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(vol.record(e).size);
        vol.readData(e, [&](const unsigned char* data, std::size_t n) { bytes.insert(bytes.end(), data, data + n); });
        return loadBytes(std::move(bytes), budget, input, stage);
    }

    if (fs::is_directory(input, ec))
        throw Failure(stage, input, tr("is a directory, not a file"));
    std::vector<std::uint8_t> head(4096);
    {
        std::ifstream in(input, std::ios::binary);
        if (!in)
            throw Failure(stage, input, tr("cannot open the file"));
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
    }
    // By content, whatever the name says: a texture renamed .dat still converts.
    const bool texture = hasTextureTag(head.data(), head.size());
    if (!texture)
        checkImageType(detectImageFileType(input, head.data(), head.size()), input, stage);
    const auto size = fs::file_size(input, ec);
    if (ec)
        throw Failure(stage, input, "cannot read the file");
    checkInputSize(size, budget, stage, input);
    if (texture)
        return sourceOf(loadTextureBytes(readWholeFile(input, stage)), input, stage);
    return sourceOf(loadImageFile(input, budget.limits), input, stage);
}

std::optional<int> parseCount(const std::string& text)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

const char* describe(TextureWriteStatus status)
{
    switch (status) {
    case TextureWriteStatus::Ok: return "ok";
    case TextureWriteStatus::BadSize:
        return "a texture's sides must be powers of two from 4 to 2048 (4, 8, 16, 32, ... 2048)";
    case TextureWriteStatus::AlphaMismatch: return "the format does not fit the alpha channel";
    case TextureWriteStatus::BadMapCount: return "the number of maps does not fit the image";
    case TextureWriteStatus::OpenFailed: return "cannot create the file";
    case TextureWriteStatus::CompressFailed: return "compression failed";
    case TextureWriteStatus::FilterFailed: return "not enough memory to reduce the maps";
    case TextureWriteStatus::WriteFailed: return "cannot write the file";
    }
    return "unknown error";
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The writer's format index of a --format value.
int parseFormat(const std::string& text)
{
    static const char* const names[] = {"dxt1", "dxt3", "rgba4444", "rgb565", "rgba8888"};
    for (int i = 0; i < 5; ++i)
        if (lower(text) == names[i])
            return i;
    throw UsageError("unknown format '" + text + "'; choose dxt1, dxt3, rgba4444, rgb565 or rgba8888");
}

// What the options ask of every conversion, checked once before any file is read.
struct Options {
    std::optional<std::pair<int, int>> resize;
    bool fit = false;
    enum class Alpha { Keep, None, Opaque } alpha = Alpha::Keep;
    dxt::Quality quality = dxt::Quality::Default;
    int jpegQuality = DEFAULT_JPEG_QUALITY;
};

Options parseOptions(const Args& args)
{
    Options o;
    o.quality = qualityOf(args);
    o.jpegQuality = jpegQualityOf(args);
    if (const auto r = args.value("--resize")) {
        const auto x = r->find_first_of("xX");
        const auto w = x == std::string::npos ? std::nullopt : parseCount(r->substr(0, x));
        const auto h = x == std::string::npos ? std::nullopt : parseCount(r->substr(x + 1));
        if (!w || !h || *w < 1 || *h < 1 || *w > 32768 || *h > 32768)
            throw UsageError("--resize wants WxH, each side from 1 to 32768 (e.g. 256x128)");
        o.resize = {*w, *h};
    }
    o.fit = args.has("--fit");
    if (o.fit && o.resize)
        throw UsageError("give either --resize or --fit");
    const std::string alpha = args.value("--alpha").value_or(args.has("--no-alpha") ? "none" : "keep");
    if (args.has("--no-alpha") && alpha != "none")
        throw UsageError("--no-alpha and --alpha " + alpha + " contradict each other");
    if (alpha == "keep")
        o.alpha = Options::Alpha::Keep;
    else if (alpha == "none")
        o.alpha = Options::Alpha::None;
    else if (alpha == "opaque")
        o.alpha = Options::Alpha::Opaque;
    else
        throw UsageError("--alpha takes keep, none or opaque");
    return o;
}

// The picture at the size the options ask for: area averaging when it shrinks,
// cubic when either side grows (the rule the replacement of entries uses).
PixelBitmap prepared(const PixelBitmap& source, const Options& o, const std::string& where)
{
    int width = source.width(), height = source.height();
    if (o.resize) {
        width = o.resize->first;
        height = o.resize->second;
    } else if (o.fit) {
        width = texture::nearestTextureSide(width);
        height = texture::nearestTextureSide(height);
    }
    std::optional<PixelBitmap> resized = resampledPicture(source, width, height);
    if (!resized)
        throw Failure("convert", where, "not enough memory to resize the picture");
    PixelBitmap out = std::move(*resized);
    if (o.alpha == Options::Alpha::Opaque && !out.hasAlpha()) {
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                out.row(y)[4 * x + 3] = 255;
        out.setHasAlpha(true);
    } else if (o.alpha == Options::Alpha::None) {
        out.setHasAlpha(false);
    }
    return out;
}

void writeImage(const TextureSource& source, const Args& args, const Options& o, const std::string& output)
{
    int index = source.maps.count() - 1;
    if (const auto k = args.value("--map")) {
        const auto v = parseCount(*k);
        if (!v)
            throw UsageError("--map takes a map number, 0 for the smallest");
        if (*v < 0 || *v >= source.maps.count())
            throw Failure("convert", output, "the input has " + std::to_string(source.maps.count())
                                                 + " map(s); --map takes 0 to " + std::to_string(source.maps.count() - 1));
        index = *v;
    }
    for (const char* option : {"--format", "--maps"})
        if (args.has(option))
            throw UsageError(std::string(option) + " applies to .tex output only");

    PixelBitmap map(source.maps[index]);
    map.setHasAlpha(source.hasAlpha);
    if (map.width() < 1 || map.height() < 1)
        throw Failure("convert", output, "the map is empty");
    const PixelBitmap picture = prepared(map, o, output);
    try {
        writeImageFile(output, picture, o.jpegQuality);
    } catch (const CTextException& err) {
        throw Failure("convert", output, err.message());
    }
}

void writeTex(const TextureSource& source, const Args& args, const Options& o, const std::string& output)
{
    if (args.has("--map"))
        throw UsageError("--map applies to image outputs; a texture is written from the largest map");
    std::optional<int> formatIndex;
    if (const auto f = args.value("--format"))
        formatIndex = parseFormat(*f);
    const std::string maps = args.value("--maps").value_or("");

    // The loaded bytes, unchanged.
    if (maps == "keep" && !source.textureBytes.empty()) {
        if (formatIndex || o.alpha != Options::Alpha::Keep || o.resize || o.fit)
            throw UsageError("--maps keep writes the texture as loaded; --format, --alpha, --no-alpha, --resize and "
                             "--fit do not apply");
        try {
            AtomicFile file(output);
            file.write(source.textureBytes.data(), source.textureBytes.size());
            file.commit();
        } catch (const std::runtime_error& err) {
            throw Failure("convert", output, err.what());
        }
        return;
    }

    PixelBitmap largest(source.maps.largest());
    largest.setHasAlpha(source.hasAlpha);
    const PixelBitmap picture = prepared(largest, o, output);
    if (!texture::isTextureSide(picture.width()) || !texture::isTextureSide(picture.height()))
        throw Failure("convert", output,
                      "the picture is " + std::to_string(picture.width()) + " x " + std::to_string(picture.height())
                          + "; a texture's sides must be powers of two from 4 to 2048: give --fit (each side to the "
                            "nearest power of two) or --resize WxH");
    const bool alpha = picture.hasAlpha();
    if (formatIndex) {
        const texture::FormatInfo& info = texture::FORMATS[static_cast<std::size_t>(*formatIndex)];
        if (info.hasAlpha != alpha)
            throw Failure("convert", output,
                          std::string(info.label)
                              + (alpha ? " has no alpha channel; give --alpha none or a format with alpha (dxt3, "
                                         "rgba4444, rgba8888)"
                                       : " needs an alpha channel, which the picture has not; choose dxt1 or rgb565, "
                                         "or give --alpha opaque"));
    }

    const int limit = std::min(texture::mapsPossible(picture.width(), picture.height()), texture::MAX_MAPS);
    int count = 1;
    if (maps.empty() || maps == "keep") {
        // A texture keeps its number of maps (as far as the new size allows); an image gets one.
        count = source.textureBytes.empty() ? 1 : std::min(source.maps.count(), limit);
    } else if (maps == "largest") {
        count = 1;
    } else if (maps == "all") {
        count = limit;
    } else {
        const auto n = parseCount(maps);
        if (!n)
            throw UsageError("--maps takes largest, keep, all or a number of maps");
        if (*n < 1 || *n > limit)
            throw Failure("convert", output,
                          "the picture (" + std::to_string(picture.width()) + " x " + std::to_string(picture.height())
                              + ") allows 1 to " + std::to_string(limit) + " maps; --maps all takes as many as it allows");
        count = *n;
    }
    const MapOption option = count == 1 ? MapOption::LargestOnly : MapOption::Generate;
    const int index = formatIndex.value_or(alpha ? 1 : 0);
    const TextureWriteStatus status = writeTexture(output, option, alpha, count, picture, index, o.quality);
    if (status != TextureWriteStatus::Ok)
        throw Failure("convert", output, describe(status));
}

// The extension that chooses the output type, with its dot, in lower case.
std::string outputType(const std::string& output, const Args& args)
{
    if (const auto to = args.value("--to")) {
        std::string ext = lower(*to);
        if (ext.empty() || ext[0] != '.')
            ext = "." + ext;
        return ext;
    }
    return lower(fs::path(output).extension().string());
}

void checkOutputType(const std::string& ext)
{
    if (ext != ".tex" && !isWritableImageName("x" + ext))
        throw UsageError("the output type must be .tex, .tga, .bmp, .tif, .tiff, .jpg, .jpeg or .png");
}

std::vector<std::uint8_t> readAll(std::istream& in)
{
    std::vector<std::uint8_t> bytes;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
    return bytes;
}

// A file in the temporary folder for output that goes to standard output, removed on scope exit.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& ext)
    {
        static std::atomic<unsigned> counter{0};
        m_path = fs::temp_directory_path() / ("korvix-cli-" + std::to_string(::getpid()) + "-"
                                              + std::to_string(counter++) + ext);
    }
    ~ScratchFile()
    {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// One conversion: INPUT (a path, VOLUME::ENTRY or '-') to OUTPUT (a path or '-').
void convertOne(const std::string& input, const std::string& output, const std::string& ext, const Args& args,
                const Options& options, Io& io)
{
    const PixelBudget budget = pixelBudgetOf(args);
    try {
        const TextureSource source =
            input == "-" ? loadBytes(io.in ? readAll(*io.in) : std::vector<std::uint8_t>{}, budget, "standard input", "convert")
                         : loadSource(input, budget, "convert");
        if (output == "-") {
            const ScratchFile scratch(ext);
            if (ext == ".tex")
                writeTex(source, args, options, scratch.path().string());
            else
                writeImage(source, args, options, scratch.path().string());
            std::ifstream in(scratch.path(), std::ios::binary);
            io.out << in.rdbuf();
            io.out.flush();
            if (!io.out)
                throw Failure("convert", "standard output", "cannot write");
            return;
        }
        if (ext == ".tex")
            writeTex(source, args, options, output);
        else
            writeImage(source, args, options, output);
    } catch (const CTextException& err) {
        // A bitmap that could not be made (code 10) on the way.
        throw Failure("convert", input, err.message());
    }
}

// The output name in batch mode: DIR (or the input's own folder) and the input's
// stem with the new extension. A volume entry gives its own name's stem.
fs::path batchOutput(const std::string& input, const std::optional<std::string>& dir, const std::string& ext)
{
    const auto split = input.find("::");
    std::error_code ec;
    const bool entry = split != std::string::npos && !fs::exists(input, ec);
    fs::path name = entry ? fs::path(input.substr(split + 2)).filename() : fs::path(input).filename();
    name.replace_extension(ext);
    const fs::path folder = dir ? fs::path(*dir) : entry ? fs::path(input.substr(0, split)).parent_path()
                                                         : fs::path(input).parent_path();
    return folder / name;
}

unsigned parseJobs(const Args& args)
{
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto j = args.value("-j");
    if (!j)
        return cores;
    const auto n = parseCount(*j);
    if (!n || *n < 0)
        throw UsageError("-j takes a number of jobs (0: one per core)");
    return *n == 0 ? cores : static_cast<unsigned>(*n);
}

// Several inputs: each converted on its own, on up to -j threads, one line per
// file and a summary; the exit status is 0 only when every file succeeded.
int runBatch(const Args& args, const std::string& ext, const Options& options, Io& io)
{
    const auto dir = args.value("-d");
    if (dir) {
        std::error_code ec;
        if (!fs::is_directory(*dir, ec))
            throw Failure("convert", *dir, "not a directory");
    }
    std::vector<std::pair<std::string, std::string>> jobs;
    std::map<std::string, std::string> seen;
    for (const std::string& input : args.positionals) {
        if (input == "-")
            throw UsageError("'-' (standard input) is for a single INPUT OUTPUT pair");
        const std::string output = batchOutput(input, dir, ext).string();
        const fs::path key = fs::weakly_canonical(output);
        if (const auto [it, fresh] = seen.emplace(key.string(), input); !fresh)
            throw UsageError("'" + input + "' and '" + it->second + "' would both be written to '" + output + "'");
        jobs.emplace_back(input, output);
    }

    std::mutex printing;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed{0};
    const auto work = [&] {
        for (std::size_t k = next++; k < jobs.size(); k = next++) {
            const auto& [input, output] = jobs[k];
            std::ostringstream err;
            Io local{io.out, err, nullptr};
            try {
                convertOne(input, output, ext, args, options, local);
                const std::lock_guard lock(printing);
                io.out << input << " -> " << output << '\n';
            } catch (const Failure& f) {
                ++failed;
                const std::lock_guard lock(printing);
                reportError(io, f.stage, f.file, f.what());
            } catch (const UsageError& u) {
                ++failed;
                const std::lock_guard lock(printing);
                reportError(io, "convert", input, u.what());
            } catch (const std::bad_alloc&) {
                ++failed;
                const std::lock_guard lock(printing);
                reportError(io, "convert", input, "out of memory");
            }
        }
    };
    const unsigned threads = std::min<std::size_t>(parseJobs(args), jobs.size());
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
    work();
    for (std::thread& t : pool)
        t.join();

    io.err << "korvix-cli: convert: " << jobs.size() - failed << " of " << jobs.size() << " file"
           << (jobs.size() == 1 ? "" : "s") << " converted";
    if (failed > 0)
        io.err << ", " << failed << " failed";
    io.err << '\n';
    return failed == 0 ? exitOk : exitFailure;
}

int runConvert(const Args& args, Io& io)
{
    const Options options = parseOptions(args);
    if (options.resize) {
        const std::int64_t pixels = std::int64_t{options.resize->first} * options.resize->second;
        if (pixels > pixelBudgetOf(args).limits.maxPixels)
            throw UsageError("--resize asks for " + std::to_string(pixels) + " pixels, more than --max-pixels allows ("
                             + std::to_string(pixelBudgetOf(args).limits.maxPixels) + ")");
    }
    const bool toStandardOutput = args.positionals.size() == 2 && args.positionals[1] == "-";
    if (args.has("-d") || (args.has("--to") && !toStandardOutput) || args.positionals.size() > 2) {
        if (!args.has("--to"))
            throw UsageError("several inputs need --to EXT (and -d DIR for another folder than their own)");
        const std::string ext = outputType("", args);
        checkOutputType(ext);
        checkEncoderOptions(args, ext);
        return runBatch(args, ext, options, io);
    }
    if (args.positionals.size() != 2)
        throw UsageError("give INPUT OUTPUT, or INPUT... --to EXT [-d DIR]");
    const std::string& input = args.positionals[0];
    const std::string& output = args.positionals[1];
    if (output == "-" && !args.has("--to"))
        throw UsageError("writing to standard output ('-') needs --to EXT");
    const std::string ext = outputType(output, args);
    checkOutputType(ext);
    checkEncoderOptions(args, ext);
    convertOne(input, output, ext, args, options, io);
    return exitOk;
}

}  // namespace

OptionSpec qualityOption()
{
    return {"--quality", "LEVEL", "the block compressor's setting for DXT1 and DXT3: fast, default or best",
            {"fast", "default", "best"}};
}

OptionSpec jpegQualityOption()
{
    return {"--jpeg-quality", "N", "JPEG quality from 1 (smallest) to 100 (best); default 75"};
}

dxt::Quality qualityOf(const Args& args)
{
    const std::string level = args.value("--quality").value_or("default");
    if (level == "fast")
        return dxt::Quality::Fast;
    if (level == "default")
        return dxt::Quality::Default;
    if (level == "best")
        return dxt::Quality::Best;
    throw UsageError("--quality takes fast, default or best");
}

int jpegQualityOf(const Args& args)
{
    const auto text = args.value("--jpeg-quality");
    if (!text)
        return DEFAULT_JPEG_QUALITY;
    const auto v = parseCount(*text);
    if (!v || *v < MIN_JPEG_QUALITY || *v > MAX_JPEG_QUALITY)
        throw UsageError("--jpeg-quality takes a whole number from 1 to 100");
    return *v;
}

void checkEncoderOptions(const Args& args, const std::string& ext)
{
    qualityOf(args);
    jpegQualityOf(args);
    if (args.has("--quality") && ext != ".tex")
        throw UsageError("--quality applies to .tex output only");
    if (args.has("--jpeg-quality") && ext != ".jpg" && ext != ".jpeg")
        throw UsageError("--jpeg-quality applies to .jpg output only");
}

void writeConverted(const TextureSource& source, const Args& args, const std::string& output)
{
    const Options options = parseOptions(args);
    if (lower(fs::path(output).extension().string()) == ".tex")
        writeTex(source, args, options, output);
    else
        writeImage(source, args, options, output);
}

CommandSpec convertCommand()
{
    return {"convert", "INPUT... [OUTPUT]", "convert textures and images",
            "INPUT OUTPUT converts one file; INPUT... --to EXT [-d DIR] converts each INPUT\n"
            "to DIR (default: the input's folder) under its own name with the new extension,\n"
            "on -j threads (default: one per core), with one line per file and a summary;\n"
            "the exit status is 0 only when every file succeeded.\n"
            "INPUT is a texture file, VOLUME::ENTRY (ENTRY as for extract), an image (BMP,\n"
            "TGA, TIFF, EPS with a TIFF preview, JPEG, PNG, PCX, PGM, PICT, WMF, EMF), or '-'\n"
            "for standard input; OUTPUT '-' writes to standard output (with --to).\n"
            "The output's extension (or --to) chooses the result: .tex writes a texture;\n"
            ".tga, .bmp, .tif/.tiff, .jpg/.jpeg and .png write one map (--map K, 0 = the\n"
            "smallest; default the largest), TGA and PNG with alpha when the picture has it.\n"
            "--resize WxH and --fit (each side to the nearest power of two from 4 to 2048)\n"
            "resize by area averaging when shrinking and cubic when growing.\n"
            "For .tex, --format defaults to dxt3 with alpha and dxt1 without, and must fit;\n"
            "--alpha none leaves the alpha channel out, --alpha opaque gives a picture\n"
            "without one an opaque alpha channel. --maps: a texture keeps its number of maps\n"
            "and an image gets one unless it says largest (one), keep (a texture's bytes as\n"
            "loaded), all (as many as the sides allow, at most 10) or N; each map is reduced\n"
            "from the full picture. --quality fast|default|best chooses the block\n"
            "compressor's setting for DXT1 and DXT3 (best: about four times slower than\n"
            "default); --jpeg-quality N (1 ... 100, default 75) that of a .jpg output.\n"
            "A picture larger than --max-pixels (default 67108864,\n"
            "8192 x 8192) is refused from its header, before it is decoded, and so is an\n"
            "input larger than such a picture can be, and a --resize beyond it. A failed\n"
            "conversion leaves no output file and an existing file untouched.",
            1, static_cast<std::size_t>(-1),
            {{"--map", "K", "the map to write as an image (0 = smallest)"},
             {"--format", "FORMAT", "dxt1, dxt3, rgba4444, rgb565 or rgba8888",
              {"dxt1", "dxt3", "rgba4444", "rgb565", "rgba8888"}},
             {"--maps", "N", "the maps of a .tex output: largest, keep, all or a number",
              {"largest", "keep", "all", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
             {"--resize", "WxH", "resize the picture to W x H pixels"},
             {"--fit", "", "resize each side to the nearest power of two from 4 to 2048"},
             {"--alpha", "MODE", "keep (default), none, or opaque (add an opaque alpha channel)",
              {"keep", "none", "opaque"}},
             {"--no-alpha", "", "the same as --alpha none"},
             {"--to", "EXT", "the output type (tex, tga, bmp, tif, jpg, png); needed with several inputs",
              {"tex", "tga", "bmp", "tif", "tiff", "jpg", "jpeg", "png"}},
             {"-d", "DIR", "the folder for the outputs of several inputs"},
             qualityOption(),
             jpegQualityOption(),
             {"-j", "N", "convert N files at a time (default and 0: one per core)"},
             maxPixelsOption()},
            runConvert};
}

}  // namespace cli
