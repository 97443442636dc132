// Private state of GGroup; shared by the library's own files only.
#pragma once

#include "qorbm.h"

#include <cstdio>
#include <memory>

namespace tarvos {

class GGroupP {
public:
    char comment[QORB_COMMENT_SIZE + 1] = {};
    QORBHeader header = {};
    std::unique_ptr<QORBEntry[]> catalogue;
    QORBCallback callback = nullptr;
    bool isOpen = false;
    std::FILE* file = nullptr;
    bool readOnly = false;
    std::uint64_t fileSize = 0;

    // The catalogue walk: reports every entry with its parent in the order of
    // the format (lists in catalogue order, descents last-in first-out), then
    // the end mark.
    void travQORBEntries(int directories, int entries, const QORBEntry* catalogue);
    void insert(int index, int parentIndex, const QORBEntry* entry) const;

    int openFile(const char* path, bool wantReadOnly);
    void closeFile();
    bool transfer(unsigned long offset, unsigned long size, void* buffer, bool write);
};

// Normalises a raw 256-byte comment block into `out` (257 bytes, zero-terminated):
// a block starting with 0x1A is empty, trailing 0x1A fill is cut.
void normaliseComment(const unsigned char* block, char* out);

}  // namespace tarvos
