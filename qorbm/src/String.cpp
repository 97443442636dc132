#include "qorbm.h"

#include "FormatCheck.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace tarvos {

char String::emptyBuf = 0;
const int String::notFound = -1;

namespace {

// Buffer sizes are ints; a sum that does not fit one cannot be obtained.
int bufferSize(long long characters)
{
    return characters + 1 > INT_MAX ? -1 : static_cast<int>(characters + 1);
}

int sign(int v)
{
    return (v > 0) - (v < 0);
}

int collate(const String& a, const String& b)
{
    if (!a.isValid() || !b.isValid())
        throw String::InvalidParam();
    return sign(std::strcoll(a, b));
}

std::string_view textOf(const String& s)
{
    return {static_cast<const char*>(s), static_cast<std::size_t>(s.getLength())};
}

template <typename Value>
std::string formatNumber(Value value, const char* format)
{
    // The length is asked first, so no result is ever cut.
    const int needed = std::snprintf(nullptr, 0, format, value);
    if (needed < 0)
        throw String::InvalidParam();
    std::string text(static_cast<std::size_t>(needed), '\0');
    std::snprintf(text.data(), text.size() + 1, format, value);
    return text;
}

}  // namespace

// ---- construction ----

String::String()
{
    init();
    setEmptyString();
}

String::String(const char* text)
{
    init();
    set(text);
}

String::String(char c)
{
    init();
    assign(&c, 1);
}

String::String(const String& other)
{
    init();
    if (!other.isValid())
        throw InvalidParam();
    assign(other.m_pBuf, static_cast<std::size_t>(other.m_nSize - 1));
}

String::String(int value, const char* format)
{
    init();
    if (!formatAccepts(format, FormatArgument::Int))
        throw InvalidParam();
    const std::string text = formatNumber(value, format);
    assign(text.data(), text.size());
}

String::String(long value, const char* format)
{
    init();
    if (!formatAccepts(format, FormatArgument::Long))
        throw InvalidParam();
    const std::string text = formatNumber(value, format);
    assign(text.data(), text.size());
}

String::String(float value, const char* format) : String(static_cast<double>(value), format) {}

String::String(double value, const char* format)
{
    init();
    if (!formatAccepts(format, FormatArgument::Double))
        throw InvalidParam();
    const std::string text = formatNumber(value, format);
    assign(text.data(), text.size());
}

String::~String()
{
    invalidate();
}

// ---- assignment ----

String& String::operator=(const String& other)
{
    if (this == &other)
        return *this;
    if (!other.isValid()) {
        invalidate();
        throw InvalidParam();
    }
    assign(other.m_pBuf, static_cast<std::size_t>(other.m_nSize - 1));
    return *this;
}

String& String::operator=(const char* text)
{
    set(text);
    return *this;
}

// ---- state ----

void String::requireValid() const
{
    if (!m_pBuf)
        throw Invalid();
}

int String::getLength() const
{
    requireValid();
    return m_nSize - 1;
}

bool String::isValidIndex(int i) const
{
    requireValid();
    return i >= 0 && i < m_nSize - 1;
}

void String::invalidate()
{
    if (m_pBuf != &emptyBuf)
        delete[] m_pBuf;
    m_pBuf = nullptr;
    m_nSize = 0;
}

// ---- access ----

char& String::operator[](int i)
{
    if (!isValidIndex(i))
        throw IndexParam(i, m_nSize - 2);
    return m_pBuf[i];
}

char String::operator[](int i) const
{
    if (!isValidIndex(i))
        throw IndexParam(i, m_nSize - 2);
    return m_pBuf[i];
}

String::operator const char*() const
{
    requireValid();
    return m_pBuf;
}

// ---- search ----

int String::pos(const String& s) const
{
    requireValid();
    if (!s.isValid())
        throw InvalidParam();
    const std::size_t at = textOf(*this).find(textOf(s));
    return at == std::string_view::npos ? notFound : static_cast<int>(at);
}

int String::posStrict(const String& s) const
{
    const int at = pos(s);
    if (at == notFound)
        throw NotFound();
    return at;
}

// ---- substrings ----

