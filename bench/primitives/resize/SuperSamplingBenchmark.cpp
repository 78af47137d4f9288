// Area averaging of a BGRA image through the entry with code 8 (one call:
// three of the four bytes of every pixel) on the SSE3-class and generic
// builds, against the peer's area resize of the same four-channel image on
// one thread. The peer has a dedicated path for whole factors and averages
// all four channels.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdint>
#include <random>
#include <vector>

#include "primitives/core/DispatchRecords.h"

namespace {

constexpr int32_t kWidth = 1200;
constexpr int32_t kHeight = 900;

std::vector<uint8_t> randomImage() {
    std::vector<uint8_t> image(static_cast<std::size_t>(kWidth) * kHeight * 4);
    std::mt19937 random(8);
    for (auto& byte : image) byte = static_cast<uint8_t>(random());
    return image;
}

int32_t reduced(int32_t size, double factor) { return static_cast<int32_t>(factor * size + 1e-7); }

void superSample(benchmark::State& state, int32_t build, double factor) {
    auto* entry = zuzuZivere_8d_OZ4O_dispatch.table[build];
    const std::vector<uint8_t> src = randomImage();
    const int32_t dstWidth = reduced(kWidth, factor);
    const int32_t dstHeight = reduced(kHeight, factor);
    std::vector<uint8_t> dst(static_cast<std::size_t>(dstWidth) * dstHeight * 4);
    for (auto _ : state) {
        const PrimitiveStatus status =
            entry(src.data(), {kWidth, kHeight}, kWidth * 4, {0, 0, kWidth, kHeight}, dst.data(), dstWidth * 4,
                  {dstWidth, dstHeight}, factor, factor, resizeInterpolationSuperSampling);
        if (status != primitiveStatusOk) state.SkipWithError("resize failed");
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * dstWidth * dstHeight);
}

void peerArea(benchmark::State& state, double factor) {
    cv::setNumThreads(1);
    std::vector<uint8_t> pixels = randomImage();
    const cv::Mat src(kHeight, kWidth, CV_8UC4, pixels.data());
    cv::Mat dst(reduced(kHeight, factor), reduced(kWidth, factor), CV_8UC4);
    for (auto _ : state) {
        cv::resize(src, dst, dst.size(), 0.0, 0.0, cv::INTER_AREA);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * dst.cols * dst.rows);
}

BENCHMARK_CAPTURE(superSample, sse3_1200x900_to_600x450, primitives::buildSse3, 0.5)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(superSample, generic_1200x900_to_600x450, primitives::buildGeneric, 0.5)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(peerArea, opencv_1200x900_to_600x450, 0.5)->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(superSample, sse3_1200x900_to_400x300, primitives::buildSse3, 1.0 / 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(superSample, generic_1200x900_to_400x300, primitives::buildGeneric, 1.0 / 3)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(peerArea, opencv_1200x900_to_400x300, 1.0 / 3)->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(superSample, sse3_1200x900_to_480x360, primitives::buildSse3, 0.4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(superSample, generic_1200x900_to_480x360, primitives::buildGeneric, 0.4)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(peerArea, opencv_1200x900_to_480x360, 0.4)->Unit(benchmark::kMicrosecond);

}  // namespace
