// A client of the installed library: reads the version and opens a volume.
// Prints "<version> <open result>" so the test can compare both.
#include <qorbm.h>

#include <cstdio>

static_assert(QORBM_VERSION == QORBM_MAKE_VERSION(QORBM_VERSION_MAJOR, QORBM_VERSION_MINOR, QORBM_VERSION_PATCH));

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    tarvos::GGroup volume;
    const int opened = volume.open(argv[1], true);
    tarvos::QORBHeader header{};
    if (opened == tarvos::GGroup::G_OK)
        volume.getCurQORBHeader(header);
    std::printf("%s %d %u\n", QORBM_VERSION_STRING, opened == tarvos::GGroup::G_OK ? 1 : 0,
                static_cast<unsigned>(header.entryCount));
    return 0;
}
