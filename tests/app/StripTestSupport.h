// Beat grids for the strip and cursor tests: a TrackInfo whose beats from
// 0 on take their lengths from a function (weights 0, so deck one's), with
// no remote grid; before beat 0 the standard 120 BPM grid.
#ifndef VELKARN_TESTS_APP_STRIPTESTSUPPORT_H
#define VELKARN_TESTS_APP_STRIPTESTSUPPORT_H

#include "app/ApplicationInterface.h"
#include "app/GUIStripClient.h"
#include "audio/TrackInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace strip_test {

class Grid : public TrackInfoApplication, public DeckBeatLengths {
public:
    explicit Grid(std::function<float(std::int32_t)> lengthOf)
        : lengthOf_(std::move(lengthOf)),
          info_(std::make_unique<TrackInfo>(static_cast<TrackInfoApplication&>(*this), 35277000,
                                            static_cast<DeckBeatLengths&>(*this), static_cast<DeckBeatLengths&>(*this))) {
        info_->advanceTo(0, true, 0);
    }
    TrackInfo& info() { return *info_; }

private:
    float standardTempo() const override { return 120.0f; }
    TrackInfoRemote* trackInfoRemote() override { return nullptr; }
    float beatLengthAt(std::int32_t beat) const override { return beat < 0 ? 22050.0f : lengthOf_(beat); }

    std::function<float(std::int32_t)> lengthOf_;
    std::unique_ptr<TrackInfo> info_;
};

// Every press and release, as "down <position>" / "up <position>".
class RecordingStripClient : public GUIStripClient {
public:
    void stripClicked(GUIStrip* /*strip*/, std::int64_t position) override {
        calls.push_back("down " + std::to_string(position));
    }
    void stripReleased(GUIStrip* /*strip*/, std::int64_t position) override {
        calls.push_back("up " + std::to_string(position));
    }
    std::vector<std::string> calls;
};

// An application that only tells the play position (now); every other
// operation does nothing.
class ClockOnlyApplication : public ApplicationInterface {
public:
    std::int64_t now = 0;

    void destroyFromInterface(bool /*release*/) override {}
    float minimumTempo() override { return 0.0f; }
    float maximumTempo() override { return 0.0f; }
    float standardTempo() const override { return 0.0f; }
    MixerParameters* mixerParameters() override { return nullptr; }
    int loadSongFile(const std::string& /*path*/) override { return 0; }
    Window* mainWindow() override { return nullptr; }
    void showOverlays() override {}
    void hideOverlays() override {}
    void enableDelay(int /*deck*/) override {}
    void disableDelay(int /*deck*/) override {}
    void enableFlanger(int /*deck*/) override {}
    void disableFlanger(int /*deck*/) override {}
    void enableReverb(int /*deck*/) override {}
    void disableReverb(int /*deck*/) override {}
    Recorder* recorder() override { return nullptr; }
    PlaylistWriter* playlistWriterText() override { return nullptr; }
    PlaylistWriter* playlistWriterCsv() override { return nullptr; }
    Player* player() override { return nullptr; }
    BeatMapper* beatMapper() override { return nullptr; }
    Browser* browser() override { return nullptr; }
    BrowserData* browserData() override { return nullptr; }
    BeatMapper* openBeatMapper(const std::string& /*path*/) override { return nullptr; }
    void setCrossfadeKnee(float /*knee*/) override {}
    void setFilterOrder(int /*order*/) override {}
    void setOverlapMs(float /*milliseconds*/) override {}
    void setRenderFlag(bool /*timeScaling*/) override {}
    void setTimeScalerFrameSize(int /*frameSize*/) override {}
    void setTimeScalerOverlap(int /*overlap*/) override {}
    void setRefreshInterval(float /*milliseconds*/) override {}
    void startOutputDevice(int /*output*/) override {}
    void stopOutputDevice(int /*output*/) override {}
    void openOutputDevice(int /*output*/, bool /*directSound*/, const std::string& /*name*/, float /*latencyMs*/) override {}
    void closeOutputDevice(int /*output*/) override {}
    void stopSecondRenderers() override {}
    bool isPlaying() override { return false; }
    std::int64_t currentSampleTime() override { return now; }
    int currentBeatIndex() override { return 0; }
    int beatIndexAt(std::int64_t /*sampleTime*/) override { return 0; }
    TrackBeat beatAt(int /*index*/) override { return {}; }
    TrackInfoClient* trackInfoClient() override { return nullptr; }
    float beatPeriod() override { return 0.0f; }
    int deckCount() override { return 0; }
    Songs* songs(int /*deck*/) override { return nullptr; }
    bool isExitOnLoad() override { return false; }
    void selectDropTool() override {}
    bool hasOutputDevice(int /*output*/) override { return false; }
    void updateFromBeat(int /*beat*/) override {}
    void rebuildBeatInfo(std::int64_t /*sampleTime*/, int /*beat*/) override {}
    void rerenderDecksFrom(int /*beat*/) override {}
    void rerenderSecondFrom(int /*beat*/) override {}
    void refreshStripsFrom(int /*beat*/) override {}
    bool dropSong(int /*deck*/, const std::string& /*path*/, int /*beat*/) override { return false; }
    void applyFade(int /*deck*/, int /*beat*/, const std::string& /*type*/, int /*beats*/, bool /*cross*/, bool /*trim*/, bool /*tempo*/) override {}
};

}  // namespace strip_test

#endif
