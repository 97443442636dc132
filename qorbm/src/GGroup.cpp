#include "GGroupP.h"

#include "FailureContext.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace tarvos {

namespace {

constexpr unsigned char COMMENT_FILL = 0x1A;
constexpr int TOP_LEVEL = -99;

std::uint32_t fromLittleEndian(std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::big)
        return ((v & 0xFFu) << 24) | ((v & 0xFF00u) << 8) | ((v >> 8) & 0xFF00u) | (v >> 24);
    return v;
}

}  // namespace

void normaliseComment(const unsigned char* block, char* out)
{
    std::memset(out, 0, QORB_COMMENT_SIZE + 1);
    if (block[0] == COMMENT_FILL)
        return;
    std::size_t len = QORB_COMMENT_SIZE;
    while (len > 0 && block[len - 1] == COMMENT_FILL)
        --len;
    std::memcpy(out, block, len);
}

// ---- opening and closing ----

GGroupP::GGroupP() = default;

GGroupP::~GGroupP()
{
    closeFile();
}

int GGroupP::openStream(const char* path, bool wantReadOnly)
{
    const auto fail = [this](int failure, int error) {
        closeFile();
        openFailure = failure;
        openError = error;
        return GGroup::G_ERR_OPEN;
    };
    openFailure = GGroup::G_OPEN_NONE;
    openError = 0;
    readOnly = wantReadOnly;
    file = wantReadOnly ? nullptr : std::fopen(path, "r+b");
    if (!file) {
        // A read-only file or medium still opens for reading.
        file = std::fopen(path, "rb");
        readOnly = true;
    }
    if (!file)
        return fail(GGroup::G_OPEN_SYSTEM, errno);

    struct stat st {};
    if (fstat(fileno(file), &st) != 0)
        return fail(GGroup::G_OPEN_SYSTEM, errno);
    if (S_ISDIR(st.st_mode))
        return fail(GGroup::G_OPEN_SYSTEM, EISDIR);
    if (!S_ISREG(st.st_mode))
        return fail(GGroup::G_OPEN_NOT_REGULAR, 0);
    fileSize = static_cast<std::uint64_t>(st.st_size);
    return GGroup::G_OK;
}

int GGroupP::openFile(const char* path, bool wantReadOnly)
{
    if (const int code = openStream(path, wantReadOnly); code != GGroup::G_OK)
        return code;

    const auto refuse = [this](int failure) {
        closeFile();
        openFailure = failure;
        return GGroup::G_ERR_READ;
    };
    unsigned char block[QORB_COMMENT_SIZE];
    unsigned char rawHeader[sizeof(QORBHeader)];
    if (std::fread(block, 1, sizeof block, file) != sizeof block
        || std::fread(rawHeader, 1, sizeof rawHeader, file) != sizeof rawHeader) {
        // A file that is long enough but cannot be read says why.
        if (std::ferror(file)) {
            const int error = errno;
            closeFile();
            openFailure = GGroup::G_OPEN_SYSTEM;
            openError = error ? error : EIO;
            return GGroup::G_ERR_READ;
        }
        return refuse(GGroup::G_OPEN_TOO_SHORT);
    }
    if (std::memcmp(rawHeader, QORB_SIGNATURE, 12) != 0)
        return refuse(GGroup::G_OPEN_NO_SIGNATURE);
    normaliseComment(block, comment);
    std::memcpy(&header, rawHeader, sizeof header);
    header.signature[12] = 0;
    for (std::uint32_t* field : {&header.entryCount, &header.fileCount, &header.timestamp,
                                 &header.reserved0, &header.reserved1, &header.reserved2})
        *field = fromLittleEndian(*field);

    // Refuse a catalogue the file cannot hold before anything is allocated. The
    // walk indexes entries with int, so the count must fit one as well.
    const std::uint64_t catalogueBytes = std::uint64_t{header.entryCount} * sizeof(QORBEntry);
    if (header.entryCount > 0x7FFFFFFFu || QORB_CATALOGUE_OFFSET + catalogueBytes > fileSize)
        return refuse(GGroup::G_OPEN_CATALOGUE_SHORT);
    if (header.entryCount > 0) {
        catalogue.reset(new (std::nothrow) QORBEntry[header.entryCount]);
        if (!catalogue) {
            requestedBytes = catalogueBytes > INT_MAX ? INT_MAX : static_cast<int>(catalogueBytes);
            closeFile();
            openFailure = GGroup::G_OPEN_NO_MEMORY;
            return GGroup::G_ERR_ALLOC;
        }
        if (std::fread(catalogue.get(), 1, catalogueBytes, file) != catalogueBytes) {
            const bool failed = std::ferror(file);
            const int error = errno;
            const int code = refuse(GGroup::G_OPEN_CATALOGUE_SHORT);
            if (failed) {
                openFailure = GGroup::G_OPEN_SYSTEM;
                openError = error ? error : EIO;
            }
            return code;
        }
        if constexpr (std::endian::native == std::endian::big) {
            for (std::uint32_t i = 0; i < header.entryCount; ++i) {
                QORBEntry& e = catalogue[i];
                for (std::uint32_t* field : {&e.offset, &e.size, &e.flags, &e.attributes})
                    *field = fromLittleEndian(*field);
            }
        }
    }
    isOpen = true;
    return GGroup::G_OK;
}

