// Image copy and compositing on a 1000 x 650 BGRA image (2,600,000 bytes),
// each build called directly, against std::memcpy of the same byte count
// (the memory-bandwidth limit) and pixman's OVER in place.
//
// Bytes processed: a copy moves 2 x 2.6 MB (read, write); compositing in
// place moves 3 x 2.6 MB (two reads, one write).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "primitives/core/DispatchRecords.h"

namespace {

constexpr int32_t kWidth = 1000;
constexpr int32_t kHeight = 650;
constexpr int32_t kRow = 4 * kWidth;
constexpr int64_t kImageBytes = int64_t{kRow} * kHeight;
constexpr int32_t kWideStep = 4 * 1024;  // the region inside a 1024-pixel-wide image

// 64-byte-aligned bytes with random content (alpha spread over 0..255).
class Buffer {
public:
    explicit Buffer(std::size_t bytes, uint32_t seed) : storage_(bytes + 64) {
        std::mt19937 random(seed);
        for (auto& b : storage_) b = static_cast<uint8_t>(random());
    }
    uint8_t* data() {
        const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
        return storage_.data() + (64 - address % 64) % 64;
    }

private:
    std::vector<uint8_t> storage_;
};

bool hostRuns(int32_t build) { return build != 4 || cpuHasSse3(); }

void copyContiguous(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    if (!hostRuns(build)) return state.SkipWithError("build not supported here");
    auto* copy = duroCopy_8u_C4R_dispatch.table[build];
    Buffer src(kImageBytes, 1), dst(kImageBytes, 2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(copy(src.data(), kRow, dst.data(), kRow, {kWidth, kHeight}));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kImageBytes);
}
BENCHMARK(copyContiguous)->DenseRange(1, 4)->ArgName("build");

void copyRowByRow(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    if (!hostRuns(build)) return state.SkipWithError("build not supported here");
    auto* copy = duroCopy_8u_C4R_dispatch.table[build];
    Buffer src(int64_t{kWideStep} * kHeight, 3), dst(int64_t{kWideStep} * kHeight, 4);
    for (auto _ : state) {
        benchmark::DoNotOptimize(copy(src.data(), kWideStep, dst.data(), kWideStep, {kWidth, kHeight}));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kImageBytes);
}
BENCHMARK(copyRowByRow)->DenseRange(1, 4)->ArgName("build");

void memcpyLimit(benchmark::State& state) {
    Buffer src(kImageBytes, 5), dst(kImageBytes, 6);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), kImageBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 2 * kImageBytes);
}
BENCHMARK(memcpyLimit);

// Over with the destination as second source, as the image class draws one
// image onto another (type 0). The premultiplied form (type 6) is the same
// operation as pixman's OVER; the plain form also premultiplies both sources.
template <AlphaType Type>
void alphaCompositeOverInPlace(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    if (!hostRuns(build)) return state.SkipWithError("build not supported here");
    auto* composite = duroAlphaComp_8u_AC4R_dispatch.table[build];
    Buffer src(kImageBytes, 7), dst(kImageBytes, 8);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            composite(src.data(), kRow, dst.data(), kRow, dst.data(), kRow, {kWidth, kHeight}, Type));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 3 * kImageBytes);
}
BENCHMARK(alphaCompositeOverInPlace<alphaTypeOver>)
    ->Name("alphaCompositeOverInPlace")
    ->DenseRange(1, 4)
    ->ArgName("build");
BENCHMARK(alphaCompositeOverInPlace<alphaTypeOverPremultiplied>)
    ->Name("alphaCompositePremultipliedOverInPlace")
    ->DenseRange(1, 4)
    ->ArgName("build");

void pixmanOverInPlace(benchmark::State& state) {
    Buffer src(kImageBytes, 7), dst(kImageBytes, 8);
    pixman_image_t* source = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight,
                                                      reinterpret_cast<uint32_t*>(src.data()), kRow);
    pixman_image_t* target = pixman_image_create_bits(PIXMAN_a8r8g8b8, kWidth, kHeight,
                                                      reinterpret_cast<uint32_t*>(dst.data()), kRow);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, source, nullptr, target, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(source);
    pixman_image_unref(target);
    state.SetBytesProcessed(state.iterations() * 3 * kImageBytes);
}
BENCHMARK(pixmanOverInPlace);

}  // namespace
