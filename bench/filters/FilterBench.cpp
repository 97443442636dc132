// Box blur, area and cubic resampling of a 2048 x 2048 BGRA picture: Korvix's
// primitives beside OpenCV's blur and resize, both on one thread.
//
//   filter_bench --benchmark_filter=Blur
#include "filters/ImageFilters.h"

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <random>

namespace {

constexpr int SIDE = 2048;

// A smooth picture with noise, the same for both sides.
std::unique_ptr<FilterImage> picture()
{
    auto img = newBgraImage(SIDE, SIDE);
    std::mt19937 rng(42);
    for (int y = 0; y < SIDE; ++y)
        for (int x = 0; x < SIDE; ++x) {
            std::uint8_t* p = img->row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(x / 8 + rng() % 16);
            p[1] = static_cast<std::uint8_t>(y / 8 + rng() % 16);
            p[2] = static_cast<std::uint8_t>((x + y) / 16 + rng() % 16);
            p[3] = static_cast<std::uint8_t>(rng());
        }
    return img;
}

const FilterImage& source()
{
    static const auto img = picture();
    return *img;
}

cv::Mat sourceMat()
{
    const FilterImage& img = source();
    return cv::Mat(SIDE, SIDE, CV_8UC4, const_cast<std::uint8_t*>(img.pixels()));
}

void setPixels(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * std::int64_t{SIDE} * SIDE);
}

void KorvixBoxBlur(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    auto dst = newBgraImage(SIDE, SIDE);
    const FilterImage& src = source();
    for (auto _ : state) {
        boxBlur(src, *dst, n, n / 2);
        benchmark::DoNotOptimize(dst->pixels());
    }
    setPixels(state);
}

void OpenCvBoxBlur(benchmark::State& state)
{
    cv::setNumThreads(1);
    const int n = static_cast<int>(state.range(0));
    const cv::Mat src = sourceMat();
    cv::Mat dst;
    for (auto _ : state) {
        cv::blur(src, dst, cv::Size(n, n), cv::Point(-1, -1), cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(dst.data);
    }
    setPixels(state);
}

void KorvixSharpen(benchmark::State& state)
{
    auto dst = newBgraImage(SIDE, SIDE);
    const FilterImage& src = source();
    for (auto _ : state) {
        sharpen3x3(src, *dst);
        benchmark::DoNotOptimize(dst->pixels());
    }
    setPixels(state);
}

void OpenCvSharpen(benchmark::State& state)
{
    cv::setNumThreads(1);
    const cv::Mat src = sourceMat();
    cv::Mat kernel = cv::Mat::ones(3, 3, CV_32F) * (-1.0f / 8);
    kernel.at<float>(1, 1) = 2.0f;
    cv::Mat dst;
    for (auto _ : state) {
        cv::filter2D(src, dst, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(dst.data);
    }
    setPixels(state);
}

void KorvixArea(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    auto dst = newBgraImage(side, side);
    const FilterImage& src = source();
    for (auto _ : state) {
        decimateArea(src, *dst);
        benchmark::DoNotOptimize(dst->pixels());
    }
    setPixels(state);
}

void OpenCvArea(benchmark::State& state)
{
    cv::setNumThreads(1);
    const int side = static_cast<int>(state.range(0));
    const cv::Mat src = sourceMat();
    cv::Mat dst;
    for (auto _ : state) {
        cv::resize(src, dst, cv::Size(side, side), 0, 0, cv::INTER_AREA);
        benchmark::DoNotOptimize(dst.data);
    }
    setPixels(state);
}

void KorvixCubic(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    auto dst = newBgraImage(side, side);
    const FilterImage& src = source();
    for (auto _ : state) {
        resampleCubic(src, *dst);
        benchmark::DoNotOptimize(dst->pixels());
    }
    setPixels(state);
}

void OpenCvCubic(benchmark::State& state)
{
    cv::setNumThreads(1);
    const int side = static_cast<int>(state.range(0));
    const cv::Mat src = sourceMat();
    cv::Mat dst;
    for (auto _ : state) {
        cv::resize(src, dst, cv::Size(side, side), 0, 0, cv::INTER_CUBIC);
        benchmark::DoNotOptimize(dst.data);
    }
    setPixels(state);
}

}  // namespace

BENCHMARK(KorvixBoxBlur)->Arg(3)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenCvBoxBlur)->Arg(3)->Arg(7)->Unit(benchmark::kMillisecond);
BENCHMARK(KorvixSharpen)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenCvSharpen)->Unit(benchmark::kMillisecond);
BENCHMARK(KorvixArea)->Arg(1024)->Arg(700)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenCvArea)->Arg(1024)->Arg(700)->Unit(benchmark::kMillisecond);
BENCHMARK(KorvixCubic)->Arg(1536)->Arg(3072)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenCvCubic)->Arg(1536)->Arg(3072)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