void GGroupP::closeFile()
{
    if (file)
        std::fclose(file);
    file = nullptr;
    isOpen = false;
    readOnly = false;
    fileSize = 0;
    catalogue.reset();
}

void GGroupP::resetStrictState()
{
    version.invalidate();
    fileinfo.invalidate();
    filename.invalidate();
    nitems = 0;
    type = 0;
    blocksRead = 0;
    requestedBytes = 0;
}

// ---- the catalogue walk ----

void GGroupP::insert(int index, int parentIndex, const QORBEntry* entry) const
{
    if (callback)
        callback(index, parentIndex, entry);
}

void GGroupP::travQORBEntries(int /*directories*/, int entries, const QORBEntry* cat)
{
    // The header's directory count only sized the stack; a wrong fileCount would
    // make it too small and silently drop subtrees. Each directory is pushed at
    // most once (it is marked visited), so a growable stack never exceeds the
    // number of directories actually present.
    enum : std::uint8_t { VISITED = 1, REPORTED = 2 };
    if (entries > 0 && cat) {
        const auto count = static_cast<std::uint32_t>(entries);
        std::vector<std::uint8_t> state(count, 0);
        std::vector<std::uint32_t> stack;
        int parent = TOP_LEVEL;
        std::uint32_t i = 0;        // catalogue offsets are unsigned 32-bit
        std::uint64_t counted = 0;  // files and non-last directories reported
        // A well-formed walk takes at most one step per entry plus one per
        // revisited directory; the budget ends walks caught in damaged links.
        std::uint64_t budget = 2 * std::uint64_t{count} + 2;

        auto report = [&](std::uint32_t index) {
            if (state[index] & REPORTED)
                return false;  // a link led back into walked entries: the catalogue is damaged
            state[index] |= REPORTED;
            insert(static_cast<int>(index), parent, &cat[index]);
            return true;
        };

        while (budget-- > 0) {
            const QORBEntry& e = cat[i];
            const bool isDir = e.flags & QORB_FLAG_DIRECTORY;
            const bool isLast = e.flags & QORB_FLAG_LAST;
            if (!isDir) {
                if (!report(i))
                    break;
                ++counted;
                if (isLast) {
                    if (stack.empty())
                        break;
                    i = stack.back();
                } else {
                    ++i;
                }
            } else if (isLast) {
                if (!report(i))
                    break;
                parent = static_cast<int>(i);
                i = e.offset;
            } else if (state[i] & VISITED) {
                if (!stack.empty())
                    stack.pop_back();
                parent = static_cast<int>(i);
                i = e.offset;
            } else {
                state[i] |= VISITED;
                stack.push_back(i);
                if (!report(i))
                    break;
                ++counted;
                ++i;
            }
            if (counted >= count || i >= count)
                break;
        }
    }
    insert(-1, -1, nullptr);
}

// ---- byte ranges ----

