// An application interface that records every call it gets, one text each
// ("enableDelay 0", "setRenderFlag true", ...), for the panels' tests: the
// panels run against it on a window of their own. Queries answer fixed
// values: tempo range 40 .. 220, standard 120, a mixer of its own.
#ifndef VELKARN_TESTS_APP_RECORDINGAPPLICATION_H
#define VELKARN_TESTS_APP_RECORDINGAPPLICATION_H

#include "app/ApplicationInterface.h"
#include "app/MixerParameters.h"

#include <string>
#include <vector>

class RecordingApplication : public ApplicationInterface {
public:
    std::vector<std::string> calls;
    MixerParameters mixer;
    Window* window = nullptr;
    std::int64_t sampleTime = 0;

    // The calls so far, then forgotten.
    std::vector<std::string> take() {
        std::vector<std::string> taken;
        taken.swap(calls);
        return taken;
    }

    void destroyFromInterface(bool release) override { note("destroyFromInterface", release); }
    float minimumTempo() override { return 40.0f; }
    float maximumTempo() override { return 220.0f; }
    float standardTempo() const override { return 120.0f; }
    MixerParameters* mixerParameters() override { return &mixer; }
    int loadSongFile(const std::string& path) override {
        note("loadSongFile " + path);
        return 0;
    }
    Window* mainWindow() override { return window; }
    void showOverlays() override { note("showOverlays"); }
    void hideOverlays() override { note("hideOverlays"); }
    void enableDelay(int deck) override { note("enableDelay", deck); }
    void disableDelay(int deck) override { note("disableDelay", deck); }
    void enableFlanger(int deck) override { note("enableFlanger", deck); }
    void disableFlanger(int deck) override { note("disableFlanger", deck); }
    void enableReverb(int deck) override { note("enableReverb", deck); }
    void disableReverb(int deck) override { note("disableReverb", deck); }
    Recorder* recorder() override { return nullptr; }
    PlaylistWriter* playlistWriterText() override { return nullptr; }
    PlaylistWriter* playlistWriterCsv() override { return nullptr; }
    Player* player() override { return nullptr; }
    BeatMapper* beatMapper() override { return nullptr; }
    Browser* browser() override { return nullptr; }
    BrowserData* browserData() override { return nullptr; }
    BeatMapper* openBeatMapper(const std::string& path) override {
        note("openBeatMapper " + path);
        return nullptr;
    }
    void setCrossfadeKnee(float knee) override { note("setCrossfadeKnee", knee); }
    void setFilterOrder(int order) override { note("setFilterOrder", order); }
    void setOverlapMs(float milliseconds) override { note("setOverlapMs", milliseconds); }
    void setRenderFlag(bool timeScaling) override { note("setRenderFlag", timeScaling); }
    void setTimeScalerFrameSize(int frameSize) override { note("setTimeScalerFrameSize", frameSize); }
    void setTimeScalerOverlap(int overlap) override { note("setTimeScalerOverlap", overlap); }
    void setRefreshInterval(float milliseconds) override { note("setRefreshInterval", milliseconds); }
    void startOutputDevice(int output) override { note("startOutputDevice", output); }
    void stopOutputDevice(int output) override { note("stopOutputDevice", output); }
    void openOutputDevice(int output, bool directSound, const std::string& name, float latencyMs) override {
        note("openOutputDevice " + std::to_string(output) + (directSound ? " ds " : " mm ") + name + " " +
             number(latencyMs));
    }
    void closeOutputDevice(int output) override { note("closeOutputDevice", output); }
    void stopSecondRenderers() override { note("stopSecondRenderers"); }
    bool isPlaying() override { return false; }
    std::int64_t currentSampleTime() override { return sampleTime; }
    int currentBeatIndex() override { return 0; }
    int beatIndexAt(std::int64_t /*sampleTime*/) override { return 0; }
    TrackBeat beatAt(int /*index*/) override { return TrackBeat{}; }
    TrackInfoClient* trackInfoClient() override { return nullptr; }
    float beatPeriod() override { return 0.5f; }
    int deckCount() override { return 2; }
    Songs* songs(int /*deck*/) override { return nullptr; }
    bool isExitOnLoad() override { return false; }
    void selectDropTool() override { note("selectDropTool"); }
    bool hasOutputDevice(int /*output*/) override { return true; }
    void updateFromBeat(int beat) override { note("updateFromBeat", beat); }
    void rebuildBeatInfo(std::int64_t /*sampleTime*/, int beat) override { note("rebuildBeatInfo", beat); }
    void rerenderDecksFrom(int beat) override { note("rerenderDecksFrom", beat); }
    void rerenderSecondFrom(int beat) override { note("rerenderSecondFrom", beat); }
    void refreshStripsFrom(int beat) override { note("refreshStripsFrom", beat); }
    bool dropSong(int deck, const std::string& path, int beat) override {
        note("dropSong " + std::to_string(deck) + " " + path + " " + std::to_string(beat));
        return false;
    }
    void applyFade(int deck, int beat, const std::string& type, int beats, bool cross, bool trim,
                   bool tempo) override {
        note("applyFade " + std::to_string(deck) + " " + std::to_string(beat) + " " + type + " " +
             std::to_string(beats) + (cross ? " cross" : "") + (trim ? " trim" : "") + (tempo ? " tempo" : ""));
    }

private:
    static std::string number(float value) {
        std::string text = std::to_string(value);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.') text.pop_back();
        return text;
    }
    void note(const std::string& call) { calls.push_back(call); }
    void note(const std::string& name, bool value) { calls.push_back(name + (value ? " true" : " false")); }
    void note(const std::string& name, int value) { calls.push_back(name + " " + std::to_string(value)); }
    void note(const std::string& name, float value) { calls.push_back(name + " " + number(value)); }
};

#endif
