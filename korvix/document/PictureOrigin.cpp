#include "document/PictureOrigin.h"

#include "codecs/imagefile/ImageFile.h"
#include "common/MessageTable.h"

using korvix::MessageId;

std::string imageTypeName(int type)
{
    switch (type) {
    case IMAGE_BMP: return "BMP";
    case IMAGE_PICT: return "PICT";
    case IMAGE_TGA: return "TGA";
    case IMAGE_TIFF: return "TIFF";
    case IMAGE_JPEG: return "JPEG";
    case IMAGE_PNG: return "PNG";
    case IMAGE_EPS: return "EPS";
    case IMAGE_WMF: return "WMF";
    case IMAGE_EMF: return "EMF";
    case IMAGE_PCX: return "PCX";
    case IMAGE_PGM: return "PGM";
    case IMAGE_GIF: return "GIF";
    default: return {};
    }
}

std::string formatPaneText(const PictureOrigin& origin, int maps, bool alpha)
{
    static constexpr const char* SEPARATOR = " · ";
    std::string text;
    switch (origin.kind) {
    case PictureOrigin::Kind::None:
        return " ";
    case PictureOrigin::Kind::Texture: {
        const texture::FormatInfo* info = texture::infoOf(origin.format);
        text = info ? std::string(info->label) : std::string("?");
        text += SEPARATOR;
        text += maps == 1 ? std::string(korvix::msg(MessageId::FormatPaneOneMap))
                          : korvix::MessageTable::format(MessageId::FormatPaneMapsFormat, maps);
        break;
    }
    case PictureOrigin::Kind::Image:
        text = imageTypeName(origin.imageType);
        break;
    case PictureOrigin::Kind::Clipboard:
        text = korvix::msg(MessageId::FormatPaneClipboard);
        break;
    }
    if (alpha) {
        text += SEPARATOR;
        text += korvix::msg(MessageId::FormatPaneAlpha);
    }
    return " " + text;
}
