// korvix-imagefile-bench FILE... : the median in-process time of decodeFile at
// 32 bits per file, over RUNS runs (environment KORVIX_BENCH_RUNS, default 9).
// Used by run.sh beside ImageMagick's timings.
#include "codecs/CTextException.h"
#include "codecs/imagefile/ImageFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const char* env = std::getenv("KORVIX_BENCH_RUNS");
    const int runs = env ? std::max(1, std::atoi(env)) : 9;
    for (int i = 1; i < argc; ++i) {
        std::vector<double> ms;
        PixelBitmap bitmap;
        try {
            for (int r = 0; r < runs; ++r) {
                const auto start = std::chrono::steady_clock::now();
                decodeFile(argv[i], bitmap, 32);
                ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            }
        } catch (const CTextException& e) {
            std::fprintf(stderr, "%s: %s\n", argv[i], e.what());
            return 1;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%s %.1f\n", argv[i], ms[ms.size() / 2]);
    }
    return 0;
}
