// info FILE [--json]: what a file is and its main facts.
#include "Cli.h"
#include "JsonOut.h"
#include "common/Text.h"
#include "VolumeCatalogue.h"

#include "codecs/TextureLoader.h"
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <ostream>

namespace cli {

using namespace korvix;

// The desktop program's information report of a picture (in CmdEdit.cpp).
std::string pictureReport(const std::string& input, Io& io);

namespace {

void printVolumeInfo(const VolumeCatalogue& vol, std::ostream& out)
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

// A texture: the largest map's size, the map count, the format label and whether
// the format carries alpha. The whole texture is decoded, so a damaged one is reported.
bool printTextureInfo(const std::string& path, bool json, std::ostream& out)
{
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    if (!in.read(magic, 4) || std::memcmp(magic, "KTEX", 4) != 0)
        return false;
    in.seekg(0);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const LoadedTexture t = loadTexture(bytes.data(), bytes.size());
    if (!t.ok())
        throw Failure("info", path, describe(t.status));
    const PixelBitmap& largest = t.maps.largest();
    const std::string label(texture::infoOf(t.format)->label);
    if (json) {
        out << "{\"version\": " << jsonVersion << ", \"type\": \"texture\", \"width\": " << largest.width() << ", \"height\": " << largest.height()
            << ", \"maps\": " << t.count() << ", \"format\": \"" << label << "\", \"alpha\": "
            << (t.hasAlpha ? "true" : "false") << "}\n";
    } else {
        out << "type:       texture\n"
            << "format:     " << label << '\n'
            << "width:      " << largest.width() << '\n'
            << "height:     " << largest.height() << '\n'
            << "maps:       " << t.count() << '\n'
            << "alpha:      " << (t.hasAlpha ? "yes" : "no") << '\n';
    }
    return true;
}

const char* imageTypeName(int type)
{
    static const char* const names[] = {"none", "BMP", "PICT", "TGA", "TIFF", "JPEG", "PNG", "EPS (TIFF preview)",
                                        "WMF", "EMF", "PCX", "PGM", "GIF"};
    return type >= 0 && type <= IMAGE_GIF ? names[type] : "unknown";
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
    if (json) {
        out << "{\"version\": " << jsonVersion << ", \"type\": \"image\", \"width\": " << image.width
            << ", \"height\": " << image.height << ", \"alpha\": " << (image.hasAlpha ? "true" : "false") << "}\n";
    } else {
        out << "type:       image\n"
            << "format:     " << imageTypeName(type) << '\n'
            << "width:      " << image.width << '\n'
            << "height:     " << image.height << '\n'
            << "alpha:      " << (image.hasAlpha ? "yes" : "no") << '\n';
    }
    return true;
}

// The kind of file decides what is shown: textures and images are recognised by
// their first bytes; everything else is opened as a volume.
int runInfo(const Args& args, Io& io)
{
    if (args.has("--report")) {
        if (args.has("--json"))
            throw UsageError("--report and --json do not go together");
        io.out << pictureReport(args.positionals[0], io);
        return exitOk;
    }
    if (printTextureInfo(args.positionals[0], args.has("--json"), io.out))
        return exitOk;
    if (printImageInfo(args.positionals[0], args.has("--json"), io.out))
        return exitOk;
    VolumeCatalogue vol(args.positionals[0]);
    if (args.has("--json"))
        writeVolumeJson(vol, false, io.out);
    else
        printVolumeInfo(vol, io.out);
    return exitOk;
}

}  // namespace

CommandSpec infoCommand()
{
    return {"info", "FILE", "show the facts of a volume, a texture or an image",
            "For a volume: comment, signature, entry and file counts and the timestamp\n"
            "(raw, and as a date). For a texture: the largest map's size, the number of\n"
            "maps, the format and whether it carries alpha. For an image (BMP, TGA, TIFF,\n"
            "EPS, JPEG, PNG, PCX, PGM, PICT, WMF, EMF): its type, size and whether it\n"
            "carries alpha; --json gives {\"type\": \"image\", \"width\", \"height\", \"alpha\"}.\n"
            "--report prints the desktop program's information report of a texture,\n"
            "VOLUME::ENTRY or an image, exactly as its message box shows it.",
            1, 1, {{"--json", "", "print JSON"}, {"--report", "", "print the information report"}}, runInfo};
}

}  // namespace cli
