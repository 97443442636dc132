#include "TiffHandle.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

TiffHandle::TiffHandle(const std::uint8_t* data, std::size_t size, std::uint64_t maxAlloc)
    : m_pIn(data), m_nSize(size), m_nEnd(size)
{
    open("r", maxAlloc);
}

TiffHandle::TiffHandle(std::uint8_t* out, std::size_t capacity) : m_pOut(out), m_nSize(capacity)
{
    open("w", 0);
}

TiffHandle::~TiffHandle()
{
    close();
}

void TiffHandle::open(const char* mode, std::uint64_t maxAlloc)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) {
        m_strError = "out of memory";
        return;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, onError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onWarning, this);
    if (maxAlloc > 0)
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(maxAlloc));
    m_pTiff = TIFFClientOpenExt("memory", mode, this, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                                unmapProc, options);
    TIFFOpenOptionsFree(options);
}

bool TiffHandle::close()
{
    if (!m_pTiff)
        return true;
    bool ok = true;
    if (m_pOut)
        ok = TIFFFlush(m_pTiff) == 1;
    TIFFClose(m_pTiff);
    m_pTiff = nullptr;
    return ok && !m_bOverflow;
}

tmsize_t TiffHandle::readProc(thandle_t h, void* buf, tmsize_t size)
{
    auto* self = static_cast<TiffHandle*>(h);
    if (!self->m_pIn || size < 0)
        return -1;
    const std::size_t available = self->m_nPos < self->m_nSize ? self->m_nSize - self->m_nPos : 0;
    const std::size_t n = static_cast<std::size_t>(size) < available ? static_cast<std::size_t>(size) : available;
    if (n)
        std::memcpy(buf, self->m_pIn + self->m_nPos, n);
    self->m_nPos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t TiffHandle::writeProc(thandle_t h, void* buf, tmsize_t size)
{
    auto* self = static_cast<TiffHandle*>(h);
    if (!self->m_pOut || size < 0)
        return -1;
    const std::size_t n = static_cast<std::size_t>(size);
    if (self->m_nPos > self->m_nSize || n > self->m_nSize - self->m_nPos) {
        self->m_bOverflow = true;
        return -1;
    }
    std::memcpy(self->m_pOut + self->m_nPos, buf, n);
    self->m_nPos += n;
    if (self->m_nPos > self->m_nEnd) {
        // Gaps left by seeking past the end read as zero.
        self->m_nEnd = self->m_nPos;
    }
    return size;
}

toff_t TiffHandle::seekProc(thandle_t h, toff_t off, int whence)
{
    auto* self = static_cast<TiffHandle*>(h);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = self->m_nPos;
    else if (whence == SEEK_END)
        base = self->m_nEnd;
    const std::uint64_t target = base + off;
    if (target < base || target > (std::uint64_t{1} << 62))
        return static_cast<toff_t>(-1);
    if (self->m_pOut && target > self->m_nEnd) {
        if (target > self->m_nSize) {
            self->m_bOverflow = true;
            return static_cast<toff_t>(-1);
        }
        std::memset(self->m_pOut + self->m_nEnd, 0, static_cast<std::size_t>(target - self->m_nEnd));
        self->m_nEnd = static_cast<std::size_t>(target);
    }
    self->m_nPos = static_cast<std::size_t>(target);
    return target;
}

int TiffHandle::closeProc(thandle_t)
{
    return 0;
}

toff_t TiffHandle::sizeProc(thandle_t h)
{
    return static_cast<TiffHandle*>(h)->m_nEnd;
}

// A read handle maps the bytes it was given, so libtiff reads strips in place.
int TiffHandle::mapProc(thandle_t h, void** base, toff_t* size)
{
    auto* self = static_cast<TiffHandle*>(h);
    if (!self->m_pIn)
        return 0;
    *base = const_cast<std::uint8_t*>(self->m_pIn);
    *size = self->m_nSize;
    return 1;
}

void TiffHandle::unmapProc(thandle_t, void*, toff_t) {}

int TiffHandle::onError(TIFF*, void* user, const char* module, const char* fmt, va_list ap)
{
    auto* self = static_cast<TiffHandle*>(user);
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    if (self->m_strError.empty())
        self->m_strError = std::string(module ? module : "libtiff") + ": " + text;
    return 1;
}

int TiffHandle::onWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}
