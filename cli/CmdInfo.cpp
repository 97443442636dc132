// info FILE [--json]: what a file is and its main facts.
#include "Cli.h"
#include "Language.h"
#include "JsonOut.h"
#include "ConvertOutput.h"
#include "common/Text.h"
#include "CliVolume.h"

#include "document/PictureLoader.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <nlohmann/json.hpp>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include <ostream>

namespace fs = std::filesystem;

namespace cli {

using namespace korvix;
using korvix::MessageId;

// The desktop program's information report of a picture (in CmdEdit.cpp).
std::string pictureReport(const std::string& input, Io& io);

namespace {

void printVolumeInfo(const CliVolume& vol, std::ostream& out)
{
    const auto& h = vol.header();
    const auto when = fromDosTimestamp(h.timestamp);
    out << "type:       QORB volume\n"
        << "comment:    " << latin1ToUtf8(vol.comment()) << '\n'
        << "signature:  " << h.signature << '\n'
        << "entries:    " << h.entryCount << '\n'
        << "files:      " << h.fileCount << '\n'
        << "timestamp:  " << h.timestamp << " (" << (when ? formatDateTime(*when) : "not a valid date") << ")\n";
}

std::string jsonText(const std::string& utf8)
{
    return nlohmann::json(utf8).dump();
}

// A texture: the largest map's size, the map count, the format label and whether
// the format carries alpha. The whole texture is decoded, so a damaged one is reported.
void printTextureInfo(const std::string& where, std::vector<std::uint8_t> bytes, bool json, std::ostream& out)
{
    const LoadedPicture t = loadTextureBytes(std::move(bytes));
    if (!t.ok())
        throw Failure("info", where, textureRefusal(t.textureStatus));
    const PixelBitmap& largest = t.maps->largest();
    const std::string label(texture::infoOf(*t.format)->label);
    if (json) {
        out << "{\"version\": " << jsonVersion << ", \"type\": \"texture\", \"file\": " << jsonText(where)
            << ", \"width\": " << largest.width() << ", \"height\": " << largest.height() << ", \"maps\": " << t.maps->count()
            << ", \"format\": \"" << label << "\", \"alpha\": " << (t.alpha ? "true" : "false") << "}\n";
    } else {
        out << "type:       texture\n"
            << "format:     " << label << '\n'
            << "width:      " << largest.width() << '\n'
            << "height:     " << largest.height() << '\n'
            << "maps:       " << t.maps->count() << '\n'
            << "alpha:      " << (t.alpha ? "yes" : "no") << '\n';
    }
}

bool printTextureFileInfo(const std::string& path, bool json, std::ostream& out)
{
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    if (!in.read(magic, 4) || std::memcmp(magic, "KTEX", 4) != 0)
        return false;
    in.seekg(0);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    printTextureInfo(path, std::move(bytes), json, out);
    return true;
}

const char* imageTypeName(int type)
{
    static const char* const names[] = {"none", "BMP", "PICT", "TGA", "TIFF", "JPEG", "PNG", "EPS (TIFF preview)",
                                        "WMF", "EMF", "PCX", "PGM", "GIF"};
    return type >= 0 && type <= IMAGE_GIF ? names[type] : "unknown";
}

void printImageFacts(const std::string& where, int type, const ImageHeader& image, bool json, std::ostream& out)
{
    if (json) {
        out << "{\"version\": " << jsonVersion << ", \"type\": \"image\", \"file\": " << jsonText(where)
            << ", \"format\": \"" << imageTypeName(type) << "\", \"width\": " << image.width
            << ", \"height\": " << image.height << ", \"alpha\": " << (image.hasAlpha ? "true" : "false") << "}\n";
    } else {
        out << "type:       image\n"
            << "format:     " << imageTypeName(type) << '\n'
            << "width:      " << image.width << '\n'
            << "height:     " << image.height << '\n'
            << "alpha:      " << (image.hasAlpha ? "yes" : "no") << '\n';
    }
}

// An image of any type decodeFile reads: its size and whether it carries alpha,
// from its header alone; no pixel is decoded, so a small file declaring a huge
// picture costs no more than its bytes. A volume is never taken for an image,
// whatever its first bytes happen to be.
bool printImageInfo(const std::string& path, bool json, std::ostream& out)
{
    std::vector<std::uint8_t> bytes;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        bytes.resize(4096);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(in.gcount()));
        if (bytes.size() >= 268 && std::memcmp(bytes.data() + 256, "KRMTLW_V2.00", 12) == 0)
            return false;
        if (detectImageFileType(path, bytes.data(), bytes.size()) == IMAGE_NONE)
            return false;
        // The rest: the header checks measure the declared size against the data.
        std::copy(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), std::back_inserter(bytes));
    }
    const int type = detectImageFileType(path, bytes.data(), bytes.size());
    ImageHeader image;
    try {
        image = probeImage(type, bytes.data(), bytes.size(), 32);
    } catch (const CTextException& err) {
        throw Failure("info", path, err.message());
    }
    printImageFacts(path, type, image, json, out);
    return true;
}