bool GGroupP::transfer(unsigned long offset, unsigned long size, void* buffer, bool write)
{
    if (!isOpen || !file || !buffer || size == 0)
        return false;
    if (write && readOnly)
        return false;
    if (offset > static_cast<unsigned long>(INT64_MAX))
        return false;
    // Flushing before and after lets reads and writes alternate on one stream.
    std::fflush(file);
    if (fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    const std::size_t done = write ? std::fwrite(buffer, 1, size, file) : std::fread(buffer, 1, size, file);
    const bool flushed = std::fflush(file) == 0;
    std::clearerr(file);  // a short read leaves EOF set; the next request starts clean
    if (write && done > 0) {
        const std::uint64_t end = std::uint64_t{offset} + done;
        fileSize = std::max(fileSize, end);
    }
    return done == size && flushed;
}

// ---- GGroup ----

GGroup::GGroup() : d(new GGroupP) {}

GGroup::~GGroup()
{
    close();
}

int GGroup::open(const char* path)
{
    return open(path, false);
}

int GGroup::open(const char* path, bool readOnly)
{
    close();
    if (!path) {
        d->openFailure = G_OPEN_SYSTEM;
        d->openError = EINVAL;
        return G_ERR_OPEN;
    }
    return d->openFile(path, readOnly);
}

void GGroup::close()
{
    d->closeFile();
    d->resetStrictState();
}

int GGroup::getOpenFailure(int& systemError) const
{
    systemError = d->openFailure == G_OPEN_SYSTEM ? d->openError : 0;
    return d->openFailure;
}

bool GGroup::valid() const
{
    return d->isOpen;
}

bool GGroup::operator!() const
{
    return !d->isOpen;
}

bool GGroup::readOnly() const
{
    return d->isOpen && d->readOnly;
}

std::uint64_t GGroup::fileSize() const
{
    return d->isOpen ? d->fileSize : 0;
}

void GGroup::setCallBack(QORBCallback callback)
{
    d->callback = callback;
}

bool GGroup::travEntries()
{
    if (!d->isOpen)
        return false;
    const auto entries = static_cast<int>(d->header.entryCount);
    const auto directories = static_cast<int>(d->header.entryCount - std::min(d->header.fileCount, d->header.entryCount));
    d->travQORBEntries(directories, entries, d->catalogue.get());
    return true;
}

bool GGroup::getCurQORBHeader(QORBHeader& header) const
{
    if (!d->isOpen)
        return false;
    header = d->header;
    std::memset(header.signature + 12, 0, sizeof header.signature - 12);
    return true;
}

bool GGroup::getCurFileStatus(QORBFileStatus& status) const
{
    struct stat st {};
    if (!d->isOpen || !d->file || fstat(fileno(d->file), &st) != 0)
        return false;
    status.device = static_cast<std::uint64_t>(st.st_dev);
    status.inode = static_cast<std::uint64_t>(st.st_ino);
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.modifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    status.modifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
    return true;
}

bool GGroup::getCurFileComment(char* buffer) const
{
    if (!buffer || !d->isOpen)
        return false;
    std::memcpy(buffer, d->comment, sizeof d->comment);
    return true;
}

bool GGroup::getCatalogueEntry(int index, QORBEntry& entry) const
{
    if (!d->isOpen || index < 0 || static_cast<std::uint32_t>(index) >= d->header.entryCount)
        return false;
    entry = d->catalogue[static_cast<std::size_t>(index)];
    return true;
}

bool GGroup::getDataBlock(unsigned long offset, unsigned long size, unsigned char* buffer)
{
    return d->transfer(offset, size, buffer, false);
}

bool GGroup::writeDataBlock(unsigned long offset, unsigned long size, const unsigned char* buffer)
{
    return d->transfer(offset, size, const_cast<unsigned char*>(buffer), true);
}

// ---- strict operations ----

namespace {

template <typename Exception>
[[noreturn]] void fail(int operation, int reason)
{
    recordFailure(operation, reason);
    throw Exception();
}

std::uint32_t readLittleEndian32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

GGroup::GGroup(const String& path) : GGroup()
{
    // The object is constructed once the delegated constructor returns, so the
    // destructor cleans up when eopen throws.
    try {
        eopen(path);
    } catch (const GError&) {
        recordOperation(OP_GGROUP_OPEN_CONSTRUCT);
        throw GError();
    }
}

GGroup::GGroup(const GGroup& other) : d(new GGroupP)
{
    if (other.d->isOpen)
        copyOpenState(other, OP_GGROUP_COPY);
}

GGroup& GGroup::operator=(const GGroup& other)
{
    if (this == &other)
        return *this;
    // The target's own stream is released before it takes the new one.
    close();
    if (other.d->isOpen)
        copyOpenState(other, OP_GGROUP_ASSIGN);
    return *this;
}

void GGroup::copyOpenState(const GGroup& other, int operation)
{
    // A copy opens its own stream on the file the source names; it never takes
    // the catalogue, comment or header. Without a recorded file name there is
    // nothing to open.
    const GGroupP& source = *other.d;
    if (!source.filename.isValid() || d->openStream(source.filename, source.readOnly) != G_OK) {
        close();
        fail<InvalidParam>(operation, REASON_PARAM);
    }
    try {
        d->version = source.version;
        d->fileinfo = source.fileinfo;
        d->filename = source.filename;
    } catch (const GError&) {
        close();
        fail<InvalidParam>(operation, REASON_PARAM);
    }
    d->nitems = source.nitems;
    d->type = source.type;
    d->isOpen = true;
}

void GGroup::eopen(const String& path)
{
    const int code = path.isValid() ? open(path) : G_ERR_PARAM;
    if (code == G_OK)
        return;
    // The report values belong to this failure; close clears them.
    const int blocksRead = d->blocksRead;
    const int blocksPresent = d->nitems;
    const int requestedBytes = d->requestedBytes;
    close();
    switch (code) {
    case G_ERR_OPEN:
        fail<FileOpen>(OP_GGROUP_EOPEN, REASON_FILE_OPEN);
    case G_ERR_READ:
        fail<FileRead>(OP_GGROUP_EOPEN, REASON_FILE_READ);
    case G_ERR_PARTREAD:
        recordFailure(OP_GGROUP_EOPEN, REASON_FILE_PART_READ, {blocksRead, blocksPresent});
        throw FilePartRead(blocksRead, blocksPresent);
    case G_ERR_ALLOC:
        recordFailure(OP_GGROUP_EOPEN, REASON_ALLOC, {requestedBytes});
        throw Alloc(requestedBytes);
    case G_ERR_PARAM:
        fail<InvalidParam>(OP_GGROUP_EOPEN, REASON_PARAM);
    default:
        // open reports no other code; should one appear, it is still a failure.
        fail<FileRead>(OP_GGROUP_EOPEN, REASON_UNKNOWN);
    }
}

GData* GGroup::operator[](int /*index*/)
{
    return nullptr;
}

const String& GGroup::version() const
{
    if (!d->isOpen)
        fail<Invalid>(OP_GGROUP_VERSION, REASON_INVALID);
    return d->version;
}

const String& GGroup::fileinfo() const
{
    if (!d->isOpen)
        fail<Invalid>(OP_GGROUP_FILEINFO, REASON_INVALID);
    return d->fileinfo;
}

const String& GGroup::filename() const
{
    if (!d->isOpen)
        fail<Invalid>(OP_GGROUP_FILENAME, REASON_INVALID);
    return d->filename;
}

int GGroup::nitems() const
{
    if (!d->isOpen)
        fail<Invalid>(OP_GGROUP_NITEMS, REASON_INVALID);
    return d->nitems;
}

int GGroup::type() const
{
    if (!d->isOpen)
        fail<Invalid>(OP_GGROUP_TYPE, REASON_INVALID);
    return d->type;
}

bool operator==(const GGroup& a, const GGroup& b)
{
    if (!a.valid() || !b.valid())
        fail<GGroup::InvalidParam>(OP_GGROUP_EQUAL, REASON_PARAM);
    try {
        if (a.nitems() != b.nitems())
            return false;
        return a.filename() == b.filename() && a.type() == b.type();
    } catch (const GError&) {
        fail<GGroup::InvalidParam>(OP_GGROUP_EQUAL, REASON_PARAM);
    }
}

bool operator!=(const GGroup& a, const GGroup& b)
{
    try {
        return !(a == b);
    } catch (const GError&) {
        fail<GGroup::InvalidParam>(OP_GGROUP_NOT_EQUAL, REASON_PARAM);
    }
}

bool GGroupP::scanInfoBlock(unsigned char* record, String& name, int& offset, int& size)
{
    if (!record)
        return false;
    constexpr std::size_t NAME_FIELD = sizeof(QORBEntry::name);
    std::size_t length = 0;
    while (length < NAME_FIELD && record[length] != ' ' && record[length] != 0)
        ++length;
    if (length < NAME_FIELD && record[length] == ' ')
        record[length] = 0;  // the caller's record holds the name as a C string afterwards
    const std::string text(reinterpret_cast<const char*>(record), length);
    name = text.c_str();
    offset = static_cast<int>(readLittleEndian32(record + offsetof(QORBEntry, offset)));
    size = static_cast<int>(readLittleEndian32(record + offsetof(QORBEntry, size)));
    return true;
}

void getQORBMiniLibVersion(int& major, int& minor)
{
    major = 1;
    minor = 0;
}

}  // namespace tarvos
