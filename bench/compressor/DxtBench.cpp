// korvix-dxt-bench: speed and quality of the block compressor against the DXT compressors
// Debian ships, every result decoded with the game's own decoder.
//
//   korvix-dxt-bench [--per-image] [--digest] [--quick] [--only TEXT] [--repeat N] image.pam ...
//
// --quick leaves out the slow peers, --only runs the compressors whose name contains TEXT,
// --repeat times each image N times (3 by default) and counts the fastest run, --digest
// prints a hash of each compressor's output over all images (a change that should leave the
// output as it was shows here at once).
//
// Images are PAM files (P7, RGB or RGB_ALPHA, 8 bits), as ImageMagick writes them with
// `convert in.png pam:out.pam`; sides are cropped to multiples of 4. Colour is measured on
// opaque texels (alpha forced to 255), so that no peer turns texels transparent.
//
// Prints one Markdown table: megapixels per second (one thread, except the row that says
// otherwise), RMSE and PSNR weighted 0.309 / 0.609 / 0.082 (the weights the compressor
// minimises), RMSE and PSNR over red, green and blue with equal weights, and the blocks
// that a standard decoder reads in three-colour mode (c0 <= c1) while using index 2 or 3.
// For the peers these are blocks the game misreads (it has no three-colour mode). Korvix
// writes only blocks meant for the game's decoder; the few with c0 = c1 it writes use the
// two shades that decoder gives such a block, and are shown apart.

#include "codecs/DxtBlock.h"

#include <cstring>
#include <ctime>

// nvtt carries its own copy of libsquish under the same symbol names, so a program that
// links both gets nvtt calling into the wrong one and crashing. nvtt therefore runs in a
// second build of this file, korvix-dxt-bench-nvtt, which prints table rows only.
#ifdef KORVIX_BENCH_NVTT
#include <nvtt/nvtt.h>
#else
#include <squish.h>

// stb_dxt's implementation needs memcpy declared before it.
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Image {
    std::string name;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;  // rows from the top, alpha 255
};

bool loadPam(const std::string& path, Image& img)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line != "P7")
        return false;
    int width = 0, height = 0, depth = 0, maxval = 0;
    while (std::getline(in, line) && line != "ENDHDR") {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "WIDTH")
            fields >> width;
        else if (key == "HEIGHT")
            fields >> height;
        else if (key == "DEPTH")
            fields >> depth;
        else if (key == "MAXVAL")
            fields >> maxval;
    }
    if (width < 4 || height < 4 || width > 16384 || height > 16384 || (depth != 3 && depth != 4) || maxval != 255)
        return false;
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(width) * height * depth);
    if (!in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size())))
        return false;
    img.width = width & ~3;
    img.height = height & ~3;
    img.bgra.resize(static_cast<std::size_t>(img.width) * img.height * 4);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const std::uint8_t* s = &raw[(static_cast<std::size_t>(y) * width + x) * depth];
            std::uint8_t* d = &img.bgra[(static_cast<std::size_t>(y) * img.width + x) * 4];
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = 255;
        }
    const auto slash = path.find_last_of('/');
    img.name = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

// An encoder turns a whole image into DXT1-layout colour blocks (8 bytes each).
using Encoder = std::function<void(const Image&, std::vector<std::uint8_t>&)>;

// Calls `block` with each 4 x 4 block as 64 bytes red, green, blue, alpha.
template <typename F>
void forEachRgbaBlock(const Image& img, std::vector<std::uint8_t>& out, std::size_t bytesPerBlock, F block)
{
    const int bw = img.width / 4, bh = img.height / 4;
    out.assign(static_cast<std::size_t>(bw) * bh * bytesPerBlock, 0);
    std::uint8_t rgba[64];
    for (int by = 0; by < bh; ++by)
        for (int bx = 0; bx < bw; ++bx) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const std::uint8_t* s = &img.bgra[(static_cast<std::size_t>(4 * by + y) * img.width + 4 * bx + x) * 4];
                    std::uint8_t* d = rgba + 4 * (4 * y + x);
                    d[0] = s[2];
                    d[1] = s[1];
                    d[2] = s[0];
                    d[3] = s[3];
                }
            block(rgba, &out[(static_cast<std::size_t>(by) * bw + bx) * bytesPerBlock]);
        }
}

