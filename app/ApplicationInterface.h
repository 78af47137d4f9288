// What every panel, tool window, the network link, the scope and the beat
// grid's remote reach of the application object. They receive it at
// construction and never see the application class itself.
//
// All operations run on the user-interface thread, except currentSampleTime,
// currentBeatIndex, beatIndexAt and beatAt (also network threads; the first
// also the output threads) and beatPeriod (also the clock output's timer).
// Lock 2 is taken inside each operation that needs it and never held across
// two; currentSampleTime takes only the clock's own lock, so it may be
// called with lock 2 held.
#ifndef VELKARN_APP_APPLICATIONINTERFACE_H
#define VELKARN_APP_APPLICATIONINTERFACE_H

#include "audio/TrackBeat.h"

#include <cstdint>
#include <string>

class BeatMapper;
class Browser;
class BrowserData;
class MixerParameters;
class Player;
class PlaylistWriter;
class Recorder;
class Songs;
class TrackInfoClient;
class Window;

class ApplicationInterface {
public:
    virtual ~ApplicationInterface() = default;

    // Deletes the application object.
    virtual void destroyFromInterface(bool release) = 0;
    // Beats per minute: 40, 220 and 120.
    virtual float minimumTempo() = 0;
    virtual float maximumTempo() = 0;
    virtual float standardTempo() const = 0;
    virtual MixerParameters* mixerParameters() = 0;
    // Hands the path to the drop panel's loader: 1 when the panel kept it.
    virtual int loadSongFile(const std::string& path) = 0;
    virtual Window* mainWindow() = 0;
    virtual void showOverlays() = 0;
    virtual void hideOverlays() = 0;
    // The deck's playback renderer's effects, under lock 2.
    virtual void enableDelay(int deck) = 0;
    virtual void disableDelay(int deck) = 0;
    virtual void enableFlanger(int deck) = 0;
    virtual void disableFlanger(int deck) = 0;
    virtual void enableReverb(int deck) = 0;
    virtual void disableReverb(int deck) = 0;
    virtual Recorder* recorder() = 0;
    virtual PlaylistWriter* playlistWriterText() = 0;
    virtual PlaylistWriter* playlistWriterCsv() = 0;
    virtual Player* player() = 0;
    // The open tool windows, or null.
    virtual BeatMapper* beatMapper() = 0;
    virtual Browser* browser() = 0;
    virtual BrowserData* browserData() = 0;
    // Brings an open beat mapper to the front, else opens one on the path
    // (empty: an empty beat mapper) with the main and browser windows
    // disabled until it closes.
    virtual BeatMapper* openBeatMapper(const std::string& path) = 0;
    // The knee of the crossfade between overlapping songs, on all four
    // deck renderers.
    virtual void setCrossfadeKnee(float knee) = 0;
    virtual void setFilterOrder(int order) = 0;
    // Re-render settings: applied, then both decks re-rendered from the
    // first beat not yet handed to the output.
    virtual void setOverlapMs(float milliseconds) = 0;
    virtual void setRenderFlag(bool timeScaling) = 0;
    virtual void setTimeScalerFrameSize(int frameSize) = 0;
    virtual void setTimeScalerOverlap(int overlap) = 0;
    // Restarts the main window's display refresh with that period.
    virtual void setRefreshInterval(float milliseconds) = 0;
    // Output 0 (the mix) and 1 (pre-listening).
    virtual void startOutputDevice(int output) = 0;
    virtual void stopOutputDevice(int output) = 0;
    virtual void openOutputDevice(int output, bool directSound, const std::string& name, float latencyMs) = 0;
    virtual void closeOutputDevice(int output) = 0;
    virtual void stopSecondRenderers() = 0;
    virtual bool isPlaying() = 0;
    // The mix clock: frames played since start.
    virtual std::int64_t currentSampleTime() = 0;
    // Beat queries on the mix's grid, each under lock 2.
    virtual int currentBeatIndex() = 0;
    virtual int beatIndexAt(std::int64_t sampleTime) = 0;
    // A copy of the grid's record.
    virtual TrackBeat beatAt(int index) = 0;
    virtual TrackInfoClient* trackInfoClient() = 0;
    // Seconds per beat at the play position, as of the last display refresh.
    virtual float beatPeriod() = 0;
    virtual int deckCount() = 0;
    virtual Songs* songs(int deck) = 0;
    virtual bool isExitOnLoad() = 0;
    virtual void selectDropTool() = 0;
    virtual bool hasOutputDevice(int output) = 0;
    // The common step after an edit.
    virtual void updateFromBeat(int beat) = 0;
    virtual void rebuildBeatInfo(std::int64_t sampleTime, int beat) = 0;
    virtual void rerenderDecksFrom(int beat) = 0;
    virtual void rerenderSecondFrom(int beat) = 0;
    virtual void refreshStripsFrom(int beat) = 0;
    // Drops a song without dialogs.
    virtual bool dropSong(int deck, const std::string& path, int beat) = 0;
    virtual void applyFade(int deck, int beat, const std::string& type, int beats, bool cross, bool trim,
                           bool tempo) = 0;
    // Beat queries checked in one step under lock 2, for what a peer asks:
    // false, and nothing stops, when the time or the index lies outside the
    // beats the grid holds. An application without a grid holds none.
    virtual bool tryBeatIndexAt(std::int64_t /*sampleTime*/, int& /*index*/) { return false; }
    virtual bool tryBeatAt(int /*index*/, TrackBeat& /*beat*/) { return false; }
};

#endif