String String::subString(int pos, int len) const
{
    const int length = getLength();
    if (pos < 0 || pos >= length || len < 0 || len > length - pos)
        throw AccessParams(pos, len, length);
    String result;
    result.assign(m_pBuf + pos, static_cast<std::size_t>(len));
    return result;
}

String String::subStringAdapt(int pos, int len) const
{
    const int length = getLength();
    String result;
    if (pos < 0 || pos >= length || len < 0)
        return result;
    if (len > length - pos)
        len = length - pos;
    result.assign(m_pBuf + pos, static_cast<std::size_t>(len));
    return result;
}

String String::pop(int n)
{
    String head = subString(0, n);
    del(0, n);
    return head;
}

String String::popAdapt(int n)
{
    String head = subStringAdapt(0, n);
    delAdapt(0, n);
    return head;
}

// ---- growing ----

String& String::append(const String& s)
{
    return insert(getLength(), s);
}

String& String::insert(int pos, const String& s)
{
    const int length = getLength();
    if (!s.isValid())
        throw InvalidParam();
    if (pos < 0 || pos > length)
        throw AccessParams(pos, 0, length);
    const int count = s.getLength();
    if (count == 0)
        return *this;
    // Inserting a string into itself inserts its former value: keep a copy
    // before the buffer moves.
    const std::string added(s.m_pBuf, static_cast<std::size_t>(count));
    const int newSize = bufferSize(static_cast<long long>(length) + count);
    if (newSize < 0) {
        invalidate();
        throw Alloc(-1);
    }
    assureSize(newSize);
    std::memmove(m_pBuf + pos + count, m_pBuf + pos, static_cast<std::size_t>(length - pos));
    std::memcpy(m_pBuf + pos, added.data(), added.size());
    m_pBuf[newSize - 1] = 0;
    return *this;
}

String& String::fillTo(int n, char c)
{
    const int length = getLength();
    if (n < 0)
        throw AccessParams(-1, n, length);
    if (length < n) {
        assureSize(n + 1);
        std::memset(m_pBuf + length, static_cast<unsigned char>(c), static_cast<std::size_t>(n - length));
        m_pBuf[n] = 0;
    }
    return *this;
}

String& String::insertWithFill(int pos, const String& s, char c)
{
    fillTo(pos, c);
    return insert(pos, s);
}

String operator+(const String& a, const String& b)
{
    String result(a);
    result.append(b);
    return result;
}

// ---- shrinking ----

String& String::del(int pos, int count)
{
    const int length = getLength();
    if (pos < 0 || pos >= length || count < 0 || count > length - pos)
        throw AccessParams(pos, count, length);
    if (count == 0)
        return *this;
    std::memmove(m_pBuf + pos, m_pBuf + pos + count, static_cast<std::size_t>(length - pos - count));
    terminateAt(length - count);
    return *this;
}

String& String::delAdapt(int pos, int count)
{
    const int length = getLength();
    if (pos < 0 || pos >= length || count < 0)
        return *this;
    if (count > length - pos)
        count = length - pos;
    if (count == 0)
        return *this;
    try {
        return del(pos, count);
    } catch (const AccessParams&) {
        throw Internal();
    }
}

String& String::trimTo(int n)
{
    const int length = getLength();
    if (n < 0)
        throw AccessParams(-1, n, length);
    if (n < length)
        terminateAt(n);
    return *this;
}

String& String::trimLeadingBlanks()
{
    const int length = getLength();
    int blanks = 0;
    while (blanks < length && m_pBuf[blanks] == ' ')
        ++blanks;
    if (blanks > 0)
        del(0, blanks);
    return *this;
}

String& String::trimTrailingBlanks()
{
    const int length = getLength();
    int keep = length;
    while (keep > 0 && m_pBuf[keep - 1] == ' ')
        --keep;
    return trimTo(keep);
}

// ---- case ----

String& String::convertToUpperCase()
{
    const int length = getLength();
    for (int i = 0; i < length; ++i)
        m_pBuf[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(m_pBuf[i])));
    return *this;
}

String& String::convertToLowerCase()
{
    const int length = getLength();
    for (int i = 0; i < length; ++i)
        m_pBuf[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(m_pBuf[i])));
    return *this;
}

