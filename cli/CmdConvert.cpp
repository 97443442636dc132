// convert INPUT OUTPUT: textures, volume entries and images to textures or images.
#include "Cli.h"
#include "Language.h"
#include "ConvertOutput.h"
#include "PixelBudget.h"
#include "ProgressLine.h"
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
#include <cerrno>
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

using korvix::MessageId;

namespace {

std::vector<std::uint8_t> readWholeFile(const std::string& path, const std::string& stage)
{
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!in || ec)
        throw Failure(stage, path, format(MessageId::CliCannotOpenFileFormat,
                                          ec ? ec.message() : std::generic_category().message(errno)));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        throw Failure(stage, path, tr(MessageId::CliCannotReadFile));
    return bytes;
}

// A load's refusal in the command line's words; memory short ends as it does anywhere.
[[noreturn]] void refuse(const LoadedPicture& p, const std::string& where, const std::string& stage)
{
    switch (p.status) {
    case LoadedPicture::Status::TextureRejected:
        throw Failure(stage, where, textureRefusal(p.textureStatus));
    case LoadedPicture::Status::OutOfMemory:
        throw std::bad_alloc();
    case LoadedPicture::Status::NotPicture:
        throw Failure(stage, where, tr(MessageId::CliNotAPicture));
    case LoadedPicture::Status::OpenFailed:
        throw Failure(stage, where, tr(MessageId::CliCannotReadFile));
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
        throw Failure(stage, where, tr(MessageId::CliNotAPicture));
}

// The first bytes of a file entry: enough to tell its type.
std::vector<std::uint8_t> readEntryHead(CliVolume& vol, int e, const std::string& where, const std::string& stage)
{
    vol.checkDataRange(e);
    const EntryRecord& r = vol.record(e);
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(r.size, 4096)));
    if (!head.empty() && !vol.group().getDataBlock(r.offset, head.size(), head.data()))
        throw Failure(stage, where, tr(MessageId::CliCannotReadEntry));
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
            throw Failure(stage, input, tr(MessageId::CliEntryIsDirectory));
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
        throw Failure(stage, input, tr(korvix::MessageId::CliIsDirectory));
    std::vector<std::uint8_t> head(4096);
    {
        std::ifstream in(input, std::ios::binary);
        if (!in)
            throw Failure(stage, input, format(MessageId::CliCannotOpenFileFormat, std::generic_category().message(errno)));
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
    }
    // By content, whatever the name says: a texture renamed .dat still converts.
    const bool texture = hasTextureTag(head.data(), head.size());
    if (!texture)
        checkImageType(detectImageFileType(input, head.data(), head.size()), input, stage);
    const auto size = fs::file_size(input, ec);
    if (ec)
        throw Failure(stage, input, tr(MessageId::CliCannotReadFile));
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
    case TextureWriteStatus::BadSize: return tr(MessageId::CliTextureSides);
    case TextureWriteStatus::AlphaMismatch: return tr(MessageId::CliFormatAlphaMismatch);
    case TextureWriteStatus::BadMapCount: return tr(MessageId::CliMapCountMismatch);
    case TextureWriteStatus::OpenFailed: return tr(MessageId::CliCannotCreateFile);
    case TextureWriteStatus::CompressFailed: return tr(MessageId::CliCompressionFailed);
    case TextureWriteStatus::FilterFailed: return tr(MessageId::CliReduceMemory);
    case TextureWriteStatus::WriteFailed: return tr(MessageId::CliCannotWriteFile);
    }
    return "?";
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
    throw UsageError(format(MessageId::CliUnknownFormatFormat, text));
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
            throw UsageError(tr(MessageId::CliResizeWants));
        o.resize = {*w, *h};
    }
    o.fit = args.has("--fit");
    if (o.fit && o.resize)
        throw UsageError(tr(MessageId::CliResizeOrFit));
    const std::string alpha = args.value("--alpha").value_or(args.has("--no-alpha") ? "none" : "keep");
    if (args.has("--no-alpha") && alpha != "none")
        throw UsageError(format(MessageId::CliAlphaContradictFormat, alpha));
    if (alpha == "keep")
        o.alpha = Options::Alpha::Keep;
    else if (alpha == "none")
        o.alpha = Options::Alpha::None;
    else if (alpha == "opaque")
        o.alpha = Options::Alpha::Opaque;
    else
        throw UsageError(tr(MessageId::CliAlphaTakes));
    return o;
}

