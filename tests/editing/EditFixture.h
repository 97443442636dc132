// A document over the recording host, loaded with a one-map picture through
// the paste or with a texture file, and helpers to compare pixels.
#pragma once

#include "FakeHost.h"
#include "TextureBuilder.h"

#include "document/CKestrelDoc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace edittest {

// A pattern in which neighbouring pixels differ in every byte.
inline std::uint32_t pattern(int x, int y)
{
    const std::uint32_t b = static_cast<std::uint32_t>(x * 37 + y * 11) & 0xFF;
    const std::uint32_t g = static_cast<std::uint32_t>(x * 13 + y * 71 + 5) & 0xFF;
    const std::uint32_t r = static_cast<std::uint32_t>(x * 91 + y * 7 + 9) & 0xFF;
    const std::uint32_t a = static_cast<std::uint32_t>(x * 29 + y * 53 + 3) & 0xFF;
    return a << 24 | r << 16 | g << 8 | b;
}

inline std::uint8_t byteOf(std::uint32_t pixel, int channel)
{
    return static_cast<std::uint8_t>(pixel >> (8 * channel));
}

struct EditFixture : ::testing::Test {
    testsupport::TempDir dir;
    FakeHost host;
    CKestrelDoc doc{host};

    // Each case loads a fresh picture over the last one's changes; the
    // question asked before that has tests of its own.
    EditFixture() { doc.setAskBeforeDiscard(false); }

    // A one-map picture of w x h pixels of pattern(); with alpha through
    // "Alphakanal erzeugen", which makes the stored alpha bytes count.
    void loadPicture(int w, int h, bool alpha, std::uint32_t (*pixel)(int, int) = pattern)
    {
        PixelBitmap b;
        b.create(w, h, 32, false);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reinterpret_cast<std::uint32_t*>(b.row(y))[x] = pixel(x, y);
        host.clipboard = b;
        doc.paste();
        ASSERT_EQ(doc.mapCount(), 1);
        if (alpha) {
            if (!doc.hasAlpha())
                doc.createAlpha();
        } else if (doc.hasAlpha()) {
            doc.removeAlpha();
        }
        host.messages.clear();
    }

    // A texture of `maps` maps, largest w x h, in RGBA 8888.
    void loadTexture(int w, int h, int maps)
    {
        const auto bytes = testsupport::textureBytes(w, h, maps, 2, [](int, int x, int y) { return pattern(x, y); });
        testsupport::writeFile(dir / "t.tex", bytes);
        ASSERT_TRUE(doc.openFile((dir / "t.tex").string(), false));
        host.messages.clear();
    }

    const PixelBitmap& map() const { return (*doc.maps())[0]; }
    std::uint32_t px(int x, int y) const { return map().pixelAt(x, y); }

    // Selects columns x ... x + w - 1 and rows y ... y + h - 1 with the mouse,
    // at zoom 32 so that a single pixel can be selected.
    void select(int x, int y, int w, int h)
    {
        doc.setZoomCopy(32);
        const PictureGeometry v = doc.selectionView();
        const int z = v.zoom;
        const TrackerRect p = SelectionTracker::pictureRect(v);
        doc.tracker().beginTrack(p.left + x * z + 3, p.top + y * z + 3, v);
        doc.tracker().trackTo(p.left + (x + w) * z - 3, p.top + (y + h) * z - 3);
        doc.tracker().endTrack();
        ASSERT_EQ(doc.tracker().selectionImageRect(), (ImageRect{x, y, x + w - 1, y + h - 1}));
    }
};

}  // namespace edittest
