// The WAV song reader on a 3-minute 16-bit stereo file: deck-sized reads in
// order and at random places, in frames per second, beside the bare reads
// of the same bytes from the file (the floor: the reader adds the split
// into channels and the scaling).
#include "audio/SampleDisk.h"
#include "framework/FileDisk.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int32_t kFrames = 3 * 60 * 44100;

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// A WAV file of noise in the temporary directory, removed at exit.
const std::string& songPath() {
    static const std::string path = [] {
        std::string name = "/tmp/velkarn-pcm-bench-" + std::to_string(::getpid()) + ".wav";
        std::string bytes = "RIFF";
        putLe(bytes, 36 + kFrames * 4u, 4);
        bytes += "WAVEfmt ";
        putLe(bytes, 16, 4);
        putLe(bytes, 1, 2);
        putLe(bytes, 2, 2);
        putLe(bytes, 44100, 4);
        putLe(bytes, 44100 * 4, 4);
        putLe(bytes, 4, 2);
        putLe(bytes, 16, 2);
        bytes += "data";
        putLe(bytes, kFrames * 4u, 4);
        std::mt19937 random(7);
        for (std::int32_t i = 0; i < kFrames * 2; ++i) putLe(bytes, random() & 0xFFFF, 2);
        std::FILE* file = std::fopen(name.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        std::atexit([] { std::remove(songPath().c_str()); });
        return name;
    }();
    return path;
}

void BM_ReaderInOrder(benchmark::State& state) {
    const auto block = static_cast<std::int32_t>(state.range(0));
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(songPath(), true, false, 1.0f);
    std::int32_t at = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reader->read(at, block, true));
        at = at + block >= kFrames ? 0 : at + block;
    }
    state.SetItemsProcessed(state.iterations() * block);
}
BENCHMARK(BM_ReaderInOrder)->Arg(512)->Arg(4410)->Arg(44100);

void BM_ReaderAtRandom(benchmark::State& state) {
    const auto block = static_cast<std::int32_t>(state.range(0));
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(songPath(), true, false, 1.0f);
    std::mt19937 random(11);
    for (auto _ : state) {
        const auto at = static_cast<std::int32_t>(random() % kFrames) - block / 2;
        benchmark::DoNotOptimize(reader->read(at, block, false));
    }
    state.SetItemsProcessed(state.iterations() * block);
}
BENCHMARK(BM_ReaderAtRandom)->Arg(512)->Arg(4410);

void BM_BareFileReads(benchmark::State& state) {
    const auto block = static_cast<std::int32_t>(state.range(0));
    FileDisk file(songPath(), true, false);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(block) * 2);
    std::int32_t at = 0;
    for (auto _ : state) {
        file.seek(44 + at * 4);
        benchmark::DoNotOptimize(file.read(samples.data(), block * 4));
        at = at + block >= kFrames ? 0 : at + block;
    }
    state.SetItemsProcessed(state.iterations() * block);
}
BENCHMARK(BM_BareFileReads)->Arg(512)->Arg(4410)->Arg(44100);

}  // namespace

BENCHMARK_MAIN();
