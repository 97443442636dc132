// convert INPUT OUTPUT: textures, volume entries and images to textures or images.
#include "Cli.h"
#include "ConvertOutput.h"
#include "PixelBudget.h"
#include "VolumeCatalogue.h"

#include "codecs/CTextException.h"
#include "codecs/MapSet.h"
#include "codecs/TextureFormat.h"
#include "codecs/TextureLoader.h"
#include "codecs/TextureWriter.h"
#include "codecs/imagefile/ImageFile.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

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

bool hasMagic(const std::vector<std::uint8_t>& bytes)
{
    return bytes.size() >= 4 && std::memcmp(bytes.data(), "KTEX", 4) == 0;
}

TextureSource fromTexture(std::vector<std::uint8_t> bytes, const std::string& where, const std::string& stage)
{
    LoadedTexture t = loadTexture(bytes.data(), bytes.size());
    if (!t.ok())
        throw Failure(stage, where, describe(t.status));
    TextureSource s;
    s.maps = std::move(t.maps);
    s.hasAlpha = t.hasAlpha;
    s.format = t.format;
    s.textureBytes = std::move(bytes);
    return s;
}

// Every image type the decoders know is read; a refused one (GIF) fails in the
// decoder with its own reason.
void checkImageType(int type, const std::string& where, const std::string& stage)
{
    if (type == IMAGE_NONE)
        throw Failure(stage, where, "neither a texture nor a known image type");
}

TextureSource fromImage(PixelBitmap bitmap)
{
    TextureSource s;
    s.hasAlpha = bitmap.hasAlpha();
    s.maps = MapSet(1);
    s.maps[0] = std::move(bitmap);
    return s;
}

// The first bytes of a file entry: enough to tell its type.
std::vector<std::uint8_t> readEntryHead(VolumeCatalogue& vol, const WalkedEntry& e, const std::string& where,
                                        const std::string& stage)
{
    vol.checkDataRange(e);
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min<std::uint64_t>(e.entry.size, 4096)));
    if (!head.empty() && !vol.group().getDataBlock(e.entry.offset, head.size(), head.data()))
        throw Failure(stage, where, "cannot read the entry");
    return head;
}

TextureSource decodeImage(const std::uint8_t* bytes, std::size_t size, const std::string& path,
                          const PixelBudget& budget, const std::string& where, const std::string& stage)
{
    PixelBitmap bitmap;
    try {
        if (path.empty())
            decodeMemory(bytes, size, bitmap, 32, budget.limits);
        else
            decodeFile(path, bitmap, 32, budget.limits);
    } catch (const CTextException& err) {
        throw Failure(stage, where, decodeFailureDetail(err.message(), err.code()));
    }
    return fromImage(std::move(bitmap));
}