// The size the options ask for.
std::pair<int, int> targetSize(const PixelBitmap& source, const Options& o)
{
    if (o.resize)
        return *o.resize;
    if (o.fit)
        return {texture::nearestTextureSide(source.width()), texture::nearestTextureSide(source.height())};
    return {source.width(), source.height()};
}

// The alpha the options leave the picture, from the source's hasAlpha.
bool alphaWanted(bool hasAlpha, const Options& o)
{
    return o.alpha == Options::Alpha::Keep ? hasAlpha : o.alpha == Options::Alpha::Opaque;
}

// The picture at the size the options ask for: area averaging when it shrinks,
// cubic when either side grows (the rule the replacement of entries uses).
// The picture as the options want it, from a map whose alpha the source's
// hasAlpha says; the one copy of the map it makes is the result.
PixelBitmap prepared(const PixelBitmap& source, bool hasAlpha, const Options& o, const std::string& where)
{
    const auto [width, height] = targetSize(source, o);
    std::optional<PixelBitmap> resized = resampledPicture(source, width, height);
    if (!resized)
        throw Failure("convert", where, tr(MessageId::CliResizeMemory));
    PixelBitmap out = std::move(*resized);
    if (o.alpha == Options::Alpha::Opaque && !hasAlpha) {
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                out.row(y)[4 * x + 3] = 255;
    }
    out.setHasAlpha(alphaWanted(hasAlpha, o));
    return out;
}

// The picture a texture is written from: the source's map itself when the
// options change none of its pixels (the writer reads alpha as 255 where the
// picture has none), else the prepared copy.
class TexturePicture {
public:
    TexturePicture(const PixelBitmap& source, bool hasAlpha, const Options& o, const std::string& where)
        : m_alpha(alphaWanted(hasAlpha, o))
    {
        const bool sameSize = targetSize(source, o) == std::pair{source.width(), source.height()};
        if (sameSize && source.bitsPerPixel() == 32 && !(o.alpha == Options::Alpha::Opaque && !hasAlpha)) {
            m_pMap = &source;
        } else {
            m_copy = prepared(source, hasAlpha, o, where);
            m_pMap = &*m_copy;
        }
    }
    TexturePicture(const TexturePicture&) = delete;
    TexturePicture& operator=(const TexturePicture&) = delete;
    const PixelBitmap& map() const { return *m_pMap; }
    bool alpha() const { return m_alpha; }

private:
    std::optional<PixelBitmap> m_copy;
    const PixelBitmap* m_pMap = nullptr;
    bool m_alpha;
};

void writeImage(const TextureSource& source, const Args& args, const Options& o, const std::string& output)
{
    int index = source.maps.count() - 1;
    if (const auto k = args.value("--map")) {
        const auto v = parseCount(*k);
        if (!v)
            throw UsageError(tr(MessageId::CliMapTakes));
        if (*v < 0 || *v >= source.maps.count())
            throw Failure("convert", output, format(MessageId::CliMapRangeFormat, source.maps.count(), source.maps.count() - 1));
        index = *v;
    }
    for (const char* option : {"--format", "--maps"})
        if (args.has(option))
            throw UsageError(format(MessageId::CliTexOnlyFormat, std::string(option)));

    const PixelBitmap& map = source.maps[index];
    if (map.width() < 1 || map.height() < 1)
        throw Failure("convert", output, tr(MessageId::CliMapEmpty));
    const PixelBitmap picture = prepared(map, source.hasAlpha, o, output);
    try {
        writeImageFile(output, picture, o.jpegQuality);
    } catch (const CTextException& err) {
        throw Failure("convert", output, err.message());
    }
}

