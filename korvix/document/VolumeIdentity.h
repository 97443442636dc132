// What an open volume file was when it was opened, or when we last wrote it:
// which file it is (device and inode), its length, the time of its last change
// (to the nanosecond) and a hash of its comment block, header and catalogue.
//
// Before every write the document asks whether the file it opened is still
// that file, both under its path (another program may have renamed a new file
// over it, and our handle would write into the deleted old one) and through
// its open handle (another program may have written into it, cut it short or
// appended to it, or only touched it). Any difference writes nothing. After
// each of our own writes the record is taken again, so that our own change is
// never taken for someone else's.
#pragma once

#include <qorbm.h>

#include <cstdint>
#include <optional>
#include <string>

class VolumeIdentity {
public:
    struct FileState {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
        friend bool operator==(const FileState&, const FileState&) = default;
    };

    // How closely check() looks: the file states only (a stat of the path and
    // of the handle), or the header and catalogue bytes as well.
    enum class Depth { States, Contents };

    // Records the volume open in `volume`, opened from `path`. False when the
    // system cannot tell the file's state or its header and catalogue cannot
    // be read back; nothing is held then.
    bool record(std::string path, tarvos::GGroup& volume);
    void clear();
    bool recorded() const { return m_bRecorded; }
    const std::string& path() const { return m_strPath; }

    // True while the file under the path and the open handle are still the
    // file recorded, unchanged.
    bool unchanged(tarvos::GGroup& volume, Depth depth = Depth::Contents) const;

    // The state of the file under the path now; none when it cannot be had
    // (the file is gone, say).
    static std::optional<FileState> stateOf(const std::string& path);
    // The state of the open handle now.
    static std::optional<FileState> stateOf(const tarvos::GGroup& volume);
    // A hash of the volume's comment block, header and catalogue as they are
    // in the file now; none when they cannot be read.
    static std::optional<std::uint64_t> headHash(tarvos::GGroup& volume);

private:
    std::string m_strPath;
    FileState m_state;
    std::uint64_t m_nHeadHash = 0;
    bool m_bRecorded = false;
};
