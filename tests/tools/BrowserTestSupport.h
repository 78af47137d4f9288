// Shared by the browser and previewer tests: an application that records
// what the browser asks of it, run-time skins for both windows, and songs
// written sample by sample (a known signal, so a rendered block can be
// compared with the file) with their beat meta-data.
#ifndef VELKARN_TESTS_TOOLS_BROWSERTESTSUPPORT_H
#define VELKARN_TESTS_TOOLS_BROWSERTESTSUPPORT_H

#include "ImageTestSupport.h"
#include "app/ApplicationInterface.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace browser_test {

// Writes every key the browser and the previewer load.
void writeBrowserSkins(image_test::SkinDirectory& skins);

// Sample `frame` of the signal on channel 0 or 1, as a reader gives it
// (16-bit values over 32768).
float songSample(int channel, std::int64_t frame);

struct SongSpec {
    double seconds = 12.0;
    bool withMetaData = true;      // a ".qrt" side file with beats every half second
    bool withPoints = true;        // its level envelope
    std::int32_t samplesPerLevel = 153;
    bool withTags = true;
    std::string title = "Title";
    std::string artist = "Artist";
    float bpm = 120.0f;
    int beatsPerBar = 4;
    // Frame n of the file holds the signal's sample n + signalOffset.
    std::int64_t signalOffset = 0;
};

// Writes <path> (a ".wav" name) and its side file; directories are made.
void writeSong(const std::string& path, const SongSpec& spec = {});

// Offscreen windows: the run-time skins, fatal stops thrown, scripted
// boxes and choosers, the virtual clock driving the window timers.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Fixtures delete their windows first.
    void TearDown() override;
    std::optional<image_test::SkinDirectory> skins;
};

// A device to pass as the caller of render calls "from an output".
class FakeDevice : public Motor {
public:
    FormatAudio* format() override { return &format_; }
    void addSink(AudioSink*) override {}
    void removeSink(AudioSink*) override {}
    void listSinks(AudioSink**, std::int32_t& count) override { count = 0; }

private:
    FormatAudio format_;
};

// "caption|text" of every message box asked so far.
std::vector<std::string> boxes();

// What the browser asked of the application.
class FakeApplication : public ApplicationInterface {
public:
    bool secondOutput = true;
    bool exitOnLoad = false;
    std::vector<std::string> loaded;
    std::vector<std::string> beatMapperPaths;
    int dropToolSelections = 0;

    void destroyFromInterface(bool) override {}
    float minimumTempo() override { return 40.0f; }
    float maximumTempo() override { return 220.0f; }
    float standardTempo() const override { return 120.0f; }
    MixerParameters* mixerParameters() override { return nullptr; }
    int loadSongFile(const std::string& path) override {
        loaded.push_back(path);
        return 1;
    }
    Window* mainWindow() override { return nullptr; }
    void showOverlays() override {}
    void hideOverlays() override {}
    void enableDelay(int) override {}
    void disableDelay(int) override {}
    void enableFlanger(int) override {}
    void disableFlanger(int) override {}
    void enableReverb(int) override {}
    void disableReverb(int) override {}
    Recorder* recorder() override { return nullptr; }
    PlaylistWriter* playlistWriterText() override { return nullptr; }
    PlaylistWriter* playlistWriterCsv() override { return nullptr; }
    Player* player() override { return nullptr; }
    BeatMapper* beatMapper() override { return nullptr; }
    Browser* browser() override { return nullptr; }
    BrowserData* browserData() override { return nullptr; }
    BeatMapper* openBeatMapper(const std::string& path) override {
        beatMapperPaths.push_back(path);
        return nullptr;
    }
    void setCrossfadeKnee(float) override {}
    void setFilterOrder(int) override {}
    void setOverlapMs(float) override {}
    void setRenderFlag(bool) override {}
    void setTimeScalerFrameSize(int) override {}
    void setTimeScalerOverlap(int) override {}
    void setRefreshInterval(float) override {}
    void startOutputDevice(int) override {}
    void stopOutputDevice(int) override {}
    void openOutputDevice(int, bool, const std::string&, float) override {}
    void closeOutputDevice(int) override {}
    void stopSecondRenderers() override {}
    bool isPlaying() override { return false; }
    std::int64_t currentSampleTime() override { return 0; }
    int currentBeatIndex() override { return 0; }
    int beatIndexAt(std::int64_t) override { return 0; }
    TrackBeat beatAt(int) override { return {}; }
    TrackInfoClient* trackInfoClient() override { return nullptr; }
    float beatPeriod() override { return 0.5f; }
    int deckCount() override { return 2; }
    Songs* songs(int) override { return nullptr; }
    bool isExitOnLoad() override { return exitOnLoad; }
    void selectDropTool() override { ++dropToolSelections; }
    bool hasOutputDevice(int output) override { return output == 0 || secondOutput; }
    void updateFromBeat(int) override {}
    void rebuildBeatInfo(std::int64_t, int) override {}
    void rerenderDecksFrom(int) override {}
    void rerenderSecondFrom(int) override {}
    void refreshStripsFrom(int) override {}
    bool dropSong(int, const std::string&, int) override { return false; }
    void applyFade(int, int, const std::string&, int, bool, bool, bool) override {}
};

}  // namespace browser_test

#endif