#ifndef KORVIX_BENCH_NVTT
Encoder korvixEncoder(dxt::Quality q, unsigned threads)
{
    return [q, threads](const Image& img, std::vector<std::uint8_t>& out) {
        out.assign(static_cast<std::size_t>(img.width / 4) * (img.height / 4) * 8, 0);
        dxt::encodeImage(img.bgra.data(), img.width, img.height, static_cast<std::size_t>(img.width) * 4, false,
                         out.data(), q, threads);
    };
}

float squishWeights[3] = {0.309f, 0.609f, 0.082f};

Encoder squishEncoder(int fitFlag, bool fourColourOnly)
{
    return [fitFlag, fourColourOnly](const Image& img, std::vector<std::uint8_t>& out) {
        std::vector<std::uint8_t> full;
        if (fourColourOnly) {
            // A DXT3 block's colour half is always compressed in four-colour mode.
            forEachRgbaBlock(img, full, 16, [fitFlag](const std::uint8_t* rgba, std::uint8_t* dst) {
                squish::Compress(rgba, dst, squish::kDxt3 | fitFlag, squishWeights);
            });
            out.resize(full.size() / 2);
            for (std::size_t i = 0; i < full.size() / 16; ++i)
                std::memcpy(&out[8 * i], &full[16 * i + 8], 8);
        } else {
            forEachRgbaBlock(img, out, 8, [fitFlag](const std::uint8_t* rgba, std::uint8_t* dst) {
                squish::Compress(rgba, dst, squish::kDxt1 | fitFlag, squishWeights);
            });
        }
    };
}

Encoder stbEncoder(int mode)
{
    return [mode](const Image& img, std::vector<std::uint8_t>& out) {
        forEachRgbaBlock(img, out, 8, [mode](const std::uint8_t* rgba, std::uint8_t* dst) {
            stb_compress_dxt_block(dst, rgba, 0, mode);
        });
    };
}

#else
struct Collect : nvtt::OutputHandler {
    std::vector<std::uint8_t>* out = nullptr;
    void beginImage(int, int, int, int, int, int) override {}
    bool writeData(const void* data, int size) override
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), p, p + size);
        return true;
    }
};

Encoder nvttEncoder(nvtt::Quality quality)
{
    return [quality](const Image& img, std::vector<std::uint8_t>& out) {
        out.clear();
        nvtt::InputOptions input;
        input.setTextureLayout(nvtt::TextureType_2D, img.width, img.height);
        input.setMipmapData(img.bgra.data(), img.width, img.height);
        input.setMipmapGeneration(false);
        nvtt::CompressionOptions options;
        options.setFormat(nvtt::Format_DXT1);
        options.setQuality(quality);
        options.setColorWeights(0.309f, 0.609f, 0.082f);
        Collect collect;
        collect.out = &out;
        nvtt::OutputOptions output;
        output.setOutputHandler(&collect);
        output.setOutputHeader(false);
        nvtt::Compressor compressor;
        compressor.enableCudaAcceleration(false);
        compressor.process(input, options, output);
    };
}
#endif

struct Totals {
    double seconds = 0;
    double pixels = 0;
    double weightedSq = 0;
    double plainSq = 0;
    long misread = 0;
    long blocks = 0;
};

