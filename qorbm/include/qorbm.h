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
// Threads: a GGroup, String or GData is used from one thread at a time; the
// library takes no locks. The failure context below is one record per process.
//
// Two styles of failure reporting live side by side:
//  - the volume operations open, close, travEntries, getCurQORBHeader,
//    getCurFileComment, getDataBlock and writeDataBlock return a code or a flag
//    and never throw;
//  - the strict interface (String, GData, GGroup::eopen, the opening
//    constructor, copies, the String-typed accessors and GGroup comparison)
//    throws exceptions rooted in GError, by value. Before a GData or GGroup
//    operation throws it records a failure context (which operation, why, up to
//    three numbers); friendlyTerminator turns that record into a report when an
//    exception is never caught. String operations leave the record alone.
#pragma once

// The version of the library, which is also the version of the whole project
// (the build reads it from here). Compare QORBM_VERSION with
// QORBM_MAKE_VERSION(major, minor, patch) to test for a version at compile time.
#define QORBM_VERSION_MAJOR 0
#define QORBM_VERSION_MINOR 1
#define QORBM_VERSION_PATCH 0
#define QORBM_VERSION_STRING "0.1.0"
#define QORBM_MAKE_VERSION(major, minor, patch) ((major) * 10000 + (minor) * 100 + (patch))
#define QORBM_VERSION QORBM_MAKE_VERSION(QORBM_VERSION_MAJOR, QORBM_VERSION_MINOR, QORBM_VERSION_PATCH)

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#if defined(_WIN32)
#  if defined(QORBM_BUILDING)
#    define QORBM_API __declspec(dllexport)
#  else
#    define QORBM_API __declspec(dllimport)
#  endif
#  define QORBM_LOCAL
#else
#  define QORBM_API __attribute__((visibility("default")))
// Private helpers of exported classes stay out of the library's interface.
#  define QORBM_LOCAL __attribute__((visibility("hidden")))
#endif

namespace tarvos {

// ---------------------------------------------------------------------------
// Exceptions
// ---------------------------------------------------------------------------

// Root of every exception the library throws. It carries nothing; the nested
// types of String, GData and GGroup say what failed and carry the numbers that
// belong to the failure.
class QORBM_API GError {
public:
    GError() = default;
    GError(const GError&) = default;
    GError& operator=(const GError&) = default;
    virtual ~GError();
};

// ---------------------------------------------------------------------------
// String: the library's own text type
// ---------------------------------------------------------------------------
//
// A String is always in one of three states:
//  - invalid:   no buffer (after invalidate, destruction or a failed allocation);
//  - empty:     points at the shared one-byte buffer emptyBuf, which is never freed;
//  - non-empty: owns a heap buffer of exactly length + 1 bytes, zero-terminated.
// There is no spare capacity: every change resizes the buffer to the new exact
// size. Characters are single bytes; a length is counted in bytes.
//
// Every operation checks its own validity first (String::Invalid), then its
// arguments (InvalidParam, IndexParam, AccessParams). A failed allocation makes
// the string invalid and throws String::Alloc. The strict forms (subString, del,
// pop, posStrict) throw on a bad range or a failed search; the Adapt forms and
// pos cut the range or return an empty result instead.
class QORBM_API String {
public:
    class QORBM_API Invalid : public GError {};
    class QORBM_API Param : public GError {};
    class QORBM_API InvalidParam : public Param {};
    class QORBM_API IndexParam : public Param {
    public:
        IndexParam(int index, int lastValid) : m_nIndex(index), m_nLastValid(lastValid) {}
        int m_nIndex;
        int m_nLastValid;
    };
    class QORBM_API AccessParams : public Param {
    public:
        AccessParams(int offset, int count, int length) : m_nOffset(offset), m_nCount(count), m_nLength(length) {}
        int m_nOffset;
        int m_nCount;
        int m_nLength;  // the string's length when the request was refused
    };
    class QORBM_API NotFound : public GError {};
    class QORBM_API Alloc : public GError {
    public:
        explicit Alloc(int size) : m_nSize(size) {}
        int m_nSize;  // bytes requested; -1 when the request does not fit an int
    };
    class QORBM_API Internal : public GError {};

    // The buffer every empty string points at; it holds a single zero byte.
    static char emptyBuf;
    // Result of pos when the text does not occur (-1).
    static const int notFound;

