// Where the shown picture came from, and the status bar's format pane that
// names it at a glance: " DXT3 · 5 Maps · Alpha" for a texture, " PNG · Alpha"
// for an image file, " Zwischenablage" for a paste. The pane follows the
// document: the number of maps and the alpha channel as they are now, the
// format as the picture was loaded.
#pragma once

#include "codecs/TextureFormat.h"

#include <string>

struct PictureOrigin {
    enum class Kind { None, Texture, Image, Clipboard };
    Kind kind = Kind::None;
    texture::Format format = texture::Format::Dxt1;  // a texture's pixel format
    int imageType = 0;                               // an image's type (ImageType)

    static PictureOrigin ofTexture(texture::Format f) { return {Kind::Texture, f, 0}; }
    static PictureOrigin ofImage(int type) { return {Kind::Image, texture::Format::Dxt1, type}; }
    static PictureOrigin ofClipboard() { return {Kind::Clipboard, texture::Format::Dxt1, 0}; }
    friend bool operator==(const PictureOrigin&, const PictureOrigin&) = default;
};

// The name of an image type the image layer reads ("PNG", "TIFF", ...); empty
// for none.
std::string imageTypeName(int type);

// The format pane's text in the chosen language; " " when nothing is shown.
std::string formatPaneText(const PictureOrigin& origin, int maps, bool alpha);