// Decodes with the game's decoder and adds up the errors against the source.
void measure(const Image& img, const std::vector<std::uint8_t>& blocks, Totals& t, double& weightedSq)
{
    const int bw = img.width / 4, bh = img.height / 4;
    std::uint8_t texels[64];
    double w = 0, p = 0;
    for (int by = 0; by < bh; ++by)
        for (int bx = 0; bx < bw; ++bx) {
            const std::uint8_t* block = &blocks[(static_cast<std::size_t>(by) * bw + bx) * 8];
            dxt::decodeDxt1Block(block, texels);
            const unsigned c0 = block[0] | (block[1] << 8), c1 = block[2] | (block[3] << 8);
            bool usesMiddle = false;
            for (int i = 0; i < 4; ++i)
                for (int x = 0; x < 4; ++x)
                    usesMiddle |= ((block[4 + i] >> (2 * x)) & 3) >= 2;
            if (c0 <= c1 && usesMiddle)
                ++t.misread;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const std::uint8_t* s = &img.bgra[(static_cast<std::size_t>(4 * by + y) * img.width + 4 * bx + x) * 4];
                    const std::uint8_t* d = texels + 4 * (4 * y + x);
                    const double db = d[0] - s[0], dg = d[1] - s[1], dr = d[2] - s[2];
                    w += 0.309 * dr * dr + 0.609 * dg * dg + 0.082 * db * db;
                    p += (dr * dr + dg * dg + db * db) / 3.0;
                }
        }
    t.weightedSq += w;
    t.plainSq += p;
    t.blocks += static_cast<long>(bw) * bh;
    weightedSq = w;
}

// Single-threaded compressors are timed by the CPU time of their thread, which does not
// count the time the machine gave to other work.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double psnr(double mse)
{
    return mse <= 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

int main(int argc, char** argv)
{
    bool perImage = false;
    bool digest = false;
    bool quick = false;
    std::string only;
    int repeat = 3;
    std::vector<Image> images;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--per-image") {
            perImage = true;
            continue;
        }
        if (arg == "--digest") {
            digest = true;
            continue;
        }
        if (arg == "--quick") {
            quick = true;
            continue;
        }
        if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
            continue;
        }
        if (arg == "--repeat" && i + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        Image img;
        if (!loadPam(arg, img)) {
            std::fprintf(stderr, "korvix-dxt-bench: %s: not an 8-bit RGB or RGBA PAM file of at least 4 x 4\n", arg.c_str());
            return 2;
        }
        images.push_back(std::move(img));
    }
    if (images.empty()) {
        std::fprintf(stderr, "usage: korvix-dxt-bench [--per-image] [--digest] [--quick] [--only TEXT] [--repeat N] image.pam ...\n");
        return 2;
    }

    struct Peer {
        std::string name;
        Encoder encode;
        bool ours = false;
        bool wallClock = false;  // timed by the wall clock: it runs on several threads
    };
#ifdef KORVIX_BENCH_NVTT
    const bool header = false;
    std::vector<Peer> peers = {
        {"nvtt fastest, DXT1", nvttEncoder(nvtt::Quality_Fastest)},
        {"nvtt production, DXT1", nvttEncoder(nvtt::Quality_Production)},
        {"nvtt highest, DXT1", nvttEncoder(nvtt::Quality_Highest)},
    };
    (void)quick;
#else
    const bool header = true;
    std::vector<Peer> peers = {
        {"korvix fast", korvixEncoder(dxt::Quality::Fast, 1), true},
        {"korvix default", korvixEncoder(dxt::Quality::Default, 1), true},
        {"korvix best", korvixEncoder(dxt::Quality::Best, 1), true},
        {"korvix default, all threads", korvixEncoder(dxt::Quality::Default, 0), true, true},
        {"stb_dxt high quality", stbEncoder(STB_DXT_HIGHQUAL)},
        {"stb_dxt normal", stbEncoder(STB_DXT_NORMAL)},
    };
    if (!quick) {
        peers.push_back({"libsquish iterative cluster fit, DXT1", squishEncoder(squish::kColourIterativeClusterFit, false)});
        peers.push_back({"libsquish iterative cluster fit, four-colour", squishEncoder(squish::kColourIterativeClusterFit, true)});
        peers.push_back({"libsquish cluster fit, four-colour", squishEncoder(squish::kColourClusterFit, true)});
    }
