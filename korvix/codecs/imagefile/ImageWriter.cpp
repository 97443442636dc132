// writeImageFile: the writer chosen by the file name's extension.
#include "codecs/imagefile/ImageFile.h"

#include "codecs/CTextException.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

std::string extensionOf(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// saveAsBmp writes by name; it writes the temporary file, which then replaces the target.
void writeBmp(const std::string& path, const PixelBitmap& bitmap)
{
    try {
        AtomicFile file(path);
        bitmap.saveAsBmp(file.tempPath().string());
        file.commit();
    } catch (const CTextException&) {
        throw;
    } catch (const std::exception& e) {
        throw CTextException(5, e.what());
    }
}

void writeTgaFile(const std::string& path, const PixelBitmap& bitmap)
{
    PixelBitmap expanded;
    const PixelBitmap* source = &bitmap;
    if (bitmap.bitsPerPixel() != 32) {
        expanded.copyFrom(bitmap, 32);
        source = &expanded;
    }
    const std::unique_ptr<RawImage> image = rawImageFromBitmap(*source);
    if (!image)
        throw CTextException(10, "TGA: out of memory");
    if (writeTga(*image, path) != 0)
        throw CTextException(5, "TGA: writing " + path + " failed");
}

}  // namespace

bool isWritableImageName(const std::string& path)
{
    static const char* const known[] = {".tga", ".bmp", ".tif", ".tiff", ".jpg", ".jpeg", ".png"};
    const std::string ext = extensionOf(path);
    return std::find(std::begin(known), std::end(known), ext) != std::end(known);
}

void writeImageFile(const std::string& path, const PixelBitmap& bitmap, int jpegQuality)
{
    const std::string ext = extensionOf(path);
    if (ext == ".tga")
        writeTgaFile(path, bitmap);
    else if (ext == ".bmp")
        writeBmp(path, bitmap);
    else if (ext == ".tif" || ext == ".tiff")
        encodeTiff(path, bitmap);
    else if (ext == ".jpg" || ext == ".jpeg")
        encodeJpeg(path, bitmap, jpegQuality);
    else if (ext == ".png")
        encodePng(path, bitmap);
    else
        throw CTextException(2, "cannot write images of type '" + ext + "'");
}
