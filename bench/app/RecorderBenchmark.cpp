// The recorder's write pass: one second of stereo audio converted and
// written as the writer does it (one conversion and one stream write per
// run of frames), beside the same conversion written one 16-bit sample per
// stream write. The counter xRT is seconds of audio written per CPU second.
#include "app/Recorder.h"
#include "audio/SampleConversion.h"
#include "platform/FileSystem.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int frames = 44100;

struct Second {
    Second() : left(frames), right(frames), scratch(static_cast<std::size_t>(frames) * 4) {
        for (int i = 0; i < frames; ++i) {
            left[i] = 0.8f * std::sin(0.0627f * static_cast<float>(i));
            right[i] = 0.8f * std::sin(0.0419f * static_cast<float>(i));
        }
        channels[0] = left.data();
        channels[1] = right.data();
    }
    std::vector<float> left;
    std::vector<float> right;
    const float* channels[2];
    std::vector<std::uint8_t> scratch;
};

std::string temporaryPath() {
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory != nullptr ? directory : "/tmp") + "/velkarn-recorder-bench-" +
           std::to_string(::getpid()) + ".raw";
}

void setCounters(benchmark::State& state) {
    state.counters["xRT"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_WritePass(benchmark::State& state) {
    Second second;
    const std::string path = temporaryPath();
    std::unique_ptr<platform::DiskFile> file(platform::DiskFile::open(path, platform::DiskFile::Mode::Write));
    for (auto _ : state) {
        file->seek(0, SEEK_SET);
        Recorder::writeFrames(*file, second.channels, 2, 0, frames, second.scratch.data());
        file->flush();
    }
    file.reset();
    std::remove(path.c_str());
    setCounters(state);
}
BENCHMARK(BM_WritePass)->Unit(benchmark::kMicrosecond);

void BM_WritePassOneSamplePerWrite(benchmark::State& state) {
    Second second;
    const std::string path = temporaryPath();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    for (auto _ : state) {
        std::fseek(file, 0, SEEK_SET);
        for (int i = 0; i < frames; ++i) {
            for (int c = 0; c < 2; ++c) {
                const auto sample = static_cast<std::int16_t>(convertSample(second.channels[c][i], 16));
                std::fwrite(&sample, 2, 1, file);
            }
        }
        std::fflush(file);
    }
    std::fclose(file);
    std::remove(path.c_str());
    setCounters(state);
}
BENCHMARK(BM_WritePassOneSamplePerWrite)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
