// Scale factors plus Huffman decoding, per build, over every granule of the
// benchmark file (3 minutes, 44.1 kHz stereo, 192 kb/s), with the main data
// already assembled in memory by the frame walker. Reported per granule of
// both channels.
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Mp3FrameWalker.h"
#include "primitives/core/DispatchRecords.h"

namespace {

using primitives::test::Mp3FrameWalker;
using primitives::test::WalkedFrame;

const std::vector<WalkedFrame>& benchmarkFrames() {
    static const std::vector<WalkedFrame> frames = [] {
        std::ifstream in(VELKARN_MP3_BENCHMARK_FILE, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Mp3FrameWalker walker(std::move(bytes));
        std::vector<WalkedFrame> list;
        WalkedFrame frame;
        while (walker.next(frame)) list.push_back(frame);
        return list;
    }();
    return frames;
}

template <typename Unpack, typename Decode>
void decodeAll(benchmark::State& state, Unpack* unpack, Decode* decode) {
    const auto& frames = benchmarkFrames();
    if (frames.empty()) {
        state.SkipWithError("no frames in " VELKARN_MP3_BENCHMARK_FILE);
        return;
    }
    int8_t scaleFactors[2][40] = {};
    alignas(32) int32_t spectrum[576];
    int64_t granules = 0;
    for (auto _ : state) {
        for (const WalkedFrame& f : frames) {
            for (int32_t gr = 0; gr < f.granules; ++gr) {
                for (int32_t ch = 0; ch < f.channels; ++ch) {
                    MP3SideInfo si = f.sideInfo[gr * f.channels + ch];
                    const int32_t start = f.mainDataStartBit[gr][ch];
                    const uint8_t* cursor = f.mainData.data() + start / 8;
                    int32_t offset = start % 8;
                    unpack(&cursor, &offset, scaleFactors[ch], &si, f.scfsi + 4 * ch, &f.header, gr, ch);
                    const auto used = static_cast<int32_t>((cursor - f.mainData.data()) * 8 + offset - start);
                    int32_t bound = 0;
                    decode(&cursor, &offset, spectrum, &bound, &si, &f.header, si.part2_3_length - used);
                    benchmark::DoNotOptimize(bound);
                }
                ++granules;
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(granules);
    state.counters["ns_per_granule"] =
        benchmark::Counter(static_cast<double>(granules) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ScaleFactorsAndHuffman(benchmark::State& state) {
    const auto build = static_cast<int32_t>(state.range(0));
    state.SetLabel(build == 0 ? "stub" : build == 1 ? "generic" : build == 2 ? "sse" : build == 3 ? "sse2" : "sse3");
    if (build == 0) {
        decodeAll(state, zaviUnpackScaleFactors_MP3_1u8s, zaviHuffmanDecode_MP3_1u32s);
    } else {
        decodeAll(state, zaviUnpackScaleFactors_MP3_1u8s_dispatch.table[build],
                  zaviHuffmanDecode_MP3_1u32s_dispatch.table[build]);
    }
}
// 0: through the stub at the build the library chose at start-up.
BENCHMARK(BM_ScaleFactorsAndHuffman)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    initCpuDispatch();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