    String();                        // empty
    String(const char* text);        // null text: InvalidParam
    String(char c);                  // one character
    String(const String& other);     // invalid source: InvalidParam
    // A number formatted as with printf. The format takes at most one conversion,
    // which must suit the value's type (%d/%x/%c... for int, %ld... for long,
    // %f/%e/%g/%a for float and double); anything else, including a null format,
    // throws InvalidParam.
    String(int value, const char* format);
    String(long value, const char* format);
    String(float value, const char* format);
    String(double value, const char* format);
    ~String();

    String& operator=(const String& other);  // invalid source: this becomes invalid, InvalidParam
    String& operator=(const char* text);     // as set

    // ---- state ----
    bool isValid() const { return m_pBuf != nullptr; }
    explicit operator bool() const { return m_pBuf != nullptr; }
    bool operator!() const { return m_pBuf == nullptr; }
    int getLength() const;
    bool isValidIndex(int i) const;
    void invalidate();

    // ---- access ----
    char& operator[](int i);          // outside 0 .. length-1: IndexParam(i, length-1)
    char operator[](int i) const;
    operator const char*() const;

    // ---- search ----
    int pos(const String& s) const;        // first occurrence, notFound if none; "" is found at 0
    int posStrict(const String& s) const;  // as pos; throws NotFound instead of returning -1

    // ---- substrings ----
    // len characters from pos; needs 0 <= pos < length and 0 <= len <= length - pos,
    // else AccessParams(pos, len, length).
    String subString(int pos, int len) const;
    // As subString, but a pos outside the string or a negative len gives the
    // empty string and len is cut to what remains.
    String subStringAdapt(int pos, int len) const;
    String operator()(int pos, int len) const { return subStringAdapt(pos, len); }
    String pop(int n);       // removes and returns the first n characters (strict)
    String popAdapt(int n);  // the same with cut ranges

    // ---- growing ----
    String& append(const String& s);  // appending a string to itself appends its former value
    String& operator+=(const String& s) { return append(s); }
    String& operator<<(const String& s) { return append(s); }
    // pos == length appends; other positions outside the string throw
    // AccessParams(pos, 0, length).
    String& insert(int pos, const String& s);
    String& push(const String& s) { return insert(0, s); }
    String& fillTo(int n, char c);  // appends c until the length is n; n < 0: AccessParams(-1, n, length)
    String& insertWithFill(int pos, const String& s, char c);

    // ---- shrinking ----
    // Removes count characters at pos; needs 0 <= pos < length and
    // 0 <= count <= length - pos, else AccessParams(pos, count, length).
    String& del(int pos, int count);
    String& delAdapt(int pos, int count);  // cuts the range instead; nothing outside the string
    String& trimTo(int n);                 // keeps the first n characters; n < 0: AccessParams(-1, n, length)
    String& trimLeadingBlanks();           // blanks are 0x20 only
    String& trimTrailingBlanks();

    // ---- case ----
    String& convertToUpperCase();
    String& convertToLowerCase();

    // ---- conversion ----
    // Converts with strtod / strtol (base 10). stop receives the index of the
    // first character not used; the result is true when only white space
    // follows it. The empty string gives false with stop -1 and leaves value
    // alone; a string of blanks gives true with value 0 and stop 0.
    bool toDouble(double& value, int& stop) const;
    bool toLong(long& value, int& stop) const;
    bool isNumeric() const;
    bool isDecimal() const;

    // ---- console ----
    // Prints the text through printf with this format (one %s at most) to
    // standard output; an invalid string prints as "***ungültig***".
    void printf(const char* format) const;
    void print(bool newline) const;
    // Makes the string empty, shows the prompt (if any) and reads one line from
    // standard input; the newline is not stored.
    void read(const char* prompt);

protected:
    void init();
    void set(const char* text);
    // The only place that obtains buffers: makes the buffer exactly n bytes,
    // keeping min(old size, n) bytes of its contents. n == 1 is the empty state.
    void assureSize(int n);
    bool isEmptyString() const { return m_pBuf == &emptyBuf; }
    void setEmptyString();

private:
    QORBM_LOCAL void assign(const char* text, std::size_t length);
    QORBM_LOCAL void terminateAt(int length);  // shrinks the buffer to this length
    QORBM_LOCAL void requireValid() const;

