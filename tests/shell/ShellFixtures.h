// Texture files and a settings store for the Qt tests of the desktop program.
#pragma once

#include "TextureBuilder.h"

#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace shelltest {

// A texture file in the directory: RGBA 8888 (with alpha) or RGB 565 (without).
inline QString writeTexture(const QTemporaryDir& dir, const QString& name, int width, int height, int maps,
                            bool alpha, const testsupport::PixelFn& pixel = {})
{
    const QString path = dir.filePath(name);
    testsupport::writeFile(path.toStdString(), testsupport::textureBytes(width, height, maps, alpha ? 2 : 8, pixel));
    return path;
}

// An INI settings file of the test's own, so no test touches the user's settings.
inline std::unique_ptr<QSettings> settingsIn(const QTemporaryDir& dir)
{
    return std::make_unique<QSettings>(dir.filePath(QStringLiteral("korvix.ini")), QSettings::IniFormat);
}

}  // namespace shelltest
