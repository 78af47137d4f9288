// The application object: it owns both decks' songs and renderers, the
// mix's beat grid, the mixer, the output devices, the main window with its
// panels, the recorder and the played-songs lists, the automatic player and
// the track database. It is the producer of the outputs, the listener of
// its own widgets and what every other part reaches through
// ApplicationInterface.
//
// Threads: construction, destruction and the interface run on the
// user-interface thread, except as ApplicationInterface says. render runs
// on each output's audio thread and takes no lock but the clock's own and
// the renderers' short ones; the values it reads from the mixer and the
// panels are relaxed atomics. The beat mapper and browser pointers are
// atomic: a close empties the pointer, lets each open output finish the
// block under way, then deletes.
#ifndef VELKARN_APP_VELKARN_H
#define VELKARN_APP_VELKARN_H

#include "app/ApplicationInterface.h"
#include "app/GUIStripClient.h"
#include "audio/AudioClient.h"
#include "audio/FormatAudio.h"
#include "audio/TrackInfoApplication.h"
#include "framework/ButtonClient.h"
#include "framework/ButtonGroupClient.h"
#include "framework/GUIMouseAreaClient.h"
#include "framework/SliderClient.h"
#include "framework/TimerClient.h"
#include "framework/WindowClient.h"
#include "network/NetworkHost.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AudioDeviceList;
class AudioSink;
class FIFO;
class GUIButton;
class GUICursor;
class GUIImage;
class GUIIndicator;
class GUIMeter;
class GUIMouseArea;
class GUIPanelGroupHorizontal;
class GUIPanelGroupVertical;
class GUISliderVertical;
class GUIStrip;
class Interpolator;
class Limiter;
class MidiDeviceList;
class Motor;
class PanelDecks;
class PanelDelete;
class PanelDrop;
class PanelEffects;
class PanelFade;
class PanelListen;
class PanelMove;
class PanelNetwork;
class PanelPause;
class PanelPlayer;
class PanelRecorder;
class PanelRepeat;
class PanelReverse;
class PanelSettings;
class PanelSkip;
class PanelTempo;
class Scope;
class Song;
class TimeScalerPV;
class TrackAudio;
class TrackInfo;