    char* m_pBuf;
    int m_nSize;  // characters plus the terminating zero; 0 when invalid
};

QORBM_API String operator+(const String& a, const String& b);

// Comparisons collate with strcoll (plain byte order in the default locale);
// both operands must be valid, else String::InvalidParam. The four ordering
// operators read the collation in the reverse sense, as the library always
// has: a < b holds when a collates after b ("b" < "a" is true). Sort with
// strcoll on the texts when the natural order is wanted.
QORBM_API bool operator==(const String& a, const String& b);
QORBM_API bool operator!=(const String& a, const String& b);
QORBM_API bool operator<(const String& a, const String& b);
QORBM_API bool operator<=(const String& a, const String& b);
QORBM_API bool operator>(const String& a, const String& b);
QORBM_API bool operator>=(const String& a, const String& b);

// ---------------------------------------------------------------------------
// Volume records
// ---------------------------------------------------------------------------

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

// What the system reports about an open volume file, read through the open
// handle: which file it is (device and inode), its length and the time of its
// last change. A program that must not write into a file that another program
// replaced or changed since it opened it compares two of these.
struct QORBFileStatus {
    std::uint64_t device;
    std::uint64_t inode;
    std::uint64_t size;
    std::int64_t modifiedSeconds;      // since 1970-01-01 00:00 UTC
    std::int64_t modifiedNanoseconds;  // 0 ... 999999999
};

// The catalogue callback: (catalogue index, parent index or -99 for the top level,
// the entry). The walk ends with one call (-1, -1, nullptr).
using QORBCallback = void (*)(int index, int parentIndex, const QORBEntry* entry);

// ---------------------------------------------------------------------------
// GGroup: one open volume
// ---------------------------------------------------------------------------

class GData;
class GGroup;

// The private state of a GGroup. Clients never create one; its one public
// member parses a raw catalogue record.
class GGroupP {
public:
    ~GGroupP();
    GGroupP(const GGroupP&) = delete;
    GGroupP& operator=(const GGroupP&) = delete;

    // Parses one raw 80-byte catalogue record: the name is the text before the
    // first blank (or zero byte) of the 64-byte name field, and that blank is
    // overwritten with a zero in the caller's record; offset and size receive
    // the 32-bit fields at record offsets 64 and 68. A name field without a blank
    // gives all 64 characters and is left as it is. Nothing outside the 80
    // bytes is read or written. False only for a null record.
    QORBM_API static bool scanInfoBlock(unsigned char* record, String& name, int& offset, int& size);

private:
    friend class GGroup;
    GGroupP();

    char comment[QORB_COMMENT_SIZE + 1] = {};
    QORBHeader header = {};
    std::unique_ptr<QORBEntry[]> catalogue;
    QORBCallback callback = nullptr;
    // Answered by the strict accessors; nothing in the library sets them but
    // copies. Opening and closing leave the strings invalid and the numbers 0.
    String version;
    String fileinfo;
    String filename;
    int nitems = 0;
    int type = 0;
    bool isOpen = false;
    // Numbers for failure reports: blocks read (G_ERR_PARTREAD) and bytes
    // requested (G_ERR_ALLOC) by the last failed open.
    int blocksRead = 0;
    int requestedBytes = 0;
    std::FILE* file = nullptr;
    bool readOnly = false;
    // Why the last open failed (a GGroup::G_OPEN_ value) and the system's error number.
    int openFailure = 0;
    int openError = 0;
    std::uint64_t fileSize = 0;

    // The catalogue walk: reports every entry with its parent in the order of
    // the format (lists in catalogue order, descents last-in first-out), then
    // the end mark.
    void travQORBEntries(int directories, int entries, const QORBEntry* catalogue);
    void insert(int index, int parentIndex, const QORBEntry* entry) const;

    int openFile(const char* path, bool wantReadOnly);
    int openStream(const char* path, bool wantReadOnly);
    void closeFile();
    void resetStrictState();
    bool transfer(unsigned long offset, unsigned long size, void* buffer, bool write);
};

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

    // Why the last open() failed, beyond its result code (getOpenFailure).
    static constexpr int G_OPEN_NONE = 0;             // the last open succeeded, or none was tried
    static constexpr int G_OPEN_SYSTEM = 1;           // the system refused the file: see the error number
    static constexpr int G_OPEN_NOT_REGULAR = 2;      // a device, pipe or socket, not a file
    static constexpr int G_OPEN_TOO_SHORT = 3;        // shorter than the comment block and the header
    static constexpr int G_OPEN_NO_SIGNATURE = 4;     // the header does not begin with the signature
    static constexpr int G_OPEN_CATALOGUE_SHORT = 5;  // the file ends inside the catalogue its header announces
    static constexpr int G_OPEN_NO_MEMORY = 6;        // the catalogue does not fit into memory

