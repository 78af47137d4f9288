#include "BeatMapTestSupport.h"

#include "BuildTest.h"
#include "TestEnvironment.h"
#include "audio/AlignedFloats.h"
#include "audio/SampleDisk.h"
#include "tools/GUIBeatMap.h"

#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <sstream>

namespace beatmap_test {
namespace {

testing_support::TemporaryDirectory& programDirectory() {
    static testing_support::TemporaryDirectory directory;
    return directory;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) result.push_back(line);
    return result;
}

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

}  // namespace

const std::vector<TempoSong>& tempoSongs() {
    static const std::vector<TempoSong> songs = [] {
        std::vector<TempoSong> list;
        const std::string directory = programDirectory().path();
        for (const std::string& line :
             lines(testing_support::runPython("tools/data/make_tempo_signals.py", {directory}))) {
            std::istringstream in(line);
            TempoSong song;
            in >> song.name >> song.bpm >> song.meter >> song.kind;
            song.path = directory + "/" + song.name + ".wav";
            list.push_back(song);
        }
        return list;
    }();
    return songs;
}

const TempoSong& tempoSong(const std::string& name) {
    for (const TempoSong& song : tempoSongs())
        if (song.name == name) return song;
    ADD_FAILURE() << "no song " << name;
    return tempoSongs().front();
}

const std::vector<float>& songEnvelope(const TempoSong& song) {
    static std::map<std::string, std::vector<float>> cache;
    auto found = cache.find(song.name);
    if (found != cache.end()) return found->second;
    GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
    std::unique_ptr<AudioFileReader> reader = openWav(song.path);
    EXPECT_TRUE(map.analyse(reader.get(), nullptr));
    std::int32_t count = 0;
    const float* values = map.envelope(&count);
    return cache[song.name] = std::vector<float>(values, values + count);
}

std::vector<std::string> model(const std::vector<std::string>& arguments) {
    return lines(testing_support::runPython("tools/tempo_model.py", arguments));
}

std::string temporaryFile(const std::string& name) { return programDirectory().file(name); }

std::string writeFloats(const std::string& name, const std::vector<float>& values) {
    std::string bytes(values.size() * sizeof(float), '\0');
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    const std::string path = temporaryFile(name);
    testing_support::writeFile(path, bytes);
    return path;
}

float floatFromHex(const std::string& hex) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16)) << (8 * i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::vector<float> floatsFromHex(const std::vector<std::string>& text, std::size_t first, std::size_t count) {
    std::vector<float> values;
    for (std::size_t i = first; i < first + count && i < text.size(); ++i) values.push_back(floatFromHex(text[i]));
    return values;
}

void writeWav(const std::string& path, const std::vector<std::int16_t>& interleaved) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
    std::string out = "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put32(out, 1 | (2u << 16));
    put32(out, 44100);
    put32(out, 44100 * 4);
    put32(out, 4 | (16u << 16));
    out += "data";
    put32(out, dataBytes);
    for (std::int16_t s : interleaved) {
        out.push_back(static_cast<char>(s & 0xff));
        out.push_back(static_cast<char>((s >> 8) & 0xff));
    }
    testing_support::writeFile(path, out);
}

std::unique_ptr<AudioFileReader> openWav(const std::string& path) { return SampleDisk::open(path, true, false, 3.0f); }

void setEnvelope(GUIBeatMap& map, const std::vector<float>& values) {
    float* copy = values.empty() ? nullptr : allocateFloats(static_cast<std::int64_t>(values.size()));
    if (copy != nullptr) std::memcpy(copy, values.data(), values.size() * sizeof(float));
    map.setEnvelope(static_cast<std::int32_t>(values.size()), copy);
}

void forEachBuild(const std::vector<float>& envelope, const std::function<void(GUIBeatMap& map)>& body) {
    for (int build = 1; build <= 4; ++build) {
        if (!primitives::test::hostRunsBuild(build)) continue;
        SCOPED_TRACE(primitives::test::buildName(build));
        primitives::test::ScopedBuildIndex selected(build);
        GUIBeatMap map(0, 0, 10, 10, samplesPerValue, nullptr);
        setEnvelope(map, envelope);
        body(map);
    }
}

std::vector<float> longAccentedEnvelope() {
    const double valuesPerBeat = 60.0 * 44100.0 / 120.0 / samplesPerValue;
    std::vector<float> envelope(600 * 44100 / samplesPerValue);
    std::mt19937 random(11);
    std::uniform_real_distribution<float> floor(0.0f, 0.002f);
    for (float& v : envelope) v = floor(random);
    for (int beat = 0;; ++beat) {
        const std::size_t at = static_cast<std::size_t>(std::lround(beat * valuesPerBeat));
        if (at >= envelope.size()) break;
        envelope[at] = beat % 4 == 0 ? 1.0f : 0.5f;
    }
    return envelope;
}

MemoryReader::MemoryReader(FormatAudio format, std::int32_t frames) : format_(format), frames_(frames) {}

float** MemoryReader::read(std::int32_t position, std::int32_t count, bool /*readAhead*/) {
    if (abortFlag_ != nullptr && static_cast<int>(reads_.size()) == abortRead_)
        std::atomic_ref<bool>(*abortFlag_).store(true);
    reads_.emplace_back(position, count);
    buffers_.assign(static_cast<std::size_t>(format_.channels), std::vector<float>(static_cast<std::size_t>(count)));
    pointers_.clear();
    for (std::size_t c = 0; c < buffers_.size(); ++c) {
        // A ramp per channel, negative on the right, so that blocks differ.
        for (std::int32_t i = 0; i < count; ++i)
            buffers_[c][static_cast<std::size_t>(i)] =
                static_cast<float>((position + i) % 65536) / 65536.0f * (c == 0 ? 1.0f : -0.5f);
        pointers_.push_back(buffers_[c].data());
    }
    return pointers_.data();
}

}  // namespace beatmap_test
