// A bounds-checked reader over bytes of a length it was given. Every read checks
// first; running past the end throws CTextException code 1 naming the format.
#pragma once

#include "codecs/CTextException.h"

#include <cstddef>
#include <cstdint>
#include <string>

class ByteSource {
public:
    ByteSource(const std::uint8_t* data, std::size_t size, const char* format)
        : m_pData(data), m_nSize(size), m_szFormat(format) {}

    const std::uint8_t* data() const { return m_pData; }
    std::size_t size() const { return m_nSize; }
    std::size_t pos() const { return m_nPos; }
    std::size_t remaining() const { return m_nSize - m_nPos; }
    bool has(std::size_t n) const { return n <= m_nSize - m_nPos; }
    const char* format() const { return m_szFormat; }

    void seek(std::size_t pos)
    {
        if (pos > m_nSize)
            truncated();
        m_nPos = pos;
    }
    void skip(std::size_t n) { take(n); }
    // n bytes at the current position; advances past them.
    const std::uint8_t* take(std::size_t n)
    {
        if (!has(n))
            truncated();
        const std::uint8_t* p = m_pData + m_nPos;
        m_nPos += n;
        return p;
    }
    std::uint8_t u8() { return *take(1); }
    std::uint16_t u16le()
    {
        const std::uint8_t* p = take(2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint16_t u16be()
    {
        const std::uint8_t* p = take(2);
        return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    }
    std::uint32_t u32le()
    {
        const std::uint8_t* p = take(4);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
    }
    std::uint32_t u32be()
    {
        const std::uint8_t* p = take(4);
        return (std::uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    }

    [[noreturn]] void truncated() const { fail(1, "unexpected end of data"); }
    [[noreturn]] void fail(std::int32_t code, const std::string& detail) const
    {
        throw CTextException(code, std::string(m_szFormat) + ": " + detail);
    }

private:
    const std::uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nPos = 0;
    const char* m_szFormat;
};
