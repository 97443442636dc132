// Helpers shared by the document's own files.
#pragma once

#include "codecs/PixelBitmap.h"
#include "document/DocumentHost.h"
#include "filters/ProcessRegion.h"

#include <array>
#include <cstdint>
#include <string>

namespace docinternal {

// Shows the wait cursor for its lifetime; release() restores the arrow early.
class WaitCursor {
public:
    explicit WaitCursor(DocumentHost& host) : m_host(host) { m_host.setWaitCursor(true); }
    ~WaitCursor() { release(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void release()
    {
        if (m_bActive)
            m_host.setWaitCursor(false);
        m_bActive = false;
    }

private:
    DocumentHost& m_host;
    bool m_bActive = true;
};

inline std::string toLowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The file name part of a path (after the last '/' or '\\').
inline std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A byte count with its thousands grouped as the chosen language writes
// them: "1.234.567" in German, "1,234,567" in English.
std::string groupedNumber(std::uint64_t n);

// Clears the document's m_bReady while a command works and sets it again
// when the command leaves, on every path.
class NotReady {
public:
    explicit NotReady(bool& ready) : m_ready(ready) { m_ready = false; }
    ~NotReady() { m_ready = true; }
    NotReady(const NotReady&) = delete;
    NotReady& operator=(const NotReady&) = delete;

private:
    bool& m_ready;
};

// Pixel operations the image commands and their undo share (32-bit maps).
// Each byte inside the region xor its channel's mask byte (blue, green, red, alpha).
void xorBytes(PixelBitmap& map, const ProcessRegion& region, const std::array<std::uint8_t, 4>& mask);
// All four channels mirrored left to right or top to bottom, where they lie.
void mirrorPixels(PixelBitmap& map, bool leftRight);
// The map turned by a quarter: a square map where it lies (then moved into
// the result), any other into a new bitmap with alpha, `map` unchanged until
// the new one could be had (throws CTextException or std::bad_alloc before).
PixelBitmap rotatedPixels(PixelBitmap& map, bool clockwise);

}  // namespace docinternal
