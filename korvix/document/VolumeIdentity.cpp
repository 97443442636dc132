#include "document/VolumeIdentity.h"

#include <bit>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace {

// A 64-bit hash eight bytes at a time (the 64-bit lane of MurmurHash3, which
// is quick and mixes well); it only tells one state of our own file from another.
class HeadHasher {
public:
    void add(const std::uint8_t* p, std::size_t n)
    {
        std::size_t i = 0;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            mix(w);
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, p + i, n - i);
        if (n > i)
            mix(tail ^ (std::uint64_t{n - i} << 56));
        m_nLength += n;
    }
    std::uint64_t finish() const
    {
        std::uint64_t h = m_nHash ^ m_nLength;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        h *= 0xC4CEB9FE1A85EC53ull;
        h ^= h >> 33;
        return h;
    }

private:
    void mix(std::uint64_t w)
    {
        w *= 0x87C37B91114253D5ull;
        w = std::rotl(w, 31);
        w *= 0x4CF5AD432745937Full;
        m_nHash ^= w;
        m_nHash = std::rotl(m_nHash, 27) * 5 + 0x52DCE729;
    }

    std::uint64_t m_nHash = 0x9E3779B97F4A7C15ull;
    std::uint64_t m_nLength = 0;
};

}  // namespace

std::optional<VolumeIdentity::FileState> VolumeIdentity::stateOf(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileState{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtim.tv_sec),
                     static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

std::optional<VolumeIdentity::FileState> VolumeIdentity::stateOf(const tarvos::GGroup& volume)
{
    tarvos::QORBFileStatus s{};
    if (!volume.getCurFileStatus(s))
        return std::nullopt;
    return FileState{s.device, s.inode, s.size, s.modifiedSeconds, s.modifiedNanoseconds};
}

std::optional<std::uint64_t> VolumeIdentity::headHash(tarvos::GGroup& volume)
{
    tarvos::QORBHeader header{};
    if (!volume.getCurQORBHeader(header))
        return std::nullopt;
    // Comment block, header and catalogue, as the volume announces them.
    const std::uint64_t length = tarvos::QORB_CATALOGUE_OFFSET + std::uint64_t{header.entryCount} * sizeof(tarvos::QORBEntry);
    // Small enough to stay in the cache and out of fresh pages, large enough for few reads.
    constexpr std::size_t CHUNK = std::size_t{64} << 10;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(CHUNK, length)));
    HeadHasher hasher;
    for (std::uint64_t at = 0; at < length;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(CHUNK, length - at));
        if (!volume.getDataBlock(static_cast<unsigned long>(at), n, buffer.data()))
            return std::nullopt;
        hasher.add(buffer.data(), n);
        at += n;
    }
    return hasher.finish();
}

bool VolumeIdentity::record(std::string path, tarvos::GGroup& volume)
{
    clear();
    const auto state = stateOf(volume);
    const auto hash = headHash(volume);
    if (!state || !hash)
        return false;
    m_strPath = std::move(path);
    m_state = *state;
    m_nHeadHash = *hash;
    m_bRecorded = true;
    return true;
}

void VolumeIdentity::clear()
{
    m_strPath.clear();
    m_state = {};
    m_nHeadHash = 0;
    m_bRecorded = false;
}

bool VolumeIdentity::unchanged(tarvos::GGroup& volume, Depth depth) const
{
    if (!m_bRecorded)
        return false;
    if (stateOf(m_strPath) != m_state || stateOf(volume) != m_state)
        return false;
    // A program that writes the same number of bytes and sets the old time
    // again still changes the bytes that say what the volume holds.
    return depth == Depth::States || headHash(volume) == m_nHeadHash;
}