void writeTex(const TextureSource& source, const Args& args, const Options& o, const std::string& output)
{
    if (args.has("--map"))
        throw UsageError(tr(MessageId::CliMapImageOnly));
    std::optional<int> formatIndex;
    if (const auto f = args.value("--format"))
        formatIndex = parseFormat(*f);
    const std::string maps = args.value("--maps").value_or("");

    // The loaded bytes, unchanged.
    if (maps == "keep" && !source.textureBytes.empty()) {
        if (formatIndex || o.alpha != Options::Alpha::Keep || o.resize || o.fit)
            throw UsageError(tr(MessageId::CliMapsKeepAlone));
        try {
            AtomicFile file(output);
            file.write(source.textureBytes.data(), source.textureBytes.size());
            file.commit();
        } catch (const std::runtime_error& err) {
            throw Failure("convert", output, err.what());
        }
        return;
    }

    const TexturePicture chosen(source.maps.largest(), source.hasAlpha, o, output);
    const PixelBitmap& picture = chosen.map();
    if (!texture::isTextureSide(picture.width()) || !texture::isTextureSide(picture.height()))
        throw Failure("convert", output, format(MessageId::CliPictureSizeFormat, picture.width(), picture.height()));
    const bool alpha = chosen.alpha();
    if (formatIndex) {
        const texture::FormatInfo& info = texture::FORMATS[static_cast<std::size_t>(*formatIndex)];
        if (info.hasAlpha != alpha)
            throw Failure("convert", output,
                          format(alpha ? MessageId::CliFormatNoAlphaFormat : MessageId::CliFormatNeedsAlphaFormat,
                                 std::string(info.label)));
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
            throw UsageError(tr(MessageId::CliMapsTakes));
        if (*n < 1 || *n > limit)
            throw Failure("convert", output, format(MessageId::CliMapsRangeFormat, picture.width(), picture.height(), limit));
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
        throw UsageError(tr(MessageId::CliOutputType));
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
            input == "-" ? loadBytes(io.in ? readAll(*io.in) : std::vector<std::uint8_t>{}, budget, tr(MessageId::CliStandardInput), "convert")
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
                throw Failure("convert", tr(MessageId::CliStandardOutput), tr(MessageId::CliCannotWrite));
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
        throw UsageError(tr(MessageId::CliJobsTakes));
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
            throw Failure("convert", *dir, tr(MessageId::CliNotADirectory));
    }
    std::vector<std::pair<std::string, std::string>> jobs;
    std::map<std::string, std::string> seen;
    for (const std::string& input : args.positionals) {
        if (input == "-")
            throw UsageError(tr(MessageId::CliStdinSingle));
        const std::string output = batchOutput(input, dir, ext).string();
        const fs::path key = fs::weakly_canonical(output);
        if (const auto [it, fresh] = seen.emplace(key.string(), input); !fresh)
            throw UsageError(format(MessageId::CliSameOutputFormat, input, it->second, output));
        jobs.emplace_back(input, output);
    }

    std::mutex printing;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failed{0};
    // The line counts files; bytes are the outputs' as they come, with no total beforehand.
    ProgressLine progress(io, args);
    ProgressCounts counts{0, jobs.size(), 0, 0};
    progress.update(counts);
    // Called with `printing` held: what a file's conversion prints goes above the line.
    const auto finished = [&](const std::string& output, const auto& print) {
        progress.clear();
        print();
        if (progress.shown())
            io.out.flush();
        ++counts.done;
        std::error_code ec;
        const auto size = output.empty() ? 0 : fs::file_size(output, ec);
        counts.bytes += ec ? 0 : size;
        progress.update(counts);
    };
    const auto work = [&] {
        for (std::size_t k = next++; k < jobs.size(); k = next++) {
            // Named references, not a structured binding: the lambdas below capture them.
            const std::string& input = jobs[k].first;
            const std::string& output = jobs[k].second;
            std::ostringstream err;
            Io local{io.out, err, nullptr};
            try {
                convertOne(input, output, ext, args, options, local);
                const std::lock_guard lock(printing);
                finished(output, [&] { io.out << input << " -> " << output << '\n'; });
            } catch (const Failure& f) {
                ++failed;
                const std::lock_guard lock(printing);
                finished("", [&] { reportError(io, f.stage, f.file, f.what()); });
            } catch (const UsageError& u) {
                ++failed;
                const std::lock_guard lock(printing);
                finished("", [&] { reportError(io, "convert", input, u.what()); });
            } catch (const std::bad_alloc&) {
                ++failed;
                const std::lock_guard lock(printing);
                finished("", [&] { reportError(io, "convert", input, tr(MessageId::CliOutOfMemory)); });
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

    progress.clear();
    const auto done = static_cast<unsigned long long>(jobs.size() - failed);
    const auto all = static_cast<unsigned long long>(jobs.size());
    if (args.has("--quiet"))
        return failed == 0 ? exitOk : exitFailure;
    io.err << "korvix-cli: convert: "
           << format(all == 1 ? MessageId::CliConvertedOneFormat : MessageId::CliConvertedFormat, done, all);
    if (failed > 0)
        io.err << format(MessageId::CliFailedCountFormat, static_cast<unsigned long long>(failed));
    io.err << '\n';
    return failed == 0 ? exitOk : exitFailure;
}

int runConvert(const Args& args, Io& io)
{
    const Options options = parseOptions(args);
    if (options.resize) {
        const std::int64_t pixels = std::int64_t{options.resize->first} * options.resize->second;
        if (pixels > pixelBudgetOf(args).limits.maxPixels)
            throw UsageError(format(MessageId::CliResizeBeyondBudgetFormat, static_cast<long long>(pixels),
                                    static_cast<long long>(pixelBudgetOf(args).limits.maxPixels)));
    }
    const bool toStandardOutput = args.positionals.size() == 2 && args.positionals[1] == "-";
    if (args.has("-d") || (args.has("--to") && !toStandardOutput) || args.positionals.size() > 2) {
        if (!args.has("--to"))
            throw UsageError(tr(MessageId::CliSeveralNeedTo));
        const std::string ext = outputType("", args);
        checkOutputType(ext);
        checkEncoderOptions(args, ext);
        return runBatch(args, ext, options, io);
    }
    if (args.positionals.size() != 2)
        throw UsageError(tr(MessageId::CliGiveInputOutput));
    const std::string& input = args.positionals[0];
    const std::string& output = args.positionals[1];
    if (output == "-" && !args.has("--to"))
        throw UsageError(tr(MessageId::CliStdoutNeedsTo));
    const std::string ext = outputType(output, args);
    checkOutputType(ext);
    checkEncoderOptions(args, ext);
    convertOne(input, output, ext, args, options, io);
    return exitOk;
}

}  // namespace

std::string textureRefusal(TextureLoadStatus status)
{
    switch (status) {
    case TextureLoadStatus::Ok: return "ok";
    case TextureLoadStatus::NotTexture: return tr(MessageId::CliTextureNotKtex);
    case TextureLoadStatus::TooManyMaps: return tr(MessageId::CliTextureTooManyMaps);
    case TextureLoadStatus::UnknownFormat: return tr(MessageId::CliTextureUnknownFormat);
    case TextureLoadStatus::Truncated: return tr(MessageId::CliTextureTruncated);
    case TextureLoadStatus::BadSize: return tr(MessageId::CliTextureBadSize);
    case TextureLoadStatus::DecodeFailed: return tr(MessageId::CliTextureDecodeMemory);
    }
    return "?";
}

OptionSpec qualityOption()
{
    return {"--quality", "LEVEL", tr(MessageId::CliOptionQuality), {"fast", "default", "best"}};
}

OptionSpec jpegQualityOption()
{
    return {"--jpeg-quality", "N", tr(MessageId::CliOptionJpegQuality)};
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
    throw UsageError(tr(MessageId::CliQualityTakes));
}

int jpegQualityOf(const Args& args)
{
    const auto text = args.value("--jpeg-quality");
    if (!text)
        return DEFAULT_JPEG_QUALITY;
    const auto v = parseCount(*text);
    if (!v || *v < MIN_JPEG_QUALITY || *v > MAX_JPEG_QUALITY)
        throw UsageError(tr(MessageId::CliJpegQualityTakes));
    return *v;
}

void checkEncoderOptions(const Args& args, const std::string& ext)
{
    qualityOf(args);
    jpegQualityOf(args);
    if (args.has("--quality") && ext != ".tex")
        throw UsageError(format(MessageId::CliTexOnlyFormat, std::string("--quality")));
    if (args.has("--jpeg-quality") && ext != ".jpg" && ext != ".jpeg")
        throw UsageError(tr(MessageId::CliJpegOnly));
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
    return {"convert", "INPUT... [OUTPUT]", tr(MessageId::CliConvertSummary), tr(MessageId::CliConvertDescription),
            1, static_cast<std::size_t>(-1),
            {{"--map", "K", tr(MessageId::CliOptionMap)},
             {"--format", "FORMAT", tr(MessageId::CliOptionFormat),
              {"dxt1", "dxt3", "rgba4444", "rgb565", "rgba8888"}},
             {"--maps", "N", tr(MessageId::CliOptionMaps),
              {"largest", "keep", "all", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
             {"--resize", "WxH", tr(MessageId::CliOptionResize)},
             {"--fit", "", tr(MessageId::CliOptionFit)},
             {"--alpha", "MODE", tr(MessageId::CliOptionAlpha),
              {"keep", "none", "opaque"}},
             {"--no-alpha", "", tr(MessageId::CliOptionNoAlpha)},
             {"--to", "EXT", tr(MessageId::CliOptionTo),
              {"tex", "tga", "bmp", "tif", "tiff", "jpg", "jpeg", "png"}},
             {"-d", "DIR", tr(MessageId::CliOptionDir)},
             qualityOption(),
             jpegQualityOption(),
             {"-j", "N", tr(MessageId::CliOptionJobs)},
             maxPixelsOption(),
             progressOption(),
             quietOption()},
            runConvert};
}

}  // namespace cli
