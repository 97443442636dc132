// Small helpers the convert tests share: a picture written as a TGA file, and
// the JSON that `korvix-cli info --json` prints for a file.
#pragma once

#include "RunCli.h"

#include "codecs/imagefile/ImageFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace testsupport {

inline void writeTgaFile(const std::filesystem::path& path, const PixelBitmap& bmp)
{
    const auto raw = rawImageFromBitmap(bmp);
    ASSERT_TRUE(raw);
    ASSERT_EQ(writeTga(*raw, path.string()), 0);
}

inline nlohmann::json info(const std::filesystem::path& path)
{
    const CliResult r = runCli({"info", path.string(), "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.code == 0 ? nlohmann::json::parse(r.out) : nlohmann::json{};
}

}  // namespace testsupport
