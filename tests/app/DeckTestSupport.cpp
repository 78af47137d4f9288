#include "DeckTestSupport.h"

#include "ToneSongs.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TrackInfo.h"
#include "framework/CriticalSections.h"
#include "framework/GUIPanelGroupVertical.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace app_test {
namespace {

constexpr std::int32_t markedLength = 22000;
constexpr double unit = 22050.0;  // a beat at 120 BPM: the unit of the source positions shown

struct SongFile {
    const char* name;
    double bpm;
    int beats;  // marked beats: one more than the slots
};
constexpr SongFile songFiles[] = {
    {"a120", 120.0, 17},    {"a17", 120.0, 18},      {"b120", 120.0, 17}, {"c100", 100.0, 9},
    {"slow40", 40.0, 4},    {"slow39", 39.9, 4},     {"fast221", 221.0, 5}, {"single", 120.0, 1},
    {"dense", 13230.0, 2602},
};

// Holds lock 2 for a scope.
struct DeckLock {
    DeckLock() { enterCriticalSection(2); }
    ~DeckLock() { leaveCriticalSection(2); }
};

}  // namespace

void DeckTest::SetUp() {
    AppTest::SetUp();
    const std::string directory = home->path() + "/songs";
    std::filesystem::create_directories(directory);
    for (const SongFile& file : songFiles) {
        ToneSongSpec spec;
        spec.bpm = file.bpm;
        spec.firstBeat = 2000;
        const double beatFrames = 44100.0 * 60.0 / file.bpm;
        spec.seconds = (2000.0 + file.beats * beatFrames) / 44100.0;
        spec.markerMs = std::min(30.0, beatFrames / 44.1 / 2.0);
        paths[file.name] = writeToneSong(directory, file.name, spec).path;
    }
    ToneSongSpec plain;
    plain.seconds = 2.0;
    paths["plain"] = writeToneSong(directory, "plain", plain).path;
    std::filesystem::remove(directory + "/plain.qrt");
}

std::string DeckTest::copySong(const std::string& name, const std::string& copy) {
    const std::filesystem::path from(paths.at(name));
    const std::filesystem::path to = from.parent_path() / (copy + ".wav");
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(std::filesystem::path(from).replace_extension(".qrt"),
                               std::filesystem::path(to).replace_extension(".qrt"),
                               std::filesystem::copy_options::overwrite_existing);
    paths[copy] = to.string();
    return to.string();
}

void DeckTest::place(int deck, const std::string& name, int firstBeat) {
    auto song = std::make_unique<Song>(paths.at(name), firstBeat, interpolator, scaler, 40.0f, false, 0);
    DeckLock hold;
    application->songs(deck)->add(std::move(song));
}

void DeckTest::fillDeck(int deck) {
    DeckLock hold;
    for (int i = 0; i < Songs::maximumSongs; ++i) {
        application->songs(deck)->add(
            std::make_unique<Song>(std::vector<SongSpan>{{0, 22050}}, 1000 + 2 * i, false, 0, SongTexts{}));
    }
}

void DeckTest::setWeights(int beat, float from, float to, int n) {
    DeckLock hold;
    application->trackInfo()->setTempoFade(beat, from, to, n);
}

void DeckTest::advanceClock(std::int32_t frames) {
    std::vector<float> left(static_cast<std::size_t>(frames)), right(left.size());
    float* channels[2] = {left.data(), right.data()};
    application->render(application->output(0), channels, frames);
}

void DeckTest::click(int tool, int deck, int beat) {
    application->toolGroup()->panel(tool);
    const TrackBeat record = application->beatAt(beat);
    application->toolClick(deck, record.position + record.length / 2);
}

std::string DeckTest::describe(int deck) {
    DeckLock hold;
    const Songs& songs = *application->songs(deck);
    std::vector<const Song*> order;
    for (int i = 0; i < songs.count(); ++i) {
        if (songs.song(i).firstBeat() < 1000) order.push_back(&songs.song(i));
    }
    std::sort(order.begin(), order.end(),
              [](const Song* x, const Song* y) { return x->firstBeat() < y->firstBeat(); });
    std::string text;
    for (const Song* song : order) {
        if (!text.empty()) text += " ";
        text += "@" + std::to_string(song->firstBeat());
        if (song->fixedTempo()) text += "=" + std::to_string(song->fixedBeatLength());
        text += ":";
        for (int b = song->firstBeat(); b < song->endBeat(); ++b) {
            SongSpan span{};
            SongBeat play;
            song->spanAt(b, &span, &play, nullptr);
            char token[64];
            if (play.paused) {
                std::snprintf(token, sizeof token, " p");
            } else {
                std::snprintf(token, sizeof token, " %g%s", (span.position - song->firstSourcePosition()) / unit,
                              play.reversed ? "r" : "");
            }
            text += token;
            if (play.gainStart != 1.0f || play.gainEnd != 1.0f) {
                std::snprintf(token, sizeof token, "(%g,%g)", std::round(play.gainStart * 1000.0) / 1000.0,
                              std::round(play.gainEnd * 1000.0) / 1000.0);
                text += token;
            }
        }
    }
    return text;
}

std::string DeckTest::weights() {
    std::string text;
    for (int b = 8; b < 18; ++b) {
        char token[16];
        std::snprintf(token, sizeof token, "%s%g", b == 8 ? "" : " ",
                      std::round(application->beatAt(b).weight * 1000.0) / 1000.0);
        text += token;
    }
    return text;
}

void DeckTest::markGrid() {
    DeckLock hold;
    TrackInfo& grid = *application->trackInfo();
    std::int64_t position = grid.beatAt(1).position;
    for (int b = 1; b <= 60; ++b) {
        TrackBeat beat = grid.beatAt(b);
        beat.position = position;
        beat.length = markedLength;
        grid.setRecord(b, beat);
        position += markedLength;
    }
}

int DeckTest::rebuiltFrom() {
    DeckLock hold;
    for (int b = 1; b <= 60; ++b) {
        if (application->trackInfo()->beatAt(b).length != markedLength) return b;
    }
    return -1;
}

std::string untouched16(int firstBeat) {
    return "@" + std::to_string(firstBeat) + ": 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15";
}

}  // namespace app_test