// ---- conversion ----

namespace {

// Shared tail of the conversions: where the number ended, and whether only
// white space follows it.
bool restIsBlank(const char* text, int length, const char* end, int& stop)
{
    stop = static_cast<int>(end - text);
    int i = stop;
    while (i < length && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    return i == length;
}

}  // namespace

bool String::toDouble(double& value, int& stop) const
{
    const int length = getLength();
    if (length == 0) {
        stop = -1;
        return false;
    }
    char* end = nullptr;
    value = std::strtod(m_pBuf, &end);
    return restIsBlank(m_pBuf, length, end, stop);
}

bool String::toLong(long& value, int& stop) const
{
    const int length = getLength();
    if (length == 0) {
        stop = -1;
        return false;
    }
    char* end = nullptr;
    value = std::strtol(m_pBuf, &end, 10);
    return restIsBlank(m_pBuf, length, end, stop);
}

bool String::isNumeric() const
{
    double value = 0;
    int stop = 0;
    return toDouble(value, stop);
}

bool String::isDecimal() const
{
    long value = 0;
    int stop = 0;
    return toLong(value, stop);
}

// ---- console ----

void String::printf(const char* format) const
{
    if (!formatAccepts(format, FormatArgument::Text))
        throw InvalidParam();
    std::printf(format, m_pBuf ? m_pBuf : "***ungültig***");
}

void String::print(bool newline) const
{
    try {
        printf(newline ? "%s\n" : "%s");
    } catch (const InvalidParam&) {
        throw Internal();
    }
}

void String::read(const char* prompt)
{
    setEmptyString();
    if (prompt) {
        std::fputs(prompt, stdout);
        std::fflush(stdout);
    }
    std::string line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        line.push_back(static_cast<char>(c));
    assign(line.data(), line.size());
}

// ---- comparison ----

bool operator==(const String& a, const String& b)
{
    return collate(a, b) == 0;
}

bool operator!=(const String& a, const String& b)
{
    return collate(a, b) != 0;
}

// The ordering operators read the collation reversed (see the header).
bool operator<(const String& a, const String& b)
{
    return collate(a, b) == 1;
}

bool operator<=(const String& a, const String& b)
{
    return collate(a, b) != -1;
}

bool operator>(const String& a, const String& b)
{
    return collate(a, b) == -1;
}

bool operator>=(const String& a, const String& b)
{
    return collate(a, b) != 1;
}

// ---- buffer management ----

void String::init()
{
    m_pBuf = nullptr;
    m_nSize = 0;
}

void String::set(const char* text)
{
    if (!text)
        throw InvalidParam();
    assign(text, std::strlen(text));
}

void String::terminateAt(int length)
{
    assureSize(length + 1);
    if (!isEmptyString())  // emptyBuf is never written
        m_pBuf[length] = 0;
}

void String::setEmptyString()
{
    invalidate();
    m_pBuf = &emptyBuf;
    m_nSize = 1;
}

void String::assign(const char* text, std::size_t length)
{
    if (length == 0) {
        setEmptyString();
        return;
    }
    const int size = bufferSize(static_cast<long long>(length));
    if (size < 0 || length > static_cast<std::size_t>(INT_MAX)) {
        invalidate();
        throw Alloc(-1);
    }
    // Callers never pass text from this string's own buffer, which may move here.
    assureSize(size);
    std::memcpy(m_pBuf, text, length);
    m_pBuf[length] = 0;
}

void String::assureSize(int n)
{
    if (n == m_nSize)
        return;
    if (n == 1) {
        setEmptyString();
        return;
    }
    if (n <= 0)
        throw Alloc(n);  // no string has fewer than one byte; the string is left as it was
    char* buffer = new (std::nothrow) char[static_cast<std::size_t>(n)];
    if (!buffer) {
        invalidate();
        throw Alloc(n);
    }
    const int keep = m_nSize < n ? m_nSize : n;
    if (keep > 0)
        std::memcpy(buffer, m_pBuf, static_cast<std::size_t>(keep));
    if (m_pBuf != &emptyBuf)
        delete[] m_pBuf;
    m_pBuf = buffer;
    m_nSize = n;
}

}  // namespace tarvos
