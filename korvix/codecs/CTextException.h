#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The codec layer's exception: an error code and a message text. Callers catch it
// and turn it into their own message.
class CTextException : public std::runtime_error {
public:
    CTextException(std::int32_t code, const std::string& message)
        : std::runtime_error(message), m_nCode(code) {}

    std::int32_t code() const { return m_nCode; }
    std::string message() const { return what(); }

private:
    std::int32_t m_nCode;
};