    class QORBM_API Invalid : public GError {};
    class QORBM_API Param : public GError {};
    class QORBM_API InvalidParam : public Param {};
    class QORBM_API Alloc : public GError {
    public:
        explicit Alloc(int size) : m_nSize(size) {}
        int m_nSize;  // bytes requested
    };
    class QORBM_API File : public GError {};
    class QORBM_API FileOpen : public File {};
    class QORBM_API FileRead : public File {};
    class QORBM_API FilePartRead : public File {
    public:
        FilePartRead(int blocksRead, int blocksPresent) : m_nBlocksRead(blocksRead), m_nBlocksPresent(blocksPresent) {}
        int m_nBlocksRead;
        int m_nBlocksPresent;
    };

    GGroup();
    // As GGroup() followed by eopen(path); every failure throws a plain GError
    // (the failure context still tells what went wrong).
    explicit GGroup(const String& path);
    ~GGroup();

    // Copies never share or duplicate the catalogue, comment or header. A copy of
    // a closed object is closed. A copy of an open object opens its own stream on
    // the file named by filename() and reads and writes byte ranges through it;
    // as open() never records a file name, copying a volume opened by open() or
    // eopen() throws GGroup::InvalidParam. A failed assignment leaves the target
    // closed.
    GGroup(const GGroup& other);
    GGroup& operator=(const GGroup& other);

    // ---- return-code operations: never throw ----

    // Opens a volume for reading and writing. A file that cannot be opened for
    // writing (read-only file or medium) is opened for reading only; readOnly()
    // then answers true and writeDataBlock fails. Closes a volume that is open.
    // Returns G_OK, G_ERR_OPEN, G_ERR_READ or G_ERR_ALLOC (catalogue too large
    // for memory).
    int open(const char* path);
    // As open(path), but never asks for write access: for callers that only read.
    int open(const char* path, bool readOnly);
    void close();
    // Why the last open() failed: one of the G_OPEN_ values, G_OPEN_NONE after
    // a successful open. For G_OPEN_SYSTEM `systemError` receives the system's
    // error number (errno; EISDIR for a directory), else 0.
    int getOpenFailure(int& systemError) const;
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
    // The open file's status as the system reports it now; false when not open
    // or when the system cannot tell.
    bool getCurFileStatus(QORBFileStatus& status) const;
    // Copies the normalised comment as 257 bytes, zero-padded.
    bool getCurFileComment(char* buffer) const;
    // Copies catalogue entry `index` as it was read at opening (in-place edits
    // through writeDataBlock do not change it), for callers that revisit
    // entries after the walk without keeping copies of their own. False when
    // not open or when the index lies outside the catalogue.
    bool getCatalogueEntry(int index, QORBEntry& entry) const;

    // Byte ranges at absolute file offsets; true only when all `size` bytes were
    // transferred. A request of 0 bytes is refused.
    bool getDataBlock(unsigned long offset, unsigned long size, unsigned char* buffer);
    bool writeDataBlock(unsigned long offset, unsigned long size, const unsigned char* buffer);

    // ---- strict operations: throw ----

    // open() with the path's text; a failure closes the object and throws
    // FileOpen, FileRead, FilePartRead, Alloc or InvalidParam (also for an
    // invalid path).
    void eopen(const String& path);
    // Volumes hand out no per-entry data objects: always null.
    GData* operator[](int index);
    // The stored strings and numbers; a closed object throws GGroup::Invalid.
    // A volume opened by open() or eopen() answers invalid strings and 0.
    const String& version() const;
    const String& fileinfo() const;
    const String& filename() const;
    int nitems() const;
    int type() const;

private:
    QORBM_LOCAL void copyOpenState(const GGroup& other, int operation);

    std::unique_ptr<GGroupP> d;
};

// Two open objects are equal when nitems, filename and type are equal. A closed
// operand or any failure inside (an invalid filename, say) throws
// GGroup::InvalidParam.
QORBM_API bool operator==(const GGroup& a, const GGroup& b);
QORBM_API bool operator!=(const GGroup& a, const GGroup& b);

// ---------------------------------------------------------------------------
// GData: one named, typed block of bytes
// ---------------------------------------------------------------------------

// The state of a GData. Copying a GDataP copies all six members; the bytes are
// shared between the copies, not duplicated. A GData never shares its GDataP.
struct QORBM_API GDataP {
    GDataP();
    GDataP(const GDataP& other);
    GDataP& operator=(const GDataP& other);
    ~GDataP();

    int size = 0;
    int type = 0;
    String name;
    bool hasBlock = false;  // the bytes are present
    bool hasInfo = false;   // size, type and name are set
    std::shared_ptr<unsigned char[]> data;
};

