// The program's stretch of a BGRA image (two linear calls, the second one
// byte on) on the SSE3-class and generic builds, against the peer's linear
// resize of the same four-channel image on one thread; and one call of the
// entry with cubic and Lanczos interpolation (three of four channels)
// against the peer's cubic and Lanczos (all four channels, eight Lanczos
// taps where ours has six).
//
// For exact halving the peer's linear resize takes its 2 x 2 averaging path
// (the same bytes as its area resize), so that ratio compares different
// arithmetic.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <random>
#include <vector>

#include "primitives/core/DispatchRecords.h"

namespace {

struct Sizes {
    int32_t srcWidth, srcHeight, dstWidth, dstHeight;
};

std::vector<uint8_t> randomImage(int32_t width, int32_t height) {
    std::vector<uint8_t> image(static_cast<std::size_t>(width) * height * 4);
    std::mt19937 random(7);
    for (auto& byte : image) byte = static_cast<uint8_t>(random());
    return image;
}

void stretch(benchmark::State& state, int32_t build, Sizes s) {
    auto* entry = zuzuZivere_8d_OZ4O_dispatch.table[build];
    const std::vector<uint8_t> src = randomImage(s.srcWidth, s.srcHeight);
    std::vector<uint8_t> dst(static_cast<std::size_t>(s.dstWidth) * s.dstHeight * 4);
    const double xFactor = static_cast<double>(s.dstWidth) / s.srcWidth;
    const double yFactor = static_cast<double>(s.dstHeight) / s.srcHeight;
    for (auto _ : state) {
        // Both calls: the entry processes three of four bytes per call.
        for (int byte = 0; byte < 2; ++byte) {
            const PrimitiveStatus status =
                entry(src.data() + byte, {s.srcWidth, s.srcHeight}, s.srcWidth * 4, {0, 0, s.srcWidth, s.srcHeight},
                      dst.data() + byte, s.dstWidth * 4, {s.dstWidth, s.dstHeight}, xFactor, yFactor,
                      resizeInterpolationLinear);
            if (status != primitiveStatusOk) state.SkipWithError("resize failed");
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.dstWidth * s.dstHeight);
}

// One call of the entry: channels 0 to 2 of every pixel.
void resizeOnce(benchmark::State& state, int32_t build, Sizes s, int32_t interpolation) {
    auto* entry = zuzuZivere_8d_OZ4O_dispatch.table[build];
    const std::vector<uint8_t> src = randomImage(s.srcWidth, s.srcHeight);
    std::vector<uint8_t> dst(static_cast<std::size_t>(s.dstWidth) * s.dstHeight * 4);
    const double xFactor = static_cast<double>(s.dstWidth) / s.srcWidth;
    const double yFactor = static_cast<double>(s.dstHeight) / s.srcHeight;
    for (auto _ : state) {
        const PrimitiveStatus status =
            entry(src.data(), {s.srcWidth, s.srcHeight}, s.srcWidth * 4, {0, 0, s.srcWidth, s.srcHeight}, dst.data(),
                  s.dstWidth * 4, {s.dstWidth, s.dstHeight}, xFactor, yFactor, interpolation);
        if (status != primitiveStatusOk) state.SkipWithError("resize failed");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.dstWidth * s.dstHeight);
}

void peerMethod(benchmark::State& state, Sizes s, int method) {
    cv::setNumThreads(1);
    std::vector<uint8_t> pixels = randomImage(s.srcWidth, s.srcHeight);
    const cv::Mat src(s.srcHeight, s.srcWidth, CV_8UC4, pixels.data());
    cv::Mat dst(s.dstHeight, s.dstWidth, CV_8UC4);
    for (auto _ : state) {
        cv::resize(src, dst, dst.size(), 0.0, 0.0, method);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.dstWidth * s.dstHeight);
}

void peer(benchmark::State& state, Sizes s) {
    cv::setNumThreads(1);
    std::vector<uint8_t> pixels = randomImage(s.srcWidth, s.srcHeight);
    const cv::Mat src(s.srcHeight, s.srcWidth, CV_8UC4, pixels.data());
    cv::Mat dst(s.dstHeight, s.dstWidth, CV_8UC4);
    for (auto _ : state) {
        cv::resize(src, dst, dst.size(), 0.0, 0.0, cv::INTER_LINEAR);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * s.dstWidth * s.dstHeight);
}

constexpr Sizes kStrip{800, 60, 1000, 60};
constexpr Sizes kHalf{1000, 650, 500, 325};
constexpr Sizes kDouble{1000, 650, 2000, 1300};

BENCHMARK_CAPTURE(stretch, sse3_800x60_to_1000x60, primitives::buildSse3, kStrip)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stretch, generic_800x60_to_1000x60, primitives::buildGeneric, kStrip)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(peer, opencv_800x60_to_1000x60, kStrip)->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(stretch, sse3_1000x650_to_500x325, primitives::buildSse3, kHalf)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stretch, generic_1000x650_to_500x325, primitives::buildGeneric, kHalf)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(peer, opencv_1000x650_to_500x325, kHalf)->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(stretch, sse3_1000x650_to_2000x1300, primitives::buildSse3, kDouble)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(stretch, generic_1000x650_to_2000x1300, primitives::buildGeneric, kDouble)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(peer, opencv_1000x650_to_2000x1300, kDouble)->Unit(benchmark::kMicrosecond);

#define VELKARN_INTERPOLATION_BENCHMARKS(name, interpolation, peerMethodCode, sizeName, sizes)                      \
    BENCHMARK_CAPTURE(resizeOnce, name##_sse3_##sizeName, primitives::buildSse3, sizes, interpolation)              \
        ->Unit(benchmark::kMicrosecond);                                                                            \
    BENCHMARK_CAPTURE(resizeOnce, name##_generic_##sizeName, primitives::buildGeneric, sizes, interpolation)        \
        ->Unit(benchmark::kMicrosecond);                                                                            \
    BENCHMARK_CAPTURE(peerMethod, name##_opencv_##sizeName, sizes, peerMethodCode)->Unit(benchmark::kMicrosecond);

VELKARN_INTERPOLATION_BENCHMARKS(cubic, resizeInterpolationCubic, cv::INTER_CUBIC, 800x60_to_1000x60, kStrip)
VELKARN_INTERPOLATION_BENCHMARKS(cubic, resizeInterpolationCubic, cv::INTER_CUBIC, 1000x650_to_500x325, kHalf)
VELKARN_INTERPOLATION_BENCHMARKS(cubic, resizeInterpolationCubic, cv::INTER_CUBIC, 1000x650_to_2000x1300, kDouble)
VELKARN_INTERPOLATION_BENCHMARKS(lanczos, resizeInterpolationLanczos, cv::INTER_LANCZOS4, 800x60_to_1000x60, kStrip)
VELKARN_INTERPOLATION_BENCHMARKS(lanczos, resizeInterpolationLanczos, cv::INTER_LANCZOS4, 1000x650_to_500x325, kHalf)
VELKARN_INTERPOLATION_BENCHMARKS(lanczos, resizeInterpolationLanczos, cv::INTER_LANCZOS4, 1000x650_to_2000x1300,
                                 kDouble)
#undef VELKARN_INTERPOLATION_BENCHMARKS

}  // namespace
