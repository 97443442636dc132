// Opens arbitrary bytes as a volume, walks the catalogue and reads every
// reported file entry's data (bounded by the volume's length).
#include <qorbm.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<tarvos::QORBEntry> g_entries;

void collect(int, int, const tarvos::QORBEntry* e)
{
    if (e)
        g_entries.push_back(*e);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int fd = memfd_create("volume", 0);
    if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) {
        if (fd >= 0)
            close(fd);
        return 0;
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    {
        tarvos::GGroup vol;
        g_entries.clear();
        vol.setCallBack(collect);
        if (vol.open(path.c_str(), true) == tarvos::GGroup::G_OK) {
            vol.travEntries();
            std::vector<unsigned char> buffer;
            for (const auto& e : g_entries) {
                if ((e.flags & tarvos::QORB_FLAG_DIRECTORY) || std::uint64_t{e.offset} + e.size > vol.fileSize())
                    continue;
                buffer.resize(e.size);
                vol.getDataBlock(e.offset, e.size, buffer.data());
            }
        }
    }
    close(fd);
    return 0;
}
