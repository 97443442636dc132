#include "GGroupP.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
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

int GGroupP::openFile(const char* path, bool wantReadOnly)
{
    readOnly = wantReadOnly;
    file = wantReadOnly ? nullptr : std::fopen(path, "r+b");
    if (!file) {
        // A read-only file or medium still opens for reading.
        file = std::fopen(path, "rb");
        readOnly = true;
    }
    if (!file)
        return GGroup::G_ERR_OPEN;

    struct stat st {};
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode)) {
        closeFile();
        return GGroup::G_ERR_OPEN;
    }
    fileSize = static_cast<std::uint64_t>(st.st_size);

    unsigned char block[QORB_COMMENT_SIZE];
    unsigned char rawHeader[sizeof(QORBHeader)];
    if (std::fread(block, 1, sizeof block, file) != sizeof block
        || std::fread(rawHeader, 1, sizeof rawHeader, file) != sizeof rawHeader
        || std::memcmp(rawHeader, QORB_SIGNATURE, 12) != 0) {
        closeFile();
        return GGroup::G_ERR_READ;
    }
    normaliseComment(block, comment);
    std::memcpy(&header, rawHeader, sizeof header);
    header.signature[12] = 0;
    for (std::uint32_t* field : {&header.entryCount, &header.fileCount, &header.timestamp,
                                 &header.reserved0, &header.reserved1, &header.reserved2})
        *field = fromLittleEndian(*field);

    // Refuse a catalogue the file cannot hold before anything is allocated. The
    // walk indexes entries with int, so the count must fit one as well.
    const std::uint64_t catalogueBytes = std::uint64_t{header.entryCount} * sizeof(QORBEntry);
    if (header.entryCount > 0x7FFFFFFFu || QORB_CATALOGUE_OFFSET + catalogueBytes > fileSize) {
        closeFile();
        return GGroup::G_ERR_READ;
    }
    if (header.entryCount > 0) {
        catalogue.reset(new (std::nothrow) QORBEntry[header.entryCount]);
        if (!catalogue) {
            closeFile();
            return GGroup::G_ERR_ALLOC;
        }
        if (std::fread(catalogue.get(), 1, catalogueBytes, file) != catalogueBytes) {
            closeFile();
            return GGroup::G_ERR_READ;
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
    delete d;
}

int GGroup::open(const char* path)
{
    return open(path, false);
}

int GGroup::open(const char* path, bool readOnly)
{
    close();
    if (!path)
        return G_ERR_OPEN;
    return d->openFile(path, readOnly);
}

void GGroup::close()
{
    d->closeFile();
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

bool GGroup::getCurFileComment(char* buffer) const
{
    if (!buffer || !d->isOpen)
        return false;
    std::memcpy(buffer, d->comment, sizeof d->comment);
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

void getQORBMiniLibVersion(int& major, int& minor)
{
    major = 1;
    minor = 0;
}

}  // namespace tarvos
