#include "BrowserTestSupport.h"

#include "GuiTestSkins.h"
#include "TestEnvironment.h"
#include "audio/Beats.h"
#include "framework/Log.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/UiScript.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace browser_test {

namespace {

const Color chrome{30, 32, 36, 255};
const Color face{90, 90, 100, 255};
const Color lit{220, 140, 40, 255};

// The two channels as 16-bit values: sawtooths of different, long periods,
// so that blocks from different places of the song differ.
std::int16_t rawSample(int channel, std::int64_t frame) {
    if (channel == 0) return static_cast<std::int16_t>(frame % 30011 - 15005);
    return static_cast<std::int16_t>(7000 - (frame * 3) % 14000);
}

void appendLe(std::string& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string wavBytes(std::int64_t frames, std::int64_t offset) {
    const auto dataBytes = static_cast<std::uint32_t>(frames * 4);
    std::string bytes = "RIFF";
    appendLe(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    appendLe(bytes, 16, 4);
    appendLe(bytes, 1, 2);
    appendLe(bytes, 2, 2);
    appendLe(bytes, 44100, 4);
    appendLe(bytes, 44100 * 4, 4);
    appendLe(bytes, 4, 2);
    appendLe(bytes, 16, 2);
    bytes += "data";
    appendLe(bytes, dataBytes, 4);
    bytes.reserve(bytes.size() + dataBytes);
    for (std::int64_t n = 0; n < frames; ++n) {
        appendLe(bytes, static_cast<std::uint16_t>(rawSample(0, n + offset)), 2);
        appendLe(bytes, static_cast<std::uint16_t>(rawSample(1, n + offset)), 2);
    }
    return bytes;
}

}  // namespace

void writeBrowserSkins(image_test::SkinDirectory& skins) {
    using namespace gui_test;
    writeFace(skins, "browser/background/main", 1000, 670, Color{230, 230, 230, 255});
    writeFace(skins, "previewer/background/main", 800, 340, chrome);
    writeButtonSkin(skins, "browser/button/rootSet", 40, 18, face, lit);
    writeButtonSkin(skins, "browser/button/tempo", 80, 30, face, lit);
    writeButtonSkin(skins, "beatMapper/button/stopPlaying", 58, 30, face, lit);
    writeButtonSkin(skins, "browser/button/deleteRecord", 68, 30, face, lit);
    writeButtonSkin(skins, "browser/button/editRecord", 56, 30, face, lit);
    writeButtonSkin(skins, "browser/button/clearFilter", 56, 30, face, lit);
    writeButtonSkin(skins, "browser/button/playSmall", 26, 18, face, lit);
    writeButtonSkin(skins, "browser/button/selectSmall", 26, 18, face, lit);
    writeSliderSkin(skins, "browser/slider/scrollbar", 24, 40, face);
    writeSliderSkin(skins, "slider/round20", 20, 20, face);
    writeFace(skins, "beatMapper/marker/square7", 7, 7, lit);
    writeFace(skins, "beatMapper/marker/square7Mask", 7, 7, Color{255, 255, 255, 255});
    writeFace(skins, "beatMapper/marker/square7Pointer", 7, 7, Color{40, 160, 240, 255});
}

void WindowTest::SetUp() {
    skins.emplace();
    writeBrowserSkins(*skins);
    setFatalErrorHook(throwFatalStop);
    platform::uiScript::enable();
    platform::VirtualClock::enable();
}

void WindowTest::TearDown() {
    platform::dispatchPostedMessages();
    platform::VirtualClock::disable();
    platform::uiScript::disable();
    setFatalErrorHook(nullptr);
    skins.reset();
}

std::vector<std::string> boxes() {
    std::vector<std::string> asked;
    for (const platform::UiRequest& request : platform::uiScript::requests()) {
        if (request.kind == platform::UiRequestKind::MessageBox) asked.push_back(request.caption + "|" + request.text);
    }
    return asked;
}

float songSample(int channel, std::int64_t frame) {
    return static_cast<float>(rawSample(channel, frame)) / 32768.0f;
}

void writeSong(const std::string& path, const SongSpec& spec) {
    testing_support::makeDirectories(path.substr(0, path.find_last_of('/')));
    const auto frames = static_cast<std::int64_t>(spec.seconds * 44100.0);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string bytes = wavBytes(frames, spec.signalOffset);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    if (!spec.withMetaData) return;

    Beats beats(44100);
    const auto beatFrames = static_cast<std::int32_t>(44100.0 * 60.0 / spec.bpm);
    for (std::int64_t position = 1000; position < frames; position += beatFrames) {
        beats.appendBeat(static_cast<std::int32_t>(position), false);
    }
    BTSettings settings;
    settings.bpm = spec.bpm;
    settings.strip[1] = spec.beatsPerBar;
    SongTags tags;
    std::snprintf(tags.title, sizeof tags.title, "%s", spec.title.c_str());
    std::snprintf(tags.artist, sizeof tags.artist, "%s", spec.artist.c_str());
    tags.bpm = spec.bpm;
    std::vector<float> levels(static_cast<std::size_t>(frames / spec.samplesPerLevel));
    for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = static_cast<float>(i % 17) / 17.0f;
    PointsRecord points;
    points.samplesPerLevel = spec.samplesPerLevel;
    points.levelCount = static_cast<std::int32_t>(levels.size());
    points.levels = levels.data();

    BeatsWriteSources sources;
    sources.settings = &settings;
    if (spec.withTags) sources.tags = &tags;
    if (spec.withPoints) sources.points = &points;
    beats.writeMetaData(path.substr(0, path.size() - 3) + "qrt", sources);
}

}  // namespace browser_test