#endif
    if (!only.empty())
        std::erase_if(peers, [&only](const Peer& p) { return p.name.find(only) == std::string::npos; });

    double megapixels = 0;
    for (const Image& img : images)
        megapixels += img.width * static_cast<double>(img.height) / 1e6;
    if (header) {
        std::printf("%zu images, %.2f megapixels; decoded with the game's decoder\n\n", images.size(), megapixels);
        std::printf("| Compressor | MP/s | RMSE weighted | PSNR weighted | RMSE RGB | PSNR RGB | blocks the game misreads |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    }
    // Images outside, compressors inside, each run `repeat` times in turn: whatever else
    // the machine does then falls on every compressor alike, and the fastest run counts.
    std::vector<std::vector<double>> perImagePsnr(peers.size());
    std::vector<Totals> totals(peers.size());
    // FNV-1a over every image's blocks, per compressor.
    std::vector<std::uint64_t> hashes(peers.size(), 14695981039346656037ull);
    std::vector<std::uint8_t> blocks;
    for (const Image& img : images) {
        std::vector<double> fastest(peers.size(), 1e300);
        for (int r = 0; r < repeat; ++r)
            for (std::size_t p = 0; p < peers.size(); ++p) {
                const double start = peers[p].wallClock ? wallSeconds() : cpuSeconds();
                peers[p].encode(img, blocks);
                fastest[p] = std::min(fastest[p], (peers[p].wallClock ? wallSeconds() : cpuSeconds()) - start);
                if (r + 1 < repeat)
                    continue;
                if (blocks.size() != static_cast<std::size_t>(img.width / 4) * (img.height / 4) * 8) {
                    std::fprintf(stderr, "korvix-dxt-bench: %s gave %zu bytes for %s\n", peers[p].name.c_str(),
                                 blocks.size(), img.name.c_str());
                    return 1;
                }
                for (const std::uint8_t byte : blocks)
                    hashes[p] = (hashes[p] ^ byte) * 1099511628211ull;
                double w = 0;
                measure(img, blocks, totals[p], w);
                perImagePsnr[p].push_back(psnr(w / (img.width * static_cast<double>(img.height))));
            }
        for (std::size_t p = 0; p < peers.size(); ++p) {
            totals[p].seconds += fastest[p];
            totals[p].pixels += img.width * static_cast<double>(img.height);
        }
    }
    for (std::size_t p = 0; p < peers.size(); ++p) {
        const Totals& t = totals[p];
        const double mseW = t.weightedSq / t.pixels, mseP = t.plainSq / t.pixels;
        char misread[80];
        if (peers[p].ours)
            std::snprintf(misread, sizeof misread, "0 of %ld (%ld with c0 = c1 by choice)", t.blocks, t.misread);
        else
            std::snprintf(misread, sizeof misread, "%ld of %ld", t.misread, t.blocks);
        std::printf("| %s | %.2f | %.3f | %.2f dB | %.3f | %.2f dB | %s |\n", peers[p].name.c_str(),
                    t.pixels / 1e6 / t.seconds, std::sqrt(mseW), psnr(mseW), std::sqrt(mseP), psnr(mseP), misread);
    }
    if (digest) {
        std::printf("\nOutput digests (FNV-1a 64 over all images)\n\n");
        for (std::size_t p = 0; p < peers.size(); ++p)
            std::printf("- %s: %016llx\n", peers[p].name.c_str(), static_cast<unsigned long long>(hashes[p]));
    }
    if (perImage) {
        std::printf("\nWeighted PSNR per image (dB)\n\n| Image |");
        for (const Peer& peer : peers)
            std::printf(" %s |", peer.name.c_str());
        std::printf("\n|---|");
        for (std::size_t p = 0; p < peers.size(); ++p)
            std::printf("---:|");
        std::printf("\n");
        for (std::size_t i = 0; i < images.size(); ++i) {
            std::printf("| %s (%d x %d) |", images[i].name.c_str(), images[i].width, images[i].height);
            for (std::size_t p = 0; p < peers.size(); ++p)
                std::printf(" %.3f |", perImagePsnr[p][i]);
            std::printf("\n");
        }
    }
    return 0;
}
