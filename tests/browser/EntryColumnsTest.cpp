// The list's column values from the entries' headers, for each texture format
// and for TGA images, and the texts of the type column and the count line.
#include "document/EntryColumns.h"
#include "document/EntryFacts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A texture header: format code, number of maps, the largest map's size.
std::vector<std::uint8_t> textureHead(std::uint8_t code, int maps, std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> h(36, 0);
    std::memcpy(h.data(), "KTEX", 4);
    h[8] = code;
    h[20] = static_cast<std::uint8_t>(maps);
    for (int i = 0; i < 4; ++i) {
        h[static_cast<std::size_t>(24 + i)] = static_cast<std::uint8_t>(width >> (8 * i));
        h[static_cast<std::size_t>(28 + i)] = static_cast<std::uint8_t>(height >> (8 * i));
    }
    return h;
}

std::vector<std::uint8_t> tgaHead(int width, int height, int bits)
{
    std::vector<std::uint8_t> h(18, 0);
    h[2] = 2;
    h[12] = static_cast<std::uint8_t>(width);
    h[13] = static_cast<std::uint8_t>(width >> 8);
    h[14] = static_cast<std::uint8_t>(height);
    h[15] = static_cast<std::uint8_t>(height >> 8);
    h[16] = static_cast<std::uint8_t>(bits);
    return h;
}

std::vector<std::uint8_t> cut(std::vector<std::uint8_t> bytes, std::size_t length)
{
    bytes.resize(length);
    return bytes;
}

struct Columns {
    std::string format, dimensions, maps;
    friend bool operator==(const Columns&, const Columns&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Columns& c)
    {
        return os << c.format << " | " << c.dimensions << " | " << c.maps;
    }
};

Columns columnsOf(const std::vector<std::uint8_t>& head, std::uint64_t entrySize)
{
    const EntryFacts f = entryFactsOf(head.data(), head.size(), entrySize);
    return {entrycolumns::formatText(f), entrycolumns::dimensionsText(f), entrycolumns::mapsText(f)};
}

constexpr std::uint64_t ROOMY = std::uint64_t{1} << 26;

}  // namespace

TEST(EntryColumns, TextureFormatsAndTgaImagesFromTheirHeaders)
{
    const struct {
        std::vector<std::uint8_t> head;
        std::uint64_t size;
        Columns columns;
    } cases[] = {
        {textureHead(10, 9, 256, 256), ROOMY, {"DXT1", "256 × 256", "9"}},
        {textureHead(12, 1, 512, 128), ROOMY, {"DXT3", "512 × 128", "1"}},
        {textureHead(6, 5, 64, 64), ROOMY, {"RGBA 4444", "64 × 64", "5"}},
        {textureHead(8, 0, 32, 16), ROOMY, {"RGB 565", "32 × 16", "1"}},  // a count of 0 is one map
        {textureHead(2, 2, 2048, 2048), ROOMY, {"RGBA 8888", "2048 × 2048", "2"}},
        {tgaHead(256, 128, 32), ROOMY, {"TGA 32 Bit", "256 × 128", "1"}},
        {tgaHead(64, 64, 24), ROOMY, {"TGA 24 Bit", "64 × 64", "1"}},
        // Headers the loader refuses, or maps the entry cannot hold.
        {textureHead(7, 1, 64, 64), ROOMY, {"fehlerhaft", "", ""}},
        {textureHead(10, 11, 64, 64), ROOMY, {"fehlerhaft", "", ""}},
        {textureHead(2, 1, 64, 64), 36 + 64 * 64 * 4 - 1, {"fehlerhaft", "", ""}},
        {cut(textureHead(10, 1, 8, 8), 30), 30, {"fehlerhaft", "", ""}},
        {tgaHead(0, 64, 32), ROOMY, {"fehlerhaft", "", ""}},
        // No picture at all.
        {{'h', 'e', 'l', 'l', 'o'}, 5, {"", "", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(columnsOf(c.head, c.size), c.columns);
    EXPECT_EQ(columnsOf(textureHead(2, 1, 64, 64), 36 + 64 * 64 * 4), (Columns{"RGBA 8888", "64 × 64", "1"}))
        << "exactly the bytes the maps need";
    EXPECT_EQ(entrycolumns::formatText(EntryFacts{}), "") << "not read yet";
}

TEST(EntryColumns, TypeSizeAndCountTexts)
{
    const auto record = [](const char* name, int kind) {
        EntryRecord r;
        r.name.assign(name);
        r.kind = kind;
        return r;
    };
    EXPECT_EQ(entrycolumns::typeText(record("a.tex", KIND_IMAGE)), "Textur");
    EXPECT_EQ(entrycolumns::typeText(record("a.wav", KIND_WAVE)), "Sound/Sprachsample");
    EXPECT_EQ(entrycolumns::typeText(record("levels.ini", KIND_OTHER)), "INI-Datei");
    EXPECT_EQ(entrycolumns::typeText(record("readme", KIND_OTHER)), "Datei");
    EXPECT_EQ(entrycolumns::typeText(record("dots.", KIND_OTHER)), "Datei");
    EXPECT_EQ(entrycolumns::typeText(record("\xe4.\xe9xt", KIND_OTHER)), "\xc3\xa9XT-Datei") << "UTF-8; é has no ASCII capital";
    EXPECT_EQ(entrycolumns::sizeText(16428), "16.428");
    EXPECT_EQ(entrycolumns::sizeText(4000000000u), "4.000.000.000");

    using entrycolumns::Counts;
    const struct {
        Counts counts;
        const char* text;
    } counts[] = {
        {{.listed = 812, .onPage = 812, .listedBytes = 24500000}, "812 Dateien, 24,5 MB"},
        {{.listed = 812, .onPage = 812, .listedBytes = 24500000, .selected = 3, .selectedBytes = 1234567},
         "812 Dateien, 3 ausgewählt, 1,2 MB"},
        {{.listed = 1, .onPage = 1, .listedBytes = 12}, "1 Datei, 12 B"},
        {{.listed = 0, .onPage = 0}, "0 Dateien, 0 B"},
        {{.listed = 37, .onPage = 100000, .filtered = true, .listedBytes = 4096}, "37 von 100.000 Dateien, 4,1 kB"},
        {{.listed = 1, .onPage = 1, .filtered = true, .listedBytes = 5}, "1 von 1 Datei, 5 B"},
        {{.listed = 0, .onPage = 7, .filtered = true}, "0 von 7 Dateien, 0 B"},
    };
    for (const auto& c : counts)
        EXPECT_EQ(entrycolumns::countText(c.counts), c.text);
}
