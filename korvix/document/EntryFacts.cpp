#include "document/EntryFacts.h"

#include "codecs/TextureLoader.h"
#include "codecs/imagefile/ImageFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

EntryFacts entryFactsOf(const std::uint8_t* head, std::size_t length, std::uint64_t entrySize)
{
    EntryFacts facts;
    facts.type = EntryFacts::Type::None;
    length = static_cast<std::size_t>(std::min<std::uint64_t>({length, ENTRY_HEAD_BYTES, entrySize}));
    if (length >= 4 && std::memcmp(head, "KTEX", 4) == 0) {
        const TextureLayout layout = textureLayout(head, length);
        // A header the loader refuses, or maps the entry cannot hold, is a broken texture.
        if (!layout.ok() || layout.end > entrySize) {
            facts.type = EntryFacts::Type::Broken;
            return facts;
        }
        facts.type = EntryFacts::Type::Texture;
        facts.format = layout.format;
        facts.maps = static_cast<std::uint8_t>(layout.count);
        facts.width = layout.largest.width;
        facts.height = layout.largest.height;
        return facts;
    }
    if (detectImageType(head, length) == IMAGE_TGA) {
        facts.type = EntryFacts::Type::Image;
        facts.maps = 1;
        facts.width = head[12] | head[13] << 8;
        facts.height = head[14] | head[15] << 8;
        facts.bitsPerPixel = head[16];
        if (facts.width == 0 || facts.height == 0)
            facts.type = EntryFacts::Type::Broken;
    }
    return facts;
}

EntryHeadReader::~EntryHeadReader()
{
    close();
}

bool EntryHeadReader::open(const std::string& path)
{
    close();
    m_nFd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_nFd >= 0;
}

void EntryHeadReader::close()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
}

EntryFacts EntryHeadReader::factsOf(const EntryRecord& record)
{
    EntryFacts facts;
    facts.type = EntryFacts::Type::None;
    if (record.isDirectory || record.kind != KIND_IMAGE || record.damaged || record.size == 0)
        return facts;
    return factsAt(record.offset, record.size);
}

EntryFacts EntryHeadReader::factsAt(std::uint32_t offset, std::uint32_t size)
{
    EntryFacts facts;
    facts.type = EntryFacts::Type::None;
    std::uint8_t head[ENTRY_HEAD_BYTES];
    const std::size_t want = std::min<std::size_t>(ENTRY_HEAD_BYTES, size);
    std::size_t got = 0;
    while (m_nFd >= 0 && got < want) {
        const ssize_t n = ::pread(m_nFd, head + got, want - got, static_cast<off_t>(std::uint64_t{offset} + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < want) {
        facts.type = EntryFacts::Type::Broken;
        return facts;
    }
    return entryFactsOf(head, got, size);
}
