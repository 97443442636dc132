// What the volume browser's texture columns show for an entry (format, size of
// the largest map, number of maps), read from the entry's first bytes alone.
//
// Only image entries (kind 3) are read: a texture when the bytes begin with
// "KTEX", a TGA image when they carry a TGA header; anything else has no
// facts. Reading is cheap (one positioned read of at most HEAD_BYTES), so the
// browser reads the facts lazily, off the user-interface thread, through an
// EntryHeadReader of its own.
#pragma once

#include "codecs/TextureFormat.h"
#include "document/EntryRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct EntryFacts {
    enum class Type : std::uint8_t {
        Unknown,  // not read yet
        None,     // no picture: not an image entry, or bytes of another kind
        Texture,
        Image,    // a TGA image
        Broken,   // a texture whose header cannot be used, or whose maps the entry does not hold
    };
    Type type = Type::Unknown;
    texture::Format format = texture::Format::Dxt1;  // textures
    std::uint8_t maps = 0;
    std::uint8_t bitsPerPixel = 0;  // TGA images
    std::int32_t width = 0;         // of the largest map
    std::int32_t height = 0;

    bool known() const { return type != Type::Unknown; }
    bool picture() const { return type == Type::Texture || type == Type::Image; }
};

// The bytes a head read takes: a texture header, or a TGA header with room.
inline constexpr std::size_t ENTRY_HEAD_BYTES = 64;

// The facts of an entry of `entrySize` bytes from its first `length` bytes
// (at most HEAD_BYTES are looked at).
EntryFacts entryFactsOf(const std::uint8_t* head, std::size_t length, std::uint64_t entrySize);

// Reads entries' first bytes from a volume file through a descriptor of its
// own (read-only), so that it may run on any thread beside the document's
// volume. One reader per thread.
class EntryHeadReader {
public:
    EntryHeadReader() = default;
    ~EntryHeadReader();
    EntryHeadReader(const EntryHeadReader&) = delete;
    EntryHeadReader& operator=(const EntryHeadReader&) = delete;

    // False when the file cannot be opened for reading.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_nFd >= 0; }

    // The facts of the entry: None for entries of other kinds than images
    // and for damaged ones; Broken when the bytes cannot be read.
    EntryFacts factsOf(const EntryRecord& record);
    // The facts of the `size` bytes at `offset`, read as an image entry's.
    EntryFacts factsAt(std::uint32_t offset, std::uint32_t size);

private:
    int m_nFd = -1;
};
