// A libtiff handle over memory: reading from bytes we were given, or writing
// into a buffer with a fixed capacity. libtiff's error texts are collected per
// handle, so concurrent handles never share a global handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <tiffio.h>

class TiffHandle {
public:
    // Reading the TIFF in [data, data + size). maxAlloc, when not 0, caps any
    // single allocation libtiff makes for it (strip and tile buffers, tag arrays).
    TiffHandle(const std::uint8_t* data, std::size_t size, std::uint64_t maxAlloc = 0);
    // Writing into out, which holds capacity bytes; writing beyond sets overflowed().
    TiffHandle(std::uint8_t* out, std::size_t capacity);
    ~TiffHandle();
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;

    TIFF* tiff() const { return m_pTiff; }
    // Closes the handle, flushing what libtiff still holds; false on failure.
    bool close();
    const std::string& error() const { return m_strError; }
    bool overflowed() const { return m_bOverflow; }
    // Bytes written (the end of the furthest write).
    std::size_t written() const { return m_nEnd; }

private:
    static tmsize_t readProc(thandle_t h, void* buf, tmsize_t size);
    static tmsize_t writeProc(thandle_t h, void* buf, tmsize_t size);
    static toff_t seekProc(thandle_t h, toff_t off, int whence);
    static int closeProc(thandle_t h);
    static toff_t sizeProc(thandle_t h);
    static int mapProc(thandle_t h, void** base, toff_t* size);
    static void unmapProc(thandle_t h, void* base, toff_t size);
    static int onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap);
    static int onWarning(TIFF*, void*, const char*, const char*, va_list);
    void open(const char* mode, std::uint64_t maxAlloc);

    const std::uint8_t* m_pIn = nullptr;
    std::uint8_t* m_pOut = nullptr;
    std::size_t m_nSize = 0;  // readable bytes, or the capacity
    std::size_t m_nPos = 0;
    std::size_t m_nEnd = 0;
    bool m_bOverflow = false;
    std::string m_strError;
    TIFF* m_pTiff = nullptr;
};