// A volume entry: a texture or an image by its content, else its place and size.
void printEntryInfo(const std::string& spec, bool json, std::ostream& out)
{
    const auto split = spec.find("::");
    CliVolume vol(spec.substr(0, split));
    const int index = vol.resolve(spec.substr(split + 2));
    const EntryRecord& e = vol.record(index);
    std::vector<std::uint8_t> bytes;
    if (!e.isDirectory) {
        bytes.reserve(e.size);
        vol.readData(index, [&](const unsigned char* data, std::size_t n) { bytes.insert(bytes.end(), data, data + n); });
    }
    if (hasTextureTag(bytes.data(), bytes.size())) {
        printTextureInfo(spec, std::move(bytes), json, out);
        return;
    }
    const int type = e.isDirectory ? IMAGE_NONE : detectImageType(bytes.data(), bytes.size());
    if (type != IMAGE_NONE) {
        ImageHeader image;
        try {
            image = probeImage(type, bytes.data(), bytes.size(), 32);
        } catch (const CTextException& err) {
            throw Failure("info", spec, err.message());
        }
        printImageFacts(spec, type, image, json, out);
        return;
    }
    if (json) {
        out << "{\"version\": " << jsonVersion << ", \"type\": \"" << (e.isDirectory ? "directory" : "file")
            << "\", \"file\": " << jsonText(spec) << ", \"path\": " << jsonText(vol.pathOf(index))
            << ", \"index\": " << index << ", \"offset\": " << e.offset << ", \"size\": " << e.size
            << "}\n";
    } else {
        out << "type:       " << (e.isDirectory ? "directory" : "file") << " in a volume\n"
            << "path:       " << vol.pathOf(index) << '\n'
            << "index:      " << index << '\n'
            << "offset:     " << e.offset << '\n'
            << "size:       " << e.size << '\n';
    }
}

// The kind of file decides what is shown: textures and images are recognised by
// their first bytes; everything else is opened as a volume.
void printInfo(const std::string& file, bool json, std::ostream& out)
{
    std::error_code ec;
    if (file.find("::") != std::string::npos && !fs::exists(file, ec)) {
        printEntryInfo(file, json, out);
        return;
    }
    if (fs::is_directory(file, ec))
        throw Failure("info", file, tr(korvix::MessageId::CliIsDirectory));
    if (printTextureFileInfo(file, json, out))
        return;
    if (printImageInfo(file, json, out))
        return;
    // The header's facts; the catalogue is not walked.
    const CliVolume vol(file, true, CliVolume::Records::Skip);
    if (json)
        writeVolumeJson(vol, nullptr, out);
    else
        printVolumeInfo(vol, out);
}

// Several files: a block per file headed by its name, or one JSON document per
// line; a failure is reported and the others are still shown.
int runInfo(const Args& args, Io& io)
{
    if (args.has("--report")) {
        if (args.has("--json"))
            throw UsageError(tr(MessageId::CliReportAndJson));
        if (args.positionals.size() != 1)
            throw UsageError(tr(MessageId::CliReportOneFile));
        io.out << pictureReport(args.positionals[0], io);
        return exitOk;
    }
    const bool json = args.has("--json");
    const bool several = args.positionals.size() > 1;
    int failures = 0;
    for (std::size_t k = 0; k < args.positionals.size(); ++k) {
        const std::string& file = args.positionals[k];
        std::ostringstream block;
        try {
            printInfo(file, json, block);
        } catch (const Failure& f) {
            if (!several)
                throw;
            reportError(io, f.stage, f.file, f.what());
            ++failures;
            continue;
        }
        if (several && !json)
            io.out << (k > 0 ? "\n" : "") << "file:       " << file << '\n';
        io.out << block.str();
    }
    return failures == 0 ? exitOk : exitFailure;
}

}  // namespace

CommandSpec infoCommand()
{
    return {"info", "FILE...", tr(MessageId::CliInfoSummary), tr(MessageId::CliInfoDescription),
            1, static_cast<std::size_t>(-1),
            {{"--json", "", tr(MessageId::CliOptionJson)}, {"--report", "", tr(MessageId::CliOptionReport)}}, runInfo};
}

}  // namespace cli
