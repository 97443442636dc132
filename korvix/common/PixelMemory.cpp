#include "common/PixelMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapOnly = true;  // the address sanitizer guards heap blocks only
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kHeapOnly = true;
#else
constexpr bool kHeapOnly = false;
#endif
#else
constexpr bool kHeapOnly = false;
#endif

constexpr std::size_t kHeapAlignment = 64;
std::size_t smallPage()
{
    static const std::size_t size = [] {
        const long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? static_cast<std::size_t>(page) : std::size_t{4096};
    }();
    return size;
}

std::size_t roundUp(std::size_t size, std::size_t step)
{
    return (size + step - 1) / step * step;
}

}  // namespace

PixelMemory::PixelMemory(std::size_t size)
{
    if (size == 0)
        return;
    // Rounding up and the slack for aligning must not wrap.
    if (size > static_cast<std::size_t>(PTRDIFF_MAX) - 2 * HUGE_PAGE)
        throw std::bad_alloc();

    if (size < LARGE_BLOCK || kHeapOnly) {
        const std::size_t alignment = size < LARGE_BLOCK ? kHeapAlignment : HUGE_PAGE;
        void* p = std::aligned_alloc(alignment, roundUp(size, alignment));
        if (!p)
            throw std::bad_alloc();
        std::memset(p, 0, size);
        m_pData = static_cast<std::uint8_t*>(p);
        m_nSize = size;
        return;
    }

    // The mapping is made one huge page longer than needed, then its unaligned
    // head and the tail beyond the block's last small page are given back.
    const std::size_t length = roundUp(size, smallPage());
    void* raw = ::mmap(nullptr, length + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = roundUp(start, HUGE_PAGE);
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (const std::size_t tail = start + length + HUGE_PAGE - (aligned + length))
        ::munmap(reinterpret_cast<void*>(aligned + length), tail);
    // Only a hint: without transparent huge pages the block still works, page by page.
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    m_pData = reinterpret_cast<std::uint8_t*>(aligned);
    m_nSize = size;
    m_nMapped = length;
}

PixelMemory::~PixelMemory()
{
    reset();
}

PixelMemory::PixelMemory(PixelMemory&& other) noexcept
    : m_pData(std::exchange(other.m_pData, nullptr)),
      m_nSize(std::exchange(other.m_nSize, 0)),
      m_nMapped(std::exchange(other.m_nMapped, 0))
{
}

PixelMemory& PixelMemory::operator=(PixelMemory&& other) noexcept
{
    if (&other != this) {
        reset();
        m_pData = std::exchange(other.m_pData, nullptr);
        m_nSize = std::exchange(other.m_nSize, 0);
        m_nMapped = std::exchange(other.m_nMapped, 0);
    }
    return *this;
}

void PixelMemory::reset()
{
    if (m_nMapped)
        ::munmap(m_pData, m_nMapped);
    else
        std::free(m_pData);
    m_pData = nullptr;
    m_nSize = 0;
    m_nMapped = 0;
}
