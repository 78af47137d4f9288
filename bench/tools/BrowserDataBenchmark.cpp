// The track database's costs. A build of a 2000-song tree whose info.zlt is
// up to date, against a bare recursive walk of the layer's listing (the
// floor: the build cannot list less) and against a build without info.zlt
// (every song opened for its tags and beats). Then filter plus sort of
// 20,000 records, as every typed character of the browser's filter does.
#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "framework/FileUtilities.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"
#include "tools/BrowserData.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A 16-bit stereo 44.1 kHz WAV file of a few frames.
std::string tinyWav() {
    const std::uint32_t frames = 64;
    const std::uint32_t dataBytes = frames * 4;
    std::string bytes = "RIFF";
    auto u32 = [&bytes](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
    };
    auto u16 = [&bytes](std::uint16_t v) {
        bytes += static_cast<char>(v);
        bytes += static_cast<char>(v >> 8);
    };
    u32(36 + dataBytes);
    bytes += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(2);
    u32(44100);
    u32(44100 * 4);
    u16(4);
    u16(16);
    bytes += "data";
    u32(dataBytes);
    bytes.append(dataBytes, '\0');
    return bytes;
}

// 2000 songs in 20 folders; every other one with a beat side file and tags.
class SongTree {
public:
    SongTree() {
        root_ = std::filesystem::temp_directory_path() / ("velkarn-bench-tree-" + std::to_string(::getpid()));
        const std::string wav = tinyWav();
        Beats beats(44100);
        for (int i = 0; i < 64; ++i) beats.appendBeat(i * 22050, false);
        BTSettings settings;
        for (int folder = 0; folder < 20; ++folder) {
            std::filesystem::path directory = root_ / ("folder " + std::to_string(folder));
            std::filesystem::create_directories(directory);
            for (int song = 0; song < 100; ++song) {
                std::filesystem::path path = directory / ("song " + std::to_string(song) + ".wav");
                std::ofstream(path, std::ios::binary) << wav;
                if (song % 2 == 0) {
                    SongTags tags;
                    std::snprintf(tags.title, sizeof tags.title, "Title %d-%d", folder, song);
                    std::snprintf(tags.artist, sizeof tags.artist, "Artist %d", song % 37);
                    BeatsWriteSources sources;
                    sources.settings = &settings;
                    sources.tags = &tags;
                    beats.writeMetaData(directory / ("song " + std::to_string(song) + ".qrt"), sources);
                }
            }
        }
    }
    ~SongTree() { std::filesystem::remove_all(root_); }
    std::string root() const { return root_.string(); }
    std::string info() const { return (root_ / "info.zlt").string(); }

private:
    std::filesystem::path root_;
};

const SongTree& tree() {
    static SongTree* made = new SongTree();
    return *made;
}

int walk(const std::string& directory) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(directory, entries)) return 0;
    int songs = 0;
    for (const platform::DirectoryEntry& entry : entries) {
        if (entry.isDirectory)
            songs += walk(directory + "/" + entry.name);
        else if (isAudioFileName(entry.name))
            ++songs;
    }
    return songs;
}

void listingFloor(benchmark::State& state) {
    const std::string root = tree().root();
    for (auto _ : state) benchmark::DoNotOptimize(walk(root));
    state.SetItemsProcessed(state.iterations() * 2000);
}

void buildWithUpToDateCache(benchmark::State& state) {
    const std::string root = tree().root();
    {
        BrowserData data;
        data.build(root, nullptr);
    }
    for (auto _ : state) {
        BrowserData data;
        benchmark::DoNotOptimize(data.build(root, nullptr));
        if (data.allCount() != 2000) state.SkipWithError("wrong song count");
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}

void buildWithoutCache(benchmark::State& state) {
    const std::string root = tree().root();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(tree().info());
        state.ResumeTiming();
        BrowserData data;
        benchmark::DoNotOptimize(data.build(root, nullptr));
        if (data.allCount() != 2000) state.SkipWithError("wrong song count");
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}

// 20,000 records with varied tags, opened through a fake factory (the
// files are empty).
class LargeDatabase {
public:
    LargeDatabase() {
        root_ = std::filesystem::temp_directory_path() / ("velkarn-bench-large-" + std::to_string(::getpid()));
        for (int folder = 0; folder < 100; ++folder) {
            std::filesystem::create_directories(root_ / ("album " + std::to_string(folder)));
            for (int song = 0; song < 200; ++song)
                std::ofstream(root_ / ("album " + std::to_string(folder)) / ("track " + std::to_string(song) + ".mp3"));
        }
        static const char* const words[] = {"Rock", "night", "Blue", "dance", "Soul", "deep", "House", "River"};
        unsigned seed = 1;
        BrowserData::setSongOpen([&seed](const std::string&, bool, bool, float, const SongFileOutputs& outputs)
                                     -> std::unique_ptr<AudioFileReader> {
            seed = seed * 1103515245u + 12345u;
            auto beats = std::make_unique<Beats>(44100);
            beats->appendBeat(0, false);
            beats->appendBeat(static_cast<std::int32_t>(15000 + (seed >> 16) % 15000), false);
            *outputs.beats = std::move(beats);
            SongTags& tags = *outputs.records.tags;
            std::snprintf(tags.title, sizeof tags.title, "%s %s %u", words[seed % 8], words[(seed >> 3) % 8],
                          seed % 1000);
            std::snprintf(tags.artist, sizeof tags.artist, "%s Band", words[(seed >> 6) % 8]);
            std::snprintf(tags.comment, sizeof tags.comment, "%s mix", words[(seed >> 9) % 8]);
            return nullptr;
        });
        data_.build(root_.string(), nullptr);
        BrowserData::setSongOpen(nullptr);
    }
    ~LargeDatabase() { std::filesystem::remove_all(root_); }
    BrowserData& data() { return data_; }

private:
    std::filesystem::path root_;
    BrowserData data_;
};

void filterAndSortPerKeystroke(benchmark::State& state, const char* column) {
    static LargeDatabase* database = new LargeDatabase();
    BrowserData& data = database->data();
    data.setSortColumn(column);
    static const char* const typed[] = {"", "r", "ro", "roc", "rock", "roc", "ro", "r"};
    std::size_t next = 0;
    for (auto _ : state) {
        data.setFilter(typed[next++ % 8]);
        benchmark::DoNotOptimize(data.shownCount());
    }
    state.counters["records"] = data.allCount();
}

}  // namespace

BENCHMARK(listingFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(buildWithUpToDateCache)->Unit(benchmark::kMillisecond);
BENCHMARK(buildWithoutCache)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterAndSortPerKeystroke, bpm, "BPM")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterAndSortPerKeystroke, track, "Track")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(filterAndSortPerKeystroke, filename, "Filename")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