class Velkarn : public WindowClient,
                public ButtonClient,
                public SliderClient,
                public GUIStripClient,
                public ButtonGroupClient,
                public GUIMouseAreaClient,
                public TimerClient,
                public AudioClient,
                public ApplicationInterface,
                public TrackInfoApplication,
                public NetworkHost {
public:
    static constexpr int decks = 2;

    // No waveOut or no DirectSound device stops the program.
    Velkarn(void* instance, int showCommand);
    ~Velkarn() override;
    Velkarn(const Velkarn&) = delete;
    Velkarn& operator=(const Velkarn&) = delete;

    // WindowClient: the quit question, and work posted by worker threads
    // (0 network state, 1 redraw the strips ahead, 2 re-render and redraw
    // from a beat).
    bool canClose(Window* window) override;
    void postedMessage(Window* window, int kind, int value) override;

    // ButtonClient: the play toggle's release stops playing and
    // disconnects the network.
    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;
    // SliderClient: the volume slider sets the main volume.
    void sliderChanged(GUISlider* slider, float value) override;

    // TimerClient: the display refresh, every refresh period (with the
    // network panel's status line).
    void windowTimer(Window* window) override;
    // GUIMouseAreaClient: a wheel turn towards the user zooms in.
    void mouseWheel(GUIMouseArea* area, const GUIPoint& point, int notches) override;
    // Halves (zoom in) or doubles the samples per pixel within 689 .. 11024,
    // keeping the play position near its column.
    void zoom(bool zoomIn);
    // The volume slider takes the main volume's position when they differ.
    void syncVolumeSlider();

    // GUIStripClient: a press on a deck's strip is the selected tool's
    // edit at that sample position.
    void stripClicked(GUIStrip* strip, std::int64_t position) override;
    // The edit of a press at a sample position on one of the deck's strips.
    void toolClick(int deck, std::int64_t position);
    // GUIMouseAreaClient: a release anywhere ends a move drag; a move over
    // a strip of the dragged deck drives it.
    void mouseUp(GUIMouseArea* area, const GUIPoint& point) override;
    void mouseMove(GUIMouseArea* area, const GUIPoint& point) override;
    bool isMoveDragging() const { return moveDragging_; }

    // AudioClient.
    void render(Motor* device, float** channels, std::int32_t frames) override;

    // ApplicationInterface.
    void destroyFromInterface(bool release) override;
    float minimumTempo() override { return 40.0f; }
    float maximumTempo() override { return 220.0f; }
    float standardTempo() const override { return 120.0f; }
    MixerParameters* mixerParameters() override { return mixer_.get(); }
    int loadSongFile(const std::string& path) override;
    Window* mainWindow() override { return mainWindow_.get(); }
    void showOverlays() override;
    void hideOverlays() override;
    void enableDelay(int deck) override;
    void disableDelay(int deck) override;
    void enableFlanger(int deck) override;
    void disableFlanger(int deck) override;
    void enableReverb(int deck) override;
    void disableReverb(int deck) override;
    Recorder* recorder() override { return recorder_.get(); }
    PlaylistWriter* playlistWriterText() override { return playlistText_.get(); }
    PlaylistWriter* playlistWriterCsv() override { return playlistCsv_.get(); }
    Player* player() override { return player_.get(); }
    BeatMapper* beatMapper() override { return beatMapper_.load(std::memory_order_acquire); }
    Browser* browser() override { return browser_.load(std::memory_order_acquire); }
    BrowserData* browserData() override { return browserData_.get(); }
    BeatMapper* openBeatMapper(const std::string& path) override;
    void setCrossfadeKnee(float knee) override;
    void setFilterOrder(int order) override;
    void setOverlapMs(float milliseconds) override;
    void setRenderFlag(bool timeScaling) override;
    void setTimeScalerFrameSize(int frameSize) override;
    void setTimeScalerOverlap(int overlap) override;
    void setRefreshInterval(float milliseconds) override;
    void startOutputDevice(int output) override;
    void stopOutputDevice(int output) override;
    void openOutputDevice(int output, bool directSound, const std::string& name, float latencyMs) override;
    void closeOutputDevice(int output) override;
    void stopSecondRenderers() override;
    bool isPlaying() override { return playing_.load(std::memory_order_relaxed); }
    std::int64_t currentSampleTime() override;
    int currentBeatIndex() override;
    int beatIndexAt(std::int64_t sampleTime) override;
    TrackBeat beatAt(int index) override;
    TrackInfoClient* trackInfoClient() override { return trackInfoClient_.get(); }
    float beatPeriod() override { return beatPeriod_.load(std::memory_order_relaxed); }
    int deckCount() override { return decks; }
    Songs* songs(int deck) override { return songs_[deck].get(); }
    bool isExitOnLoad() override;
    void selectDropTool() override;
    bool hasOutputDevice(int output) override { return output_(output) != nullptr; }
    void updateFromBeat(int beat) override;
    void rebuildBeatInfo(std::int64_t sampleTime, int beat) override;
    void rerenderDecksFrom(int beat) override;
    void rerenderSecondFrom(int beat) override;
    void refreshStripsFrom(int beat) override;
    bool dropSong(int deck, const std::string& path, int beat) override;
    void applyFade(int deck, int beat, const std::string& type, int beats, bool cross, bool trim,
                   bool tempo) override;

    // TrackInfoApplication: the network client is the grid's remote.
    TrackInfoRemote* trackInfoRemote() override;

    // NetworkHost (the clock and beat operations are the interface's, and
    // so are these two).
    bool tryBeatIndexAt(std::int64_t sampleTime, int& index) override;
    bool tryBeatAt(int index, TrackBeat& beat) override;
    void notifyMainWindow(int kind, int value) override;

    // The message loop's routes of a close request.
    bool isScopeWindow(Window* window);
    void closeScope();
    bool isBeatMapperWindow(Window* window);
    void closeBeatMapper();
    bool isBrowserWindow(Window* window);
    void closeBrowser();
    bool isPreviewerWindow(Window* window);
    void closePreviewer();

    // The scope and the browser as their main buttons open them. The scope
    // taps output 0, or waits for it when it is not open.
    Scope* openScope();
    Browser* openBrowser();
    Scope* scope() { return scope_; }

    // The first beat that is not yet handed to the output: the beat after
    // the one playing, or the one after that when it starts within 10000
    // samples.
    int nextEditableBeat();

    // For the display and the tests.
    float meterLevel(int channel) const { return meterLevels_[channel].load(std::memory_order_relaxed); }
    Motor* output(int index) const { return output_(index); }
    // The sinks waiting for a device to open in the slot.
    std::vector<AudioSink*> waitingSinks(int output) const { return waiting_[output]; }
    TrackAudio* playback(int deck) const { return playback_[deck].get(); }
    TrackAudio* second(int deck) const { return second_[deck].get(); }
    TrackInfo* trackInfo() const { return trackInfo_.get(); }
    FIFO* cueFifo() const { return cueFifo_.get(); }
    static constexpr int stripRows = 3;
    GUIStrip* strip(int deck, int row) const { return strips_[deck][row]; }
    GUICursor* cursor(int row) const { return cursors_[row]; }
    int zoomFactor() const { return zoom_; }
    GUIButton* playButton() const { return playButton_; }
    GUIButton* beatMapperButton() const { return beatMapperButton_; }
    GUISliderVertical* volumeSlider() const { return volumeSlider_; }
    GUIMeter* meter(int channel) const { return meters_[channel]; }
    GUIIndicator* recordingIndicator() const { return recordingIndicator_; }
    GUIIndicator* playingIndicator() const { return playingIndicator_; }
    GUIImage* overlayRows() const { return overlayRows_; }
    GUIPanelGroupVertical* toolGroup() const { return toolGroup_; }
    GUIPanelGroupHorizontal* functionGroup() const { return functionGroup_; }
    PanelDrop* panelDrop() const { return panelDrop_; }
    PanelListen* panelListen() const { return panelListen_; }
    PanelTempo* panelTempo() const { return panelTempo_; }
    PanelRepeat* panelRepeat() const { return panelRepeat_; }
    PanelDelete* panelDelete() const { return panelDelete_; }
    PanelSkip* panelSkip() const { return panelSkip_; }
    PanelPause* panelPause() const { return panelPause_; }
    PanelReverse* panelReverse() const { return panelReverse_; }
    PanelMove* panelMove() const { return panelMove_; }
    PanelFade* panelFade() const { return panelFade_; }
    PanelDecks* panelDecks() const { return panelDecks_; }
    PanelEffects* panelEffects() const { return panelEffects_; }
    PanelRecorder* panelRecorder() const { return panelRecorder_; }
    PanelPlayer* panelPlayer() const { return panelPlayer_; }
    PanelNetwork* panelNetwork() const { return panelNetwork_; }
    PanelSettings* panelSettings() const { return panelSettings_; }
    TimeScalerPV* timeScaler() const { return timeScaler_.get(); }
    unsigned refreshPeriodMs() const { return refreshPeriodMs_; }

private:
    Motor* output_(int index) const { return outputs_[index].load(std::memory_order_acquire); }
    // Lets every open output finish the block it may be rendering.
    void passOutputLocks();
    // Lays the six strips out anew at the current scale, row 0 from the
    // beat, and refreshes the cursors.
    void layOutRows(int startBeat);
    // Rows 0 and 1 take what rows 1 and 2 show; row 2 is drawn anew.
    void scrollRows();
    // The text the title shows for the songs under the beat; titles[d] is
    // deck d's song title there (empty when none).
    std::string titleAtBeat(int beat, std::string* titles);
    // Empties output slot i: its sinks wait for the next device there.
    void releaseOutput(int index);
    // Taps output 0, or waits for it.
    void tapMainOutput(AudioSink* sink);
    void renderSecondOutput(Motor* second, float** channels, std::int32_t frames);
    void renderMainMix(float** channels, std::int32_t frames);
    // Applies a re-render setting under lock 2, then re-renders both
    // playback renderers from the next editable beat.
    template <class Setting>
    void rerenderWith(Setting setting);
    // The edit tools (the beat is the clicked one).
    void dropTool(int deck, int beat);
    // The drop's common part: the song built outside lock 2, the tempo
    // toggles when asked, the tempo range, the deck's list, the
    // played-songs lists and the edit step. False with the text that
    // explains a refusal.
    bool placeSong(int deck, const std::string& path, int beat, bool tempoButtons, std::string& refusal);
    void tempoTool(int deck, int beat);
    void startMove(int deck, int beat);
    // Shifts what the drag moves so that the start beat lands on the beat
    // at the position of a strip of the deck.
    void moveDragTo(int deck, std::int64_t position);
    void endMove();
    void listenFrom(int beat);

    void* instance_;
    int showCommand_;
    FormatAudio format_;
    std::unique_ptr<MixerParameters> mixer_;
    std::unique_ptr<AudioDeviceList> devices_;
    std::unique_ptr<MidiDeviceList> midiDevices_;
    std::atomic<Motor*> outputs_[2] = {nullptr, nullptr};
    std::vector<AudioSink*> waiting_[2];
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<PlaylistWriter> playlistText_;
    std::unique_ptr<PlaylistWriter> playlistCsv_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<Interpolator> interpolator_;
    std::unique_ptr<TimeScalerPV> timeScaler_;
    std::unique_ptr<Window> mainWindow_;
    // Widgets and panels belong to the main window's component tree.
    GUIStrip* strips_[2][3] = {{nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr}};
    GUICursor* cursors_[3] = {nullptr, nullptr, nullptr};
    GUIImage* overlayRows_ = nullptr;
    GUIPanelGroupVertical* toolGroup_ = nullptr;
    PanelDrop* panelDrop_ = nullptr;
    PanelTempo* panelTempo_ = nullptr;
    PanelRepeat* panelRepeat_ = nullptr;
    PanelDelete* panelDelete_ = nullptr;
    PanelSkip* panelSkip_ = nullptr;
    PanelPause* panelPause_ = nullptr;
    PanelReverse* panelReverse_ = nullptr;
    PanelMove* panelMove_ = nullptr;
    PanelFade* panelFade_ = nullptr;
    PanelListen* panelListen_ = nullptr;
    GUIPanelGroupHorizontal* functionGroup_ = nullptr;
    PanelDecks* panelDecks_ = nullptr;
    PanelEffects* panelEffects_ = nullptr;
    PanelRecorder* panelRecorder_ = nullptr;
    PanelPlayer* panelPlayer_ = nullptr;
    PanelNetwork* panelNetwork_ = nullptr;
    PanelSettings* panelSettings_ = nullptr;
    GUIButton* zoomIn_ = nullptr;
    GUIButton* zoomOut_ = nullptr;
    GUIButton* browserButton_ = nullptr;
    GUIButton* scopeButton_ = nullptr;
    GUIButton* beatMapperButton_ = nullptr;
    GUIButton* playButton_ = nullptr;
    GUISliderVertical* volumeSlider_ = nullptr;
    GUIMeter* meters_[2] = {nullptr, nullptr};
    GUIIndicator* recordingIndicator_ = nullptr;
    GUIIndicator* playingIndicator_ = nullptr;
    GUIMouseArea* mouseArea_ = nullptr;
    int zoom_ = 4;
    int stripHeight_ = 60;
    std::atomic<bool> playing_{true};
    std::int64_t sampleTime_ = 0;  // under timeLock_
    std::atomic<float> beatPeriod_{0.5f};
    bool moveDragging_ = false;
    int moveStartBeat_ = 0;
    Song* moveSong_ = nullptr;  // the dragged song in scope "oneSong"
    int moveDeck_ = 0;
    Scope* scope_ = nullptr;
    std::atomic<BeatMapper*> beatMapper_{nullptr};
    std::unique_ptr<BrowserData> browserData_;
    std::atomic<Browser*> browser_{nullptr};
    std::unique_ptr<Limiter> limiter_;
    // The values each deck's last block ended with (output thread only).
    float gainPrevious_[2] = {0.45f, 0.45f};
    float listenGainPrevious_[2] = {0.45f, 0.45f};
    float upperCutoffPrevious_[2] = {22000.0f, 22000.0f};
    float lowerCutoffPrevious_[2] = {20.0f, 20.0f};
    bool filterModePrevious_[2] = {true, true};
    float effectPrevious_[2] = {0.0f, 0.0f};
    float delayTimePrevious_[2] = {0.0f, 0.0f};
    float delayLevelPrevious_[2] = {0.0f, 0.0f};
    float flangerRatePrevious_[2] = {0.0f, 0.0f};
    float flangerLevelPrevious_[2] = {0.0f, 0.0f};
    float reverbPrevious_[2] = {0.0f, 0.0f};
    std::unique_ptr<FIFO> cueFifo_;
    std::unique_ptr<TrackInfoClient> trackInfoClient_;
    std::unique_ptr<TrackInfo> trackInfo_;
    std::unique_ptr<Songs> songs_[2];
    std::unique_ptr<TrackAudio> playback_[2];
    std::unique_ptr<TrackAudio> second_[2];
    std::atomic<float> meterLevels_[2] = {0.0f, 0.0f};
    unsigned refreshPeriodMs_ = 0;
    // Guards sampleTime_ only.
    std::mutex timeLock_;
};

#endif
