// The document's record of one catalogue entry of the open volume.
#pragma once

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

// Parent values and item data with a meaning of their own.
inline constexpr int PARENT_TOP_LEVEL = -99;        // a top-level directory, as the walk reports it
inline constexpr int PARENT_TOP_LEVEL_FILE = -999;  // a top-level file in the records
inline constexpr int ITEM_VOLUME_ROOT = -888;       // the directory tree's root item
inline constexpr int NO_PAGE = -1;

// The kind of a file, from its name: sounds (1, 2) are played when picked,
// images (3) may be replaced by the shown picture; the kind is also the page icon.
enum EntryKind : int {
    KIND_MODEL_SOUND = 1,  // MRM, MSH
    KIND_WAVE = 2,         // WAV
    KIND_IMAGE = 3,        // TEX, TGA
    KIND_OTHER = 4,
    KIND_QLX = 5,
    KIND_MODEL = 6,        // MDS, MAN, MDM, MDL, MDH, MMB
    KIND_FONT = 7,         // FNT
    KIND_SOURCE_SAFE = 8,  // VSSVER.SCC
};

int entryKind(std::string_view name);

// A name of at most 64 characters held in place: opening a volume fills one per
// entry, and a heap block for each would cost more than the walk itself.
class EntryName {
public:
    static constexpr std::size_t MAX = 64;

    EntryName() = default;
    EntryName(std::string_view text) { assign(text); }
    void assign(std::string_view text)
    {
        m_nLength = static_cast<std::uint8_t>(text.size() < MAX ? text.size() : MAX);
        std::memcpy(m_text, text.data(), m_nLength);
    }
    std::string_view view() const { return {m_text, m_nLength}; }
    operator std::string_view() const { return view(); }
    std::size_t size() const { return m_nLength; }
    bool empty() const { return m_nLength == 0; }
    friend bool operator==(const EntryName& a, std::string_view b) { return a.view() == b; }
    friend std::ostream& operator<<(std::ostream& os, const EntryName& n) { return os << n.view(); }

private:
    char m_text[MAX];
    std::uint8_t m_nLength = 0;
};

struct EntryRecord {
    enum Mark : std::uint32_t { MARK_RENAMED = 1, MARK_REPLACED = 2 };

    EntryName name;  // ISO-8859-1, trailing blanks removed
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
    bool isDirectory = false;
    int parent = 0;
    bool hasFiles = false;
    int page = NO_PAGE;
    int kind = 0;
    std::uint32_t marks = 0;
    // The walk reported this entry; entries it never reached (a damaged
    // catalogue) are left out of the pages.
    bool reported = false;
    // A file whose data reaches past the end of the volume (a volume cut
    // short): it cannot be read, and the browser marks it.
    bool damaged = false;
};
