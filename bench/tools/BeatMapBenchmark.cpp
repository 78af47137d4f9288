// The beat map on a 5-minute song (accented clicks at 126 BPM over noise):
// the whole-song analysis beside reading the same chunks through the WAV
// reader alone (the floor), the tempo candidates, and the refinement of
// the first candidate; for context, the wall time of an outside tempo
// detector ("aubio tempo") on the same file.
#include "audio/SampleDisk.h"
#include "tools/GUIBeatMap.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::int32_t kFrames = 5 * 60 * 44100;
constexpr std::int32_t kSamplesPerValue = 153;

void putLe(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

// The song in the temporary directory, removed at exit.
const std::string& songPath() {
    static const std::string path = [] {
        std::string name = "/tmp/velkarn-beatmap-bench-" + std::to_string(::getpid()) + ".wav";
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
        std::normal_distribution<double> noise(0.0, 300.0);
        const double beat = 60.0 * 44100.0 / 126.0;
        for (std::int32_t i = 0; i < kFrames; ++i) {
            const double sinceBeat = std::fmod(i, beat);
            const int beatIndex = static_cast<int>(i / beat);
            double level = noise(random);
            if (sinceBeat < 441) {
                const double hann = 0.5 - 0.5 * std::cos(2 * M_PI * sinceBeat / 441.0);
                level += (beatIndex % 4 == 0 ? 28000.0 : 14000.0) * hann * std::sin(2 * M_PI * 1000.0 * i / 44100.0);
            }
            const auto sample = static_cast<std::int16_t>(std::lround(std::clamp(level, -32768.0, 32767.0)));
            putLe(bytes, static_cast<std::uint16_t>(sample), 2);
            putLe(bytes, static_cast<std::uint16_t>(sample), 2);
        }
        std::FILE* file = std::fopen(name.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        std::atexit([] { std::remove(songPath().c_str()); });
        return name;
    }();
    return path;
}

void BM_Analysis(benchmark::State& state) {
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(songPath(), true, false, 2.5f);
    GUIBeatMap map(0, 0, 600, 400, kSamplesPerValue, nullptr);
    for (auto _ : state) benchmark::DoNotOptimize(map.analyse(reader.get(), nullptr));
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_Analysis)->Unit(benchmark::kMillisecond);

// The same reads the analysis makes (one-second chunks), nothing else.
void BM_ReadFloor(benchmark::State& state) {
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(songPath(), true, false, 2.5f);
    const std::int32_t chunk = 44100 / kSamplesPerValue * kSamplesPerValue;
    for (auto _ : state) {
        for (std::int32_t at = 0; at + chunk <= kFrames; at += chunk) benchmark::DoNotOptimize(reader->read(at, chunk, false));
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond);

GUIBeatMap& analysedMap() {
    static GUIBeatMap map(0, 0, 600, 400, kSamplesPerValue, nullptr);
    static const bool analysed = [] {
        std::unique_ptr<AudioFileReader> reader = SampleDisk::open(songPath(), true, false, 2.5f);
        return map.analyse(reader.get(), nullptr);
    }();
    (void)analysed;
    return map;
}

void BM_TempoCandidates(benchmark::State& state) {
    GUIBeatMap& map = analysedMap();
    float tempi[6];
    std::int32_t count = 0;
    for (auto _ : state) {
        map.findTempoCandidates(4, tempi, &count, 6);
        benchmark::DoNotOptimize(tempi[0]);
    }
}
BENCHMARK(BM_TempoCandidates)->Unit(benchmark::kMillisecond);

void BM_EstimateAndRefine(benchmark::State& state) {
    GUIBeatMap& map = analysedMap();
    float tempi[6];
    std::int32_t count = 0;
    for (auto _ : state) {
        map.findTempoCandidates(4, tempi, &count, 6);
        float tempo = tempi[0];
        map.refineTempo(&tempo, 4);
        benchmark::DoNotOptimize(tempo);
    }
}
BENCHMARK(BM_EstimateAndRefine)->Unit(benchmark::kMillisecond);

// "aubio tempo" on the song, from its start to its exit (reading, decoding
// and its whole analysis), its output thrown away. Skipped where the
// program is not installed.
void BM_AubioTempoWallTime(benchmark::State& state) {
    const std::string& path = songPath();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = "aubio";
    std::string command = "tempo";
    std::string song = path;
    char* argv[] = {program.data(), command.data(), song.data(), nullptr};
    for (auto _ : state) {
        pid_t child = -1;
        int status = -1;
        if (posix_spawnp(&child, "aubio", &actions, nullptr, argv, environ) != 0 || ::waitpid(child, &status, 0) != child ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("aubio tempo did not run (is aubio-tools installed?)");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_AubioTempoWallTime)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