// A GData is in one of three states: without information (default
// constructed), information only (copied without data), or complete
// (information and bytes). A name is acceptable when it is a valid String
// other than the one-character text "0"; the empty name is acceptable.
class QORBM_API GData {
public:
    static constexpr int G_T_UNKNOWN = 0;
    static constexpr int G_T_SOUND = 1;
    static constexpr int G_T_SPEECH = 2;
    static constexpr int G_T_MESH = 3;
    static constexpr int G_T_IMAGE = 4;
    static constexpr int G_T_ANIM = 5;
    static constexpr int G_T_FONT = 6;
    static constexpr int G_T_WORLDDATA = 7;
    static constexpr int G_T_MAXTYPE = 7;

    class QORBM_API Invalid : public GError {};
    class QORBM_API Param : public GError {};
    class QORBM_API InvalidParam : public Param {};
    class QORBM_API IndexParam : public Param {
    public:
        IndexParam(int index, int lastValid) : m_nIndex(index), m_nLastValid(lastValid) {}
        int m_nIndex;
        int m_nLastValid;
    };
    class QORBM_API AccessParams : public Param {
    public:
        AccessParams(int offset, int length, int bufferSize)
            : m_nOffset(offset), m_nLength(length), m_nBufferSize(bufferSize) {}
        int m_nOffset;
        int m_nLength;
        int m_nBufferSize;
    };
    class QORBM_API Alloc : public GError {
    public:
        explicit Alloc(int size) : m_nSize(size) {}
        int m_nSize;  // bytes requested
    };

    GData();  // no information, no bytes, empty name
    // Copies size bytes from data. A type outside G_T_UNKNOWN .. G_T_MAXTYPE is
    // stored as G_T_UNKNOWN. An unacceptable name, null data or size <= 0 throws
    // InvalidParam.
    GData(int size, const String& name, int type, const void* data);
    // Copies size, type and name; withData also copies the bytes and then needs
    // a complete source. A source without information throws Invalid.
    GData(const GData& source, bool withData = false);
    ~GData();
    // Copies size, type and name; a source with bytes also replaces this
    // object's bytes by a copy, a source without bytes leaves this object
    // without bytes. A source without information throws InvalidParam.
    GData& operator=(const GData& source);

    // Without information these throw Invalid.
    int size() const;
    int type() const;
    const String& name() const;

    // The bytes; without information or bytes these throw Invalid.
    const void* getData() const;
    const unsigned char* getDataUCP() const;
    const char* getDataCP() const;
    void* getWriteableData();
    unsigned char* getWriteableDataUCP();
    char* getWriteableDataCP();
    operator const unsigned char*() const;
    operator const char*() const;
    operator const void*() const;
    // Byte i; outside 0 .. size-1 throws IndexParam(i, size-1).
    unsigned char operator[](int i) const;
    // Copies length bytes from offset into destination. The range must lie
    // inside the block (offset < size), else AccessParams(offset, length, size).
    void fillExtBuf(void* destination, int length, int offset) const;
    // Writes the bytes to the file at path. The file is written beside the
    // target under a temporary name and renamed over it when complete, so a
    // failed export never leaves a truncated file. Returns GGroup::G_OK,
    // G_ERR_OPEN (the file cannot be created) or G_ERR_WRITE (incomplete).
    int exportTo(const String& path) const;

    // Size and name, not the type; true for the same object.
    bool compareInfo(const GData& other) const;
    // Size and bytes; true for the same object.
    bool compareData(const GData& other) const;

    bool operator!() const;
    bool blockValid() const;
    bool infoValid() const;

    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

private:
    std::unique_ptr<GDataP> d;
};

// compareInfo and then compareData; any failure inside throws GData::InvalidParam.
QORBM_API bool operator==(const GData& a, const GData& b);
QORBM_API bool operator!=(const GData& a, const GData& b);

// ---------------------------------------------------------------------------
// Library-wide functions
// ---------------------------------------------------------------------------

QORBM_API void getQORBMiniLibVersion(int& major, int& minor);

// How friendlyTerminator shows its report: a caption and the text (UTF-8).
// The default writes both to standard error; a GUI client installs its own
// message box. Passing null restores the default. Returns the previous one.
using MessageDisplay = void (*)(const char* caption, const char* text);
QORBM_API MessageDisplay setMessageDisplay(MessageDisplay display);

// A terminate handler for clients that let library exceptions escape:
//   std::set_terminate(tarvos::friendlyTerminator);
// It shows a report of the last recorded failure under the caption
// "QORB MiniLib" and ends the process with exit status 1 (EXIT_FAILURE).
[[noreturn]] QORBM_API void friendlyTerminator();

}  // namespace tarvos
