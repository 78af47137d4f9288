// Loading a full beat meta-data file: 5000 beats, every side record, the
// level envelope of a 5-minute song (153 frames per level, 256 values) and
// an MP3 frame table of 11,500 entries. The database build reads thousands
// of these. zlib's crc32 over the same bytes is the floor: the reader
// checks a CRC over every byte it keeps.
#include "audio/Beats.h"
#include "framework/FileDisk.h"
#include "framework/FileMemory.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string fullFile() {
    Beats beats(44100);
    for (std::int32_t i = 0; i < Beats::capacity; ++i) beats.appendBeat(1000 + i * 2640, i % 4 != 0);
    BTSettings settings;
    SongTags tags;
    std::strcpy(tags.title, "Benchmark Title");
    std::strcpy(tags.artist, "Benchmark Artist");
    char label[songTextSize] = "Benchmark Label";
    MusicalKey key = MusicalKey::fromIndex(14);
    const std::int32_t frames = 5 * 60 * 44100;
    std::vector<float> levels(static_cast<std::size_t>(frames / 153));
    for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<float>(i % 256) / 255.0f;
    std::vector<std::int32_t> values(256);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::int32_t>(i * 7);
    PointsRecord points;
    points.fromValues(153, static_cast<std::int32_t>(levels.size()), levels.data(), 256, values.data());
    std::vector<std::int32_t> offsets(11500);
    for (std::size_t i = 0; i < offsets.size(); ++i) offsets[i] = static_cast<std::int32_t>(i * 418);
    BeatsWriteSources sources{&settings, &tags, label, &key, &points, offsets.data(), 11499};
    std::string bytes = beats.metaDataBytes(sources);
    points.release();
    return bytes;
}

struct Outputs {
    BTSettings settings;
    SongTags tags;
    bool hasTags, hasLabel, hasKey, hasPoints;
    char label[songTextSize];
    MusicalKey key;
    PointsRecord points;
    std::vector<std::int32_t> frames;
    std::int32_t frameCount = 0;
    BeatsReadTargets targets() {
        return {&settings, &tags, &hasTags, label, &hasLabel, &key, &hasKey, &points, &hasPoints, &frames, &frameCount};
    }
};

void loadFromMemory(benchmark::State& state) {
    const std::string bytes = fullFile();
    FileMemory file(static_cast<int>(bytes.size()));
    file.write(bytes.data(), static_cast<int>(bytes.size()));
    Outputs out;
    for (auto _ : state) {
        file.seek(0);
        Beats beats(file, 44100, out.targets());
        benchmark::DoNotOptimize(beats.count());
    }
    out.points.release();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void loadFromDisk(benchmark::State& state) {
    const std::string bytes = fullFile();
    const std::string path = "/tmp/velkarn-qrt-bench-" + std::to_string(::getpid()) + ".qrt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    Outputs out;
    for (auto _ : state) {
        FileDisk file(path, true, false);
        Beats beats(file, 44100, out.targets());
        benchmark::DoNotOptimize(beats.count());
    }
    out.points.release();
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}

void zlibCrc32(benchmark::State& state) {
    const std::string bytes = fullFile();
    for (auto _ : state) {
        uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}

}  // namespace

BENCHMARK(loadFromMemory)->Unit(benchmark::kMicrosecond);
BENCHMARK(loadFromDisk)->Unit(benchmark::kMicrosecond);
BENCHMARK(zlibCrc32)->Unit(benchmark::kMicrosecond);
