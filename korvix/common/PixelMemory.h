// Memory for large pixel buffers: maps, decoded pictures, whole image files read
// for decoding.
//
// A fresh buffer of many MiB costs one page fault per 4 KiB page the first time
// it is written, thousands for one 2048 x 2048 map, and page faults are slow in
// virtual machines. A block of LARGE_BLOCK bytes or more therefore comes straight
// from the system, aligned to HUGE_PAGE and marked for transparent huge pages
// (taken where the system offers them "on request", as Debian does by default),
// so that it faults once per 2 MiB; its tail beyond the last whole huge page
// stays in small pages, so no memory is taken beyond the block's own pages.
// Smaller blocks come from the heap.
//
// Every block starts zero-filled and is at least 64-byte aligned; large ones are
// HUGE_PAGE aligned. A block that cannot be had throws std::bad_alloc, never
// returns a null block. Move-only; a moved-from or default block is empty.
// Thread-safe like the heap: distinct blocks may be used on distinct threads.
#pragma once

#include <cstddef>
#include <cstdint>

class PixelMemory {
public:
    static constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;
    static constexpr std::size_t LARGE_BLOCK = HUGE_PAGE;

    PixelMemory() = default;
    // size bytes, zero-filled; throws std::bad_alloc. A size of 0 gives an empty block.
    explicit PixelMemory(std::size_t size);
    ~PixelMemory();
    PixelMemory(PixelMemory&& other) noexcept;
    PixelMemory& operator=(PixelMemory&& other) noexcept;
    PixelMemory(const PixelMemory&) = delete;
    PixelMemory& operator=(const PixelMemory&) = delete;

    std::uint8_t* data() { return m_pData; }
    const std::uint8_t* data() const { return m_pData; }
    std::size_t size() const { return m_nSize; }
    bool empty() const { return m_nSize == 0; }
    // Whether the block came from the system in HUGE_PAGE-aligned pages.
    bool isLarge() const { return m_nMapped != 0; }
    // Gives the block back; the object is then empty.
    void reset();

private:
    std::uint8_t* m_pData = nullptr;
    std::size_t m_nSize = 0;
    std::size_t m_nMapped = 0;  // the length of the system mapping; 0 for a heap block
};
