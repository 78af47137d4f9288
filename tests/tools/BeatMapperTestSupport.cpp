#include "BeatMapperTestSupport.h"

#include "OutputThreadCalls.h"
#include "audio/Beats.h"
#include "audio/MusicalKey.h"
#include "audio/WaveOut.h"
#include "framework/GUIComponent.h"
#include "framework/Log.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"
#include "primitives.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace mapper_test {

using platform::audio::NullAudio;

namespace {

void put16(std::string& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put32(std::string& bytes, std::uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

std::string wavBytes(std::int64_t frames) {
    const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::string bytes = "RIFF";
    put32(bytes, 36 + dataBytes);
    bytes += "WAVEfmt ";
    put32(bytes, 16);
    put16(bytes, 1);
    put16(bytes, 2);
    put32(bytes, 44100);
    put32(bytes, 44100 * 4);
    put16(bytes, 4);
    put16(bytes, 16);
    bytes += "data";
    put32(bytes, dataBytes);
    bytes.reserve(bytes.size() + dataBytes);
    for (std::int64_t n = 0; n < frames; ++n) {
        put16(bytes, static_cast<std::uint16_t>(songValue(0, n)));
        put16(bytes, static_cast<std::uint16_t>(songValue(1, n)));
    }
    return bytes;
}

void copyText(char* target, const std::string& text) { std::snprintf(target, songTextSize, "%s", text.c_str()); }

}  // namespace

std::int16_t songValue(int channel, std::int64_t frame) {
    // Two tones a little apart per channel, well below full scale so that
    // a song gain of 0.75 and a click never clip.
    const double t = static_cast<double>(frame) / 44100.0;
    const double value = channel == 0 ? 0.35 * std::sin(2.0 * M_PI * 331.0 * t) + 0.1 * std::sin(2.0 * M_PI * 47.0 * t)
                                      : 0.3 * std::sin(2.0 * M_PI * 553.0 * t + 1.0);
    return static_cast<std::int16_t>(std::lround(value * 32767.0));
}

float writtenLevel(std::size_t index) { return static_cast<float>(index % 17) / 17.0f; }

void writeSong(const std::string& path, const MapperSong& song) {
    const auto frames = static_cast<std::int64_t>(song.seconds * 44100.0);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string bytes = wavBytes(frames);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    if (!song.withMetaData) return;

    Beats beats(44100);
    for (std::size_t i = 0; i < song.beats.size(); ++i) {
        beats.appendBeat(song.beats[i], i < song.generated.size() && song.generated[i]);
    }
    BTSettings settings;
    settings.bpm = song.bpm;
    settings.strip[1] = song.beatsPerBar;
    settings.strip3 = song.usePng ? 1 : 0;
    SongTags tags;
    copyText(tags.title, song.title);
    copyText(tags.artist, song.artist);
    copyText(tags.album, song.album);
    copyText(tags.comment, song.comment);
    copyText(tags.year, song.year);
    char label[songTextSize] = {};
    copyText(label, song.label);
    const MusicalKey key = song.keyIndex >= 0 ? MusicalKey::fromIndex(song.keyIndex) : MusicalKey();
    std::vector<float> levels;
    PointsRecord points;
    if (song.samplesPerLevel > 0) {
        levels.resize(static_cast<std::size_t>(frames / song.samplesPerLevel));
        for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = writtenLevel(i);
        points.samplesPerLevel = song.samplesPerLevel;
        points.levelCount = static_cast<std::int32_t>(levels.size());
        points.levels = levels.data();
    }

    BeatsWriteSources sources;
    sources.settings = &settings;
    if (song.withTags) sources.tags = &tags;
    if (!song.label.empty()) sources.label = label;
    if (song.keyIndex >= 0) sources.key = &key;
    if (song.samplesPerLevel > 0) sources.points = &points;
    beats.writeMetaData(path.substr(0, path.size() - 3) + "qrt", sources);
}

void OutputZeroRouter::render(Motor* device, float** channels, std::int32_t frames) {
    zaviZero_32f(channels[0], frames);
    zaviZero_32f(channels[1], frames);
    BeatMapper* open = mapper.load(std::memory_order_acquire);
    if (open == nullptr || device != output0.load(std::memory_order_acquire)) return;
    setOnOutputThread(true);
    open->render(device, channels, frames);
    setOnOutputThread(false);
}

void BeatMapperTest::SetUp() {
    home.emplace();
    homeVariable.emplace("VELKARN_HOME", home->path());
    supportSettings().archiveMode = true;
    initializeFileSystem();
    setFatalErrorHook(throwFatalStop);
    testing_support::clearLog();
    platform::uiScript::enable();
    platform::VirtualClock::enable();
    NullAudio::setMemoryCapture(true);
    fakeAudio.emplace();
    fakeAudio->waveOut.push_back(
        {platform::audio::WaveDeviceCaps{"Fake Wave", platform::audio::waveFormat4S16, 2}, false});
}

void BeatMapperTest::TearDown() {
    router.mapper.store(nullptr);
    device.reset();
    mapper.reset();
    BeatMapper::setSongOpen({});
    fakeAudio.reset();
    NullAudio::setMemoryCapture(false);
    NullAudio::forget();
    platform::VirtualClock::disable();
    platform::uiScript::disable();
    setFatalErrorHook(nullptr);
    cleanUpFileSystem();
    supportSettings().archiveMode = false;
    homeVariable.reset();
    home.reset();
}

BeatMapper& BeatMapperTest::open(const std::string& path) {
    mapper = std::make_unique<BeatMapper>(nullptr, 1, format, &application, path);
    return *mapper;
}

void BeatMapperTest::openOutput(float latencyMs) {
    device = std::make_unique<WaveOut>(0, format, latencyMs, &router);
    stream = NullAudio::newestStream();
    router.output0.store(device.get());
    router.mapper.store(mapper.get());
    device->start();
    frames = NullAudio::stream(stream)->periodFrames;
}

void BeatMapperTest::step(int periods) {
    for (int i = 0; i < periods; ++i) ASSERT_TRUE(NullAudio::advanceToDeadline(stream, 1));
}

std::vector<std::int16_t> BeatMapperTest::played(int from, int to) const {
    const std::vector<std::uint8_t> capture = NullAudio::capturedBytes(stream);
    const std::size_t blockBytes = static_cast<std::size_t>(frames) * 4;
    const std::size_t end = static_cast<std::size_t>(to) * blockBytes;
    EXPECT_LE(end, capture.size()) << "not played yet";
    std::vector<std::int16_t> samples;
    for (std::size_t at = static_cast<std::size_t>(from) * blockBytes; at + 1 < std::min(end, capture.size()); at += 2) {
        std::int16_t value = 0;
        std::memcpy(&value, capture.data() + at, 2);
        samples.push_back(value);
    }
    return samples;
}

void BeatMapperTest::tick() {
    platform::VirtualClock::advance(BeatMapper::timerPeriodMs);
    platform::dispatchPostedMessages();
}

void BeatMapperTest::click(const GUIComponent* component) {
    const platform::Point centre{(component->x0 + component->x1) / 2, (component->y0 + component->y1) / 2};
    ASSERT_TRUE(platform::test_input::click(mapper->window()->handle(), centre));
    platform::dispatchPostedMessages();
}

std::string BeatMapperTest::clickFile() {
    const std::uint8_t* data = nullptr;
    int length = 0;
    findArchiveEntry("samples/cowbell.wav", data, length);
    const std::string path = files.file("cowbell.wav");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), length);
    return path;
}

}  // namespace mapper_test
