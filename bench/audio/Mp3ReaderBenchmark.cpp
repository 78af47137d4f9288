// The MP3 song reader on the 3-minute benchmark file (44.1 kHz stereo,
// 192 kb/s), single thread:
//   - sequential 1-second reads with readAhead, as a deck plays, beside
//     libmpg123 decoding the same bytes from memory to float and beside the
//     bare decoding chain of the primitives (the test kit's loop, 16-bit);
//   - 200 seeded random seeks, each with a 1-second read, beside
//     mpg123_seek after mpg123_scan on the same file.
// x_realtime is seconds of audio per second; the seek cases report the
// time of one seek and read.
#include "audio/SampleDiskMP3.h"
#include "framework/FileDisk.h"
#include "framework/FileMemory.h"

#include <benchmark/benchmark.h>
#include <mpg123.h>

#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "Mp3Decoder.h"

namespace {

constexpr std::int32_t kSecond = 44100;
constexpr int kSeeks = 200;

const std::vector<std::uint8_t>& fileBytes() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::ifstream in(VELKARN_MP3_BENCHMARK_FILE, std::ios::binary);
        return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

std::unique_ptr<File> openFile(bool disk) {
    if (disk) return std::make_unique<FileDisk>(VELKARN_MP3_BENCHMARK_FILE, true, false);
    auto memory = std::make_unique<FileMemory>(static_cast<int>(fileBytes().size()));
    memory->write(fileBytes().data(), static_cast<int>(fileBytes().size()));
    memory->seek(0);
    return memory;
}

std::unique_ptr<SampleDiskMP3> openReader(bool disk) {
    return std::make_unique<SampleDiskMP3>(openFile(disk), FormatAudio(), 0, static_cast<std::int32_t>(fileBytes().size()),
                                           2.0f, nullptr, 0);
}

bool haveFile(benchmark::State& state) {
    if (!fileBytes().empty()) return true;
    state.SkipWithError("no benchmark file at " VELKARN_MP3_BENCHMARK_FILE);
    return false;
}

void reportRealTime(benchmark::State& state, std::int64_t frames) {
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(frames) / kSecond, benchmark::Counter::kIsIterationInvariantRate);
}

// Seeded positions anywhere in the song, the same for every peer.
std::vector<std::int32_t> seekPositions(std::int32_t length) {
    std::mt19937 random(1211);
    std::uniform_int_distribution<std::int32_t> pick(0, length - kSecond);
    std::vector<std::int32_t> positions(kSeeks);
    for (std::int32_t& p : positions) p = pick(random);
    return positions;
}

// Argument: 0 the file's bytes in memory, 1 the file on disk.
void readerSequential(benchmark::State& state) {
    if (!haveFile(state)) return;
    const auto reader = openReader(state.range(0) == 1);
    for (auto _ : state) {
        for (std::int32_t at = 0; at < reader->length(); at += kSecond) {
            float** channels = reader->read(at, kSecond, true);
            benchmark::DoNotOptimize(channels[0][0]);
        }
    }
    reportRealTime(state, reader->length());
}
BENCHMARK(readerSequential)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Opening: the scan that builds the frame index.
void readerOpen(benchmark::State& state) {
    if (!haveFile(state)) return;
    for (auto _ : state) benchmark::DoNotOptimize(openReader(true)->frameCount());
}
BENCHMARK(readerOpen)->Unit(benchmark::kMillisecond);

void bareChain(benchmark::State& state) {
    if (!haveFile(state)) return;
    std::int64_t frames = 0;
    for (auto _ : state) {
        const primitives::test::DecodedStream out = primitives::test::Mp3Decoder(fileBytes()).decodeAll();
        frames = static_cast<std::int64_t>(out.pcm.size() / 2);
        benchmark::DoNotOptimize(out.pcm.data());
    }
    reportRealTime(state, frames);
}
BENCHMARK(bareChain)->Unit(benchmark::kMillisecond);

mpg123_handle* newFloatHandle() {
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_GAPLESS, 0, 0.0);
    mpg123_format_none(handle);
    mpg123_format(handle, 44100, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    return handle;
}

void libmpg123Sequential(benchmark::State& state) {
    if (!haveFile(state)) return;
    std::vector<unsigned char> pcm(kSecond * 2 * sizeof(float));
    std::int64_t frames = 0;
    for (auto _ : state) {
        mpg123_handle* handle = newFloatHandle();
        mpg123_open_feed(handle);
        std::size_t done = 0;
        std::int64_t bytes = 0;
        int status = mpg123_decode(handle, fileBytes().data(), fileBytes().size(), pcm.data(), pcm.size(), &done);
        bytes += static_cast<std::int64_t>(done);
        while (status != MPG123_ERR && status != MPG123_NEED_MORE) {
            benchmark::DoNotOptimize(pcm.data());
            status = mpg123_decode(handle, nullptr, 0, pcm.data(), pcm.size(), &done);
            bytes += static_cast<std::int64_t>(done);
        }
        mpg123_delete(handle);
        frames = bytes / static_cast<std::int64_t>(2 * sizeof(float));
    }
    reportRealTime(state, frames);
}
BENCHMARK(libmpg123Sequential)->Unit(benchmark::kMillisecond);

void readerSeeks(benchmark::State& state) {
    if (!haveFile(state)) return;
    const auto reader = openReader(true);
    const std::vector<std::int32_t> positions = seekPositions(reader->length());
    for (auto _ : state) {
        for (const std::int32_t at : positions) {
            float** channels = reader->read(at, kSecond, false);
            benchmark::DoNotOptimize(channels[0][0]);
        }
    }
    state.counters["per_seek_ms"] =
        benchmark::Counter(kSeeks * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(readerSeeks)->Unit(benchmark::kMillisecond);

void libmpg123Seeks(benchmark::State& state) {
    if (!haveFile(state)) return;
    mpg123_handle* handle = newFloatHandle();
    mpg123_open(handle, VELKARN_MP3_BENCHMARK_FILE);
    mpg123_scan(handle);
    const auto length = static_cast<std::int32_t>(mpg123_length(handle));
    const std::vector<std::int32_t> positions = seekPositions(length);
    std::vector<unsigned char> pcm(kSecond * 2 * sizeof(float));
    for (auto _ : state) {
        for (const std::int32_t at : positions) {
            mpg123_seek(handle, at, SEEK_SET);
            std::size_t done = 0;
            mpg123_read(handle, pcm.data(), pcm.size(), &done);
            benchmark::DoNotOptimize(pcm.data());
        }
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    state.counters["per_seek_ms"] =
        benchmark::Counter(kSeeks * 1e-3, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(libmpg123Seeks)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    mpg123_init();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
