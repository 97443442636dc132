// What convert writes, shared with edit: a texture (.tex with --format, --maps,
// --no-alpha) or an image chosen by the output's extension.
#pragma once

#include "Cli.h"

#include "codecs/DxtBlock.h"
#include "codecs/MapSet.h"
#include "codecs/TextureLoader.h"
#include "codecs/TextureFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The maps with the alpha property, and for a texture its format and its
// bytes as loaded (empty when the maps no longer are what was loaded).
struct TextureSource {
    MapSet maps;
    bool hasAlpha = false;
    std::optional<texture::Format> format;
    std::vector<std::uint8_t> textureBytes;
};

// Why the texture loader refused a texture, in the chosen language.
std::string textureRefusal(TextureLoadStatus status);

// Writes `source` to `output` by its extension; throws Failure or UsageError.
void writeConverted(const TextureSource& source, const Args& args, const std::string& output);

// The encoders' settings: --quality fast|default|best (the block compressor's,
// for textures) and --jpeg-quality N (1 ... 100, for JPEG). Their table entries,
// their values (a bad value is a usage error), and the check, before any work,
// that an output of type `ext` (".tex", ".jpg", ...) can use what was given.
OptionSpec qualityOption();
OptionSpec jpegQualityOption();
dxt::Quality qualityOf(const Args& args);
int jpegQualityOf(const Args& args);
void checkEncoderOptions(const Args& args, const std::string& ext);

}  // namespace cli