// A file path, or VOLUME::ENTRY (ENTRY as for extract); a path naming an
// existing file is never split. The type comes from the first bytes and the
// size is held to the budget before the whole input is read.
TextureSource loadSource(const std::string& input, const PixelBudget& budget, const std::string& stage)
{
    const auto split = input.find("::");
    std::error_code ec;
    if (split != std::string::npos && !fs::exists(input, ec)) {
        VolumeCatalogue vol(input.substr(0, split));
        const WalkedEntry& e = vol.resolve(input.substr(split + 2));
        if (e.isDirectory())
            throw Failure(stage, input, "the entry is a directory");
        const std::vector<std::uint8_t> head = readEntryHead(vol, e, input, stage);
        if (!hasMagic(head))
            checkImageType(detectImageType(head.data(), head.size()), input, stage);
        checkInputSize(e.entry.size, budget, stage, input);
        std::vector<std::uint8_t> bytes;
        bytes.reserve(e.entry.size);
        vol.readData(e, [&](const unsigned char* data, std::size_t n) { bytes.insert(bytes.end(), data, data + n); });
        if (hasMagic(bytes))
            return fromTexture(std::move(bytes), input, stage);
        return decodeImage(bytes.data(), bytes.size(), "", budget, input, stage);
    }

    std::vector<std::uint8_t> head(4096);
    {
        std::ifstream in(input, std::ios::binary);
        if (!in)
            throw Failure(stage, input, "cannot open the file");
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
    }
    const bool texture = hasMagic(head);
    if (!texture)
        checkImageType(detectImageFileType(input, head.data(), head.size()), input, stage);
    const auto size = fs::file_size(input, ec);
    if (ec)
        throw Failure(stage, input, "cannot read the file");
    checkInputSize(size, budget, stage, input);
    if (texture)
        return fromTexture(readWholeFile(input, stage), input, stage);
    return decodeImage(nullptr, 0, input, budget, input, stage);
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

void writeImage(const TextureSource& source, const Args& args, const std::string& output)
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
    for (const char* option : {"--format", "--maps", "--no-alpha"})
        if (args.has(option))
            throw UsageError(std::string(option) + " applies to .tex output only");

    PixelBitmap map(source.maps[index]);
    map.setHasAlpha(source.hasAlpha);
    if (map.width() < 1 || map.height() < 1)
        throw Failure("convert", output, "the map is empty");
    try {
        writeImageFile(output, map);
    } catch (const CTextException& err) {
        throw Failure("convert", output, err.message());
    }
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

void writeTex(const TextureSource& source, const Args& args, const std::string& output)
{
    if (args.has("--map"))
        throw UsageError("--map applies to image outputs; a texture is written from the largest map");
    const bool alpha = source.hasAlpha && !args.has("--no-alpha");
    std::optional<int> formatIndex;
    if (const auto f = args.value("--format")) {
        formatIndex = parseFormat(*f);
        const texture::FormatInfo& info = texture::FORMATS[static_cast<std::size_t>(*formatIndex)];
        if (info.hasAlpha != alpha)
            throw Failure("convert", output,
                          std::string(info.label)
                              + (alpha ? " has no alpha channel; give --no-alpha or a format with alpha (dxt3, rgba4444, rgba8888)"
                                       : " needs an alpha channel, which is not written; choose dxt1 or rgb565"));
    }

    const std::string maps = args.value("--maps").value_or("largest");
    MapOption option = MapOption::LargestOnly;
    int count = 1;
    if (maps == "keep") {
        if (!source.textureBytes.empty()) {
            if (args.has("--format") || args.has("--no-alpha"))
                throw UsageError("--maps keep writes the texture as loaded; --format and --no-alpha do not apply");
            try {
                AtomicFile file(output);
                file.write(source.textureBytes.data(), source.textureBytes.size());
                file.commit();
            } catch (const std::runtime_error& err) {
                throw Failure("convert", output, err.what());
            }
            return;
        }
        option = MapOption::KeepAll;  // an image has no loaded bytes: its one map is written
    } else if (maps != "largest") {
        const auto n = parseCount(maps);
        if (!n)
            throw UsageError("--maps takes largest, keep or a number of maps");
        const int limit = std::min(texture::mapsPossible(source.maps.largest().width(), source.maps.largest().height()), texture::MAX_MAPS);
        if (*n < 1 || *n > limit)
            throw Failure("convert", output, "the image allows 1 to " + std::to_string(limit) + " maps");
        option = MapOption::Generate;
        count = *n;
    }

    const int index = formatIndex.value_or(alpha ? 1 : 0);
    const TextureWriteStatus status = writeTexture(output, option, alpha, count, source.maps.largest(), index);
    if (status != TextureWriteStatus::Ok)
        throw Failure("convert", output, describe(status));
}

int runConvert(const Args& args, Io&)
{
    const std::string& input = args.positionals[0];
    const std::string& output = args.positionals[1];
    const std::string ext = lower(fs::path(output).extension().string());
    if (ext != ".tex" && !isWritableImageName(output))
        throw UsageError("the output must end in .tex, .tga, .bmp, .tif, .tiff, .jpg, .jpeg or .png");

    try {
        const TextureSource source = loadSource(input, pixelBudgetOf(args), "convert");
        if (ext == ".tex")
            writeTex(source, args, output);
        else
            writeImage(source, args, output);
    } catch (const CTextException& err) {
        // A bitmap that could not be made (code 10) on the way.
        throw Failure("convert", input, err.message());
    }
    return exitOk;
}

}  // namespace

void writeConverted(const TextureSource& source, const Args& args, const std::string& output)
{
    if (lower(fs::path(output).extension().string()) == ".tex")
        writeTex(source, args, output);
    else
        writeImage(source, args, output);
}

CommandSpec convertCommand()
{
    return {"convert", "INPUT OUTPUT", "convert a texture or an image",
            "INPUT is a texture file, VOLUME::ENTRY (ENTRY as for extract) or an image\n"
            "(BMP, TGA, TIFF, EPS with a TIFF preview, JPEG, PNG, PCX, PGM, PICT, WMF, EMF).\n"
            "OUTPUT's extension chooses the result: .tex writes a texture; .tga, .bmp,\n"
            ".tif/.tiff, .jpg/.jpeg and .png write one map (--map K, 0 = the smallest;\n"
            "default the largest), TGA and PNG with alpha when the input has it.\n"
            "For .tex, the alpha channel is written when the input has one and --no-alpha is\n"
            "not given; --format defaults to dxt3 with alpha and dxt1 without, and must fit.\n"
            "--maps largest (default) writes the largest map only, keep writes a texture's\n"
            "bytes as loaded, N generates N maps (1 up to what the image's sides allow,\n"
            "at most 10), each reduced from the full image.\n"
            "A picture larger than --max-pixels (default 67108864, 8192 x 8192) is refused\n"
            "from its header, before it is decoded, and so is an input larger than such a\n"
            "picture can be. A failed conversion leaves no output file and an existing file untouched.",
            2, 2,
            {{"--map", "K", "the map to write as an image (0 = smallest)"},
             {"--format", "FORMAT", "dxt1, dxt3, rgba4444, rgb565 or rgba8888"},
             {"--maps", "largest|keep|N", "the maps of a .tex output"},
             {"--no-alpha", "", "write a texture without its alpha channel"},
             maxPixelsOption()},
            runConvert};
}

}  // namespace cli
