#include "qorbm.h"

#include "FailureContext.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvos {

// ---- GDataP ----

GDataP::GDataP() = default;
GDataP::GDataP(const GDataP& other) = default;
GDataP& GDataP::operator=(const GDataP& other) = default;

GDataP::~GDataP()
{
    name.invalidate();
}

// ---- helpers ----

namespace {

template <typename Exception>
[[noreturn]] void fail(int operation, int reason, std::initializer_list<int> values = {})
{
    recordFailure(operation, reason, values);
    throw Exception();
}

bool acceptableName(const String& name)
{
    return name.isValid() && !(name.getLength() == 1 && name[0] == '0');
}

// A fresh copy of size bytes, or a recorded GData::Alloc.
std::shared_ptr<unsigned char[]> copyBytes(const void* source, int size, int operation)
{
    std::shared_ptr<unsigned char[]> bytes;
    try {
        bytes = std::make_shared_for_overwrite<unsigned char[]>(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        recordFailure(operation, REASON_ALLOC, {size});
        throw GData::Alloc(size);
    }
    std::memcpy(bytes.get(), source, static_cast<std::size_t>(size));
    return bytes;
}

// A copy of a name; a failed allocation is reported as the operation's own.
String copyName(const String& name, int operation)
{
    try {
        return name;
    } catch (const String::Alloc& e) {
        recordFailure(operation, REASON_ALLOC, {e.m_nSize});
        throw GData::Alloc(e.m_nSize);
    }
}

std::unique_ptr<GDataP> newState(int operation)
{
    GDataP* state = new (std::nothrow) GDataP;
    if (!state) {
        recordFailure(operation, REASON_ALLOC, {static_cast<int>(sizeof(GDataP))});
        throw GData::Alloc(static_cast<int>(sizeof(GDataP)));
    }
    return std::unique_ptr<GDataP>(state);
}

}  // namespace

// ---- construction ----

GData::GData() : d(newState(OP_GDATA_DEFAULT)) {}

GData::GData(int size, const String& name, int type, const void* data) : d(newState(OP_GDATA_CREATE))
{
    if (!acceptableName(name) || !data)
        fail<InvalidParam>(OP_GDATA_CREATE, REASON_PARAM);
    if (size <= 0)
        fail<InvalidParam>(OP_GDATA_CREATE, REASON_PARAM);
    d->data = copyBytes(data, size, OP_GDATA_CREATE);
    d->name = copyName(name, OP_GDATA_CREATE);
    d->size = size;
    d->type = type >= G_T_UNKNOWN && type <= G_T_MAXTYPE ? type : G_T_UNKNOWN;
    d->hasInfo = true;
    d->hasBlock = true;
}

GData::GData(const GData& source, bool withData) : d(newState(OP_GDATA_COPY))
{
    // The size accessor reports a source without information as its own failure.
    const int size = source.size();
    if (withData && !source.d->hasBlock)
        fail<InvalidParam>(OP_GDATA_COPY, REASON_PARAM);
    if (withData) {
        d->data = copyBytes(source.d->data.get(), size, OP_GDATA_COPY);
        d->hasBlock = true;
    }
    d->name = copyName(source.d->name, OP_GDATA_COPY);
    d->size = size;
    d->type = source.d->type;
    d->hasInfo = true;
}

GData::~GData() = default;

GData& GData::operator=(const GData& source)
{
    if (this == &source)
        return *this;
    if (!source.d->hasInfo)
        fail<InvalidParam>(OP_GDATA_ASSIGN, REASON_PARAM);
    // Everything that can fail happens before this object changes.
    std::shared_ptr<unsigned char[]> bytes;
    if (source.d->hasBlock)
        bytes = copyBytes(source.d->data.get(), source.d->size, OP_GDATA_ASSIGN);
    String name = copyName(source.d->name, OP_GDATA_ASSIGN);
    d->name = name;
    d->size = source.d->size;
    d->type = source.d->type;
    d->hasInfo = true;
    // Old bytes would no longer match the copied size: the target keeps bytes
    // only when the source has them.
    d->data = std::move(bytes);
    d->hasBlock = d->data != nullptr;
    return *this;
}

// ---- information ----

int GData::size() const
{
    if (!d->hasInfo)
        fail<Invalid>(OP_GDATA_SIZE, REASON_INVALID);
    return d->size;
}

int GData::type() const
{
    if (!d->hasInfo)
        fail<Invalid>(OP_GDATA_TYPE, REASON_INVALID);
    return d->type;
}

const String& GData::name() const
{
    if (!d->hasInfo)
        fail<Invalid>(OP_GDATA_NAME, REASON_INVALID);
    return d->name;
}

bool GData::operator!() const
{
    return !d->hasInfo;
}

bool GData::blockValid() const
{
    return d->hasBlock;
}

bool GData::infoValid() const
{
    return d->hasInfo;
}

// ---- the bytes ----

namespace {

unsigned char* bytesOrFail(const GDataP& p, int operation)
{
    if (!p.hasInfo || !p.hasBlock)
        fail<GData::Invalid>(operation, REASON_INVALID);
    return p.data.get();
}

}  // namespace

const void* GData::getData() const
{
    return bytesOrFail(*d, OP_GDATA_GET_DATA);
}

const unsigned char* GData::getDataUCP() const
{
    return bytesOrFail(*d, OP_GDATA_GET_DATA_UCP);
}

const char* GData::getDataCP() const
{
    return reinterpret_cast<const char*>(bytesOrFail(*d, OP_GDATA_GET_DATA_CP));
}

void* GData::getWriteableData()
{
    return bytesOrFail(*d, OP_GDATA_GET_WRITEABLE);
}

unsigned char* GData::getWriteableDataUCP()
{
    return bytesOrFail(*d, OP_GDATA_GET_WRITEABLE_UCP);
}

char* GData::getWriteableDataCP()
{
    return reinterpret_cast<char*>(bytesOrFail(*d, OP_GDATA_GET_WRITEABLE_CP));
}

GData::operator const unsigned char*() const
{
    return bytesOrFail(*d, OP_GDATA_AS_UCP);
}

GData::operator const char*() const
{
    return reinterpret_cast<const char*>(bytesOrFail(*d, OP_GDATA_AS_CP));
}

GData::operator const void*() const
{
    return bytesOrFail(*d, OP_GDATA_AS_VP);
}

unsigned char GData::operator[](int i) const
{
    const unsigned char* bytes = bytesOrFail(*d, OP_GDATA_INDEX);
    if (i < 0 || i >= d->size) {
        recordFailure(OP_GDATA_INDEX, REASON_INDEX, {i, d->size - 1});
        throw IndexParam(i, d->size - 1);
    }
    return bytes[i];
}

void GData::fillExtBuf(void* destination, int length, int offset) const
{
    if (!destination)
        fail<InvalidParam>(OP_GDATA_FILL_EXT_BUF, REASON_PARAM);
    const unsigned char* bytes = bytesOrFail(*d, OP_GDATA_FILL_EXT_BUF);
    const long long end = static_cast<long long>(offset) + length;
    if (length < 0 || offset < 0 || offset > d->size - 1 || end > d->size) {
        recordFailure(OP_GDATA_FILL_EXT_BUF, REASON_RANGE, {offset, length, d->size});
        throw AccessParams(offset, length, d->size);
    }
    if (length > 0)
        std::memcpy(destination, bytes + offset, static_cast<std::size_t>(length));
}

// ---- export ----

namespace {

bool writeAll(int fd, const unsigned char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace

int GData::exportTo(const String& path) const
{
    if (!acceptableName(path))
        fail<InvalidParam>(OP_GDATA_EXPORT, REASON_PARAM);
    if (!d->hasBlock || d->size <= 0)
        fail<Invalid>(OP_GDATA_EXPORT, REASON_INVALID);

    // The bytes go to a temporary file beside the target, renamed over it only
    // when complete, so a full disk never leaves a truncated file where a good
    // one was. A symbolic link is written through, as a plain write would: the
    // file it names is replaced, the link stays.
    std::string target(static_cast<const char*>(path));
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    const bool replaces = ::stat(target.c_str(), &existing) == 0;
    // What a plain open for writing would refuse is refused here too: a
    // directory or device in the way, or a file its owner protected from writing.
    if (replaces && (!S_ISREG(existing.st_mode) || ::access(target.c_str(), W_OK) != 0))
        return GGroup::G_ERR_OPEN;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return GGroup::G_ERR_OPEN;
    if (replaces)
        ::fchmod(fd, existing.st_mode & 07777);

    bool complete = writeAll(fd, d->data.get(), static_cast<std::size_t>(d->size));
    complete = ::fsync(fd) == 0 && complete;
    complete = ::close(fd) == 0 && complete;
    if (!complete || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return GGroup::G_ERR_WRITE;
    }
    return GGroup::G_OK;
}

// ---- comparison ----

bool GData::compareInfo(const GData& other) const
{
    if (!other.d->hasInfo)
        fail<InvalidParam>(OP_GDATA_COMPARE_INFO, REASON_PARAM);
    if (!d->hasInfo)
        fail<Invalid>(OP_GDATA_COMPARE_INFO, REASON_INVALID);
    if (this == &other)
        return true;
    if (d->size != other.d->size)
        return false;
    return d->name == other.d->name;
}

bool GData::compareData(const GData& other) const
{
    if (!d->hasInfo || !d->hasBlock)
        fail<Invalid>(OP_GDATA_COMPARE_DATA, REASON_INVALID);
    if (!other.d->hasInfo || !other.d->hasBlock)
        fail<InvalidParam>(OP_GDATA_COMPARE_DATA, REASON_PARAM);
    if (this == &other)
        return true;
    if (d->size != other.d->size)
        return false;
    return std::memcmp(d->data.get(), other.d->data.get(), static_cast<std::size_t>(d->size)) == 0;
}

bool operator==(const GData& a, const GData& b)
{
    try {
        return a.compareInfo(b) && a.compareData(b);
    } catch (const GError&) {
        recordFailure(OP_GDATA_EQUAL, REASON_PARAM);
        throw GData::InvalidParam();
    }
}

bool operator!=(const GData& a, const GData& b)
{
    try {
        return !(a == b);
    } catch (const GError&) {
        recordFailure(OP_GDATA_NOT_EQUAL, REASON_PARAM);
        throw GData::InvalidParam();
    }
}

// ---- allocation ----

void* GData::operator new(std::size_t size)
{
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void GData::operator delete(void* p) noexcept
{
    std::free(p);
}

}  // namespace tarvos
