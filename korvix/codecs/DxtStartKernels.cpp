#include "codecs/DxtKernels.h"

#include <cstring>

namespace dxt::kernels {

bool gatherWholeScalar(const std::uint8_t* bgra64, BlockTexels& t)
{
    // A copy of the texels first: byte stores into `t` could reach them, which would keep
    // the compiler from handling the loops a vector at a time.
    std::uint8_t texels[64];
    std::memcpy(texels, bgra64, sizeof texels);
    t.count = 16;
    for (int i = 0; i < 16; ++i) {
        t.position[i] = static_cast<std::uint8_t>(i);
        t.c[0][i] = texels[4 * i + 2];
        t.c[1][i] = texels[4 * i + 1];
        t.c[2][i] = texels[4 * i];
    }
    for (int i = 0; i < 16; ++i) {
        t.valid[i] = 1;
        t.counts[i] = 1.0f;
        t.existing[i] = 0xFF;
        for (int ch = 0; ch < 3; ++ch)
            t.cf[ch][i] = static_cast<float>(t.c[ch][i]);
    }
    for (int i = 1; i < 16; ++i)
        for (int ch = 0; ch < 3; ++ch)
            if (t.c[ch][i] != t.c[ch][0])
                return false;
    return true;
}

void startAlongScalar(const BlockTexels& t, const float axis[3], int& lo, int& hi, std::uint8_t* index)
{
    float dot[16];
    for (int i = 0; i < 16; ++i)
        dot[i] = t.cf[0][i] * axis[0] + t.cf[1][i] * axis[1] + t.cf[2][i] * axis[2];
    // The least and greatest projections, then the first slots that hold them (a zero of
    // either sign counts as any zero), each projection kept as its first slot has it.
    float least = dot[0], greatest = dot[0];
    for (int i = 1; i < 16; ++i) {
        least = dot[i] < least ? dot[i] : least;
        greatest = dot[i] > greatest ? dot[i] : greatest;
    }
    lo = 0;
    while (dot[lo] != least)
        ++lo;
    hi = 0;
    while (dot[hi] != greatest)
        ++hi;
    const float minDot = dot[lo], maxDot = dot[hi];
    if (!index)
        return;
    const float scale = maxDot > minDot ? 3.0f / (maxDot - minDot) : 0.0f;
    for (int i = 0; i < 16; ++i) {
        const int step = static_cast<int>((dot[i] - minDot) * scale + 0.5f);
        index[i] = static_cast<std::uint8_t>(step == 0 ? 1 : step >= 3 ? 0 : 4 - step);
    }
}

void principalAxisScalar(const std::int32_t sum[3], const std::int32_t products[6], int count, float axis[3])
{
    float cov[3][3];
    weightedCovariance(sum, products, count, cov);

    // Power iteration on the squared matrix, from the row of the largest variance. Divided
    // by its trace first, the matrix has no eigenvalue above 1, and the leading one is at
    // least a third: eight steps need no normalising in between.
    const float trace = cov[0][0] + cov[1][1] + cov[2][2];
    const float norm = trace > 0 ? 1.0f / trace : 0.0f;
    float sq[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            sq[r][c] = (cov[r][0] * cov[0][c] + cov[r][1] * cov[1][c] + cov[r][2] * cov[2][c]) * norm * norm;
    int start = 0;
    for (int ch = 1; ch < 3; ++ch)
        if (cov[ch][ch] > cov[start][start])
            start = ch;
    float v[3] = {cov[start][0] * norm, cov[start][1] * norm, cov[start][2] * norm};
    for (int it = 0; it < 4; ++it) {
        float w[3];
        for (int r = 0; r < 3; ++r)
            w[r] = sq[r][0] * v[0] + sq[r][1] * v[1] + sq[r][2] * v[2];
        for (int r = 0; r < 3; ++r)
            v[r] = w[r];
    }
    for (int ch = 0; ch < 3; ++ch)
        axis[ch] = v[ch] * kAxisScale[ch];
}

const StartKernels& startKernelsFor(Isa isa)
{
    static constexpr StartKernels scalar{gatherWholeScalar, startAlongScalar, principalAxisScalar};
    static constexpr StartKernels sse41{gatherWholeSse41, startAlongSse41, principalAxisSse41};
    return isa == Isa::Scalar ? scalar : sse41;
}

}  // namespace dxt::kernels
