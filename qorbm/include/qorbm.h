// qorbm — the QORB volume library.
//
// A QORB volume is one archive file: a 256-byte comment block, a 40-byte header
// and a flat catalogue of 80-byte entries that encodes a directory tree, followed
// by the data of the file entries. All integers on disk are little-endian.
//
// How to use it:
//   tarvos::GGroup vol;
//   vol.setCallBack(onEntry);              // optional, called by travEntries
//   if (vol.open("base.qrb") != tarvos::GGroup::G_OK) { ... }
//   vol.getCurQORBHeader(header);
//   vol.travEntries();                     // reports every entry, then (-1, -1, nullptr)
//   vol.getDataBlock(offset, size, buffer);
//
// Ownership: every buffer handed to the library belongs to the caller. The entry
// pointer passed to the callback points into the library's catalogue and is
// valid only during the call.
//
// Threads: a GGroup is used from one thread at a time; the library takes no locks.
//
// Failures: the operations below return a code or a flag and never throw.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#  if defined(QORBM_BUILDING)
#    define QORBM_API __declspec(dllexport)
#  else
#    define QORBM_API __declspec(dllimport)
#  endif
#else
#  define QORBM_API __attribute__((visibility("default")))
#endif

namespace tarvos {

// The volume header as it lies on disk at file offset 256. In memory byte 12 of
// the signature is zero, so the signature reads as a 12-character text.
struct QORBHeader {
    char signature[16];
    std::uint32_t entryCount;  // directories and files together
    std::uint32_t fileCount;   // entryCount - fileCount is the number of directories
    std::uint32_t timestamp;   // MS-DOS form: low half the time word, high half the date word
    std::uint32_t reserved0;
    std::uint32_t reserved1;
    std::uint32_t reserved2;
};
static_assert(sizeof(QORBHeader) == 40, "the header is 40 bytes on disk");

// One catalogue record, exactly as on disk (entry i lies at file offset 296 + 80 * i).
struct QORBEntry {
    char name[64];             // padded on the right with blanks, no terminator
    std::uint32_t offset;      // file: absolute data offset; directory: index of its first child
    std::uint32_t size;        // file: data length in bytes
    std::uint32_t flags;       // QORB_FLAG_DIRECTORY, QORB_FLAG_LAST; other bits carried unchanged
    std::uint32_t attributes;  // carried unchanged
};
static_assert(sizeof(QORBEntry) == 80, "a catalogue entry is 80 bytes on disk");

inline constexpr std::uint32_t QORB_FLAG_DIRECTORY = 0x80000000u;
inline constexpr std::uint32_t QORB_FLAG_LAST = 0x40000000u;
inline constexpr char QORB_SIGNATURE[] = "KRMTLW_V2.00";
inline constexpr unsigned long QORB_COMMENT_SIZE = 256;
inline constexpr unsigned long QORB_HEADER_OFFSET = 256;
inline constexpr unsigned long QORB_CATALOGUE_OFFSET = 296;

// The catalogue callback: (catalogue index, parent index or -99 for the top level,
// the entry). The walk ends with one call (-1, -1, nullptr).
using QORBCallback = void (*)(int index, int parentIndex, const QORBEntry* entry);

class GGroupP;

class QORBM_API GGroup {
public:
    static constexpr int G_OK = 0;
    static constexpr int G_ERR_UNKNOWN = -1;
    static constexpr int G_ERR_OPEN = -2;      // the file cannot be opened
    static constexpr int G_ERR_READ = -3;      // reading failed or the file is not a volume
    static constexpr int G_ERR_PARTREAD = -4;
    static constexpr int G_ERR_WRITE = -5;
    static constexpr int G_ERR_SEEK = -6;
    static constexpr int G_ERR_ALLOC = -7;
    static constexpr int G_ERR_PARAM = -8;
    static constexpr int G_ERR_FATAL = 99;

    GGroup();
    ~GGroup();
    GGroup(const GGroup&) = delete;
    GGroup& operator=(const GGroup&) = delete;

    // Opens a volume for reading and writing. A file that cannot be opened for
    // writing (read-only file or medium) is opened for reading only; readOnly()
    // then answers true and writeDataBlock fails. Closes a volume that is open.
    // Returns G_OK, G_ERR_OPEN or G_ERR_READ.
    int open(const char* path);
    // As open(path), but never asks for write access: for callers that only read.
    int open(const char* path, bool readOnly);
    void close();
    bool valid() const;
    bool operator!() const;
    // True when the open volume cannot be written.
    bool readOnly() const;
    // Length of the open volume file in bytes, 0 when not open.
    std::uint64_t fileSize() const;

    void setCallBack(QORBCallback callback);
    // Walks the catalogue as a tree and reports every entry to the callback.
    // False when not open. Damaged catalogues (cycles, links outside the
    // catalogue) end the walk early; an entry is never reported twice.
    bool travEntries();

    bool getCurQORBHeader(QORBHeader& header) const;
    // Copies the normalised comment as 257 bytes, zero-padded.
    bool getCurFileComment(char* buffer) const;

    // Byte ranges at absolute file offsets; true only when all `size` bytes were
    // transferred. A request of 0 bytes is refused.
    bool getDataBlock(unsigned long offset, unsigned long size, unsigned char* buffer);
    bool writeDataBlock(unsigned long offset, unsigned long size, const unsigned char* buffer);

private:
    GGroupP* d;
};

QORBM_API void getQORBMiniLibVersion(int& major, int& minor);

}  // namespace tarvos
