#include "app/Velkarn.h"

#include "app/DeckLock.h"
#include "app/GUICursor.h"
#include "app/GUIStrip.h"
#include "app/MidiDeviceList.h"
#include "app/MixerParameters.h"
#include "app/PanelDecks.h"
#include "app/PanelDelete.h"
#include "app/PanelDrop.h"
#include "app/PanelEffects.h"
#include "app/PanelFade.h"
#include "app/PanelListen.h"
#include "app/PanelMove.h"
#include "app/PanelPause.h"
#include "app/PanelPlayer.h"
#include "app/PanelRecorder.h"
#include "app/PanelRepeat.h"
#include "app/PanelReverse.h"
#include "app/PanelSettings.h"
#include "app/PanelSkip.h"
#include "app/PanelTempo.h"
#include "app/Player.h"
#include "app/PlaylistWriter.h"
#include "app/Recorder.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues2.h"
#include "app/VelkarnStartUpValues3.h"
#include "app/VelkarnStartUpValues4.h"
#include "app/VelkarnStartUpValues5.h"
#include "app/VelkarnStartUpValues6.h"
#include "app/VelkarnStartUpValues7.h"
#include "audio/AudioDeviceList.h"
#include "audio/CrossfadeCurve.h"
#include "audio/DirectSoundOut.h"
#include "audio/FIFO.h"
#include "audio/Interpolator.h"
#include "audio/Limiter.h"
#include "audio/Motor.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "audio/TimeScalerPV.h"
#include "audio/TrackAudio.h"
#include "audio/TrackInfo.h"
#include "audio/WaveOut.h"
#include "framework/CriticalSections.h"
#include "framework/GUIButton.h"
#include "framework/GUIImage.h"
#include "framework/GUIIndicator.h"
#include "framework/GUIMeter.h"
#include "framework/GUIMouseArea.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUIPanelGroupVertical.h"
#include "framework/GUISliderVertical.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "network/PanelNetwork.h"
#include "network/TrackInfoClient.h"
#include "primitives.h"
#include "scope/Scope.h"
#include "tools/BeatMapper.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr std::int32_t rendererFrames = 132300;  // three seconds ahead
constexpr std::int32_t gridHorizon = 35277000;   // 800 seconds ahead
constexpr std::int32_t editMargin = 10000;       // samples already on their way out
constexpr std::int32_t committedFrames = 22050;  // audio already handed to the outputs

}  // namespace

Velkarn::Velkarn(void* instance, int showCommand)
    : instance_(instance), showCommand_(showCommand), format_(2, 44100, 16) {
    mixer_ = std::make_unique<MixerParameters>();

    devices_ = std::make_unique<AudioDeviceList>(format_);
    const int waveOuts = devices_->count(AudioDeviceList::Kind::WaveOut);
    const int directSounds = devices_->count(AudioDeviceList::Kind::DirectSound);
    if (waveOuts == 0 || directSounds == 0) {
        char text[128];
        std::snprintf(text, sizeof text, "There is no suitable audio device available [MM: %d, DS: %d].", waveOuts,
                      directSounds);
        fatalError(text, __FILE__, __LINE__);
    }

    midiDevices_ = std::make_unique<MidiDeviceList>();
    interpolator_ = std::make_unique<Interpolator>(2);
    timeScaler_ = std::make_unique<TimeScalerPV>(1024, 4);

    VelkarnStartUpValues startUp;
    VelkarnStartUpValues2 startUp2;
    VelkarnStartUpValues3 startUp3;
    VelkarnStartUpValues4 startUp4;
    VelkarnStartUpValues5 startUp5;
    VelkarnStartUpValues6 startUp6;
    VelkarnStartUpValues7 startUp7;
    startUp.load();
    startUp2.load();
    startUp3.load();
    startUp4.load();
    startUp5.load();
    startUp6.load();
    startUp7.load();

    {
        std::lock_guard<std::mutex> hold(timeLock_);
        sampleTime_ = 0;
    }

    BrowserData::Roots roots;
    for (int i = 0; i < BrowserData::rootCount; ++i) roots[static_cast<std::size_t>(i)] = startUp7.rootDirectories[i];
    browserData_ = std::make_unique<BrowserData>(startUp2.databasePath, roots);

    const float knee = startUp.crossfadeKnee * 0.01f;
    for (int d = 0; d < decks; ++d) {
        songs_[d] = std::make_unique<Songs>();
        playback_[d] = std::make_unique<TrackAudio>(rendererFrames, format_, minimumTempo(), true, true, knee);
        second_[d] = std::make_unique<TrackAudio>(rendererFrames, format_, minimumTempo(), false, false, knee);
    }

    trackInfoClient_ = std::make_unique<TrackInfoClient>(static_cast<NetworkHost&>(*this));
    trackInfo_ = std::make_unique<TrackInfo>(static_cast<TrackInfoApplication&>(*this), gridHorizon, *songs_[0],
                                             *songs_[1]);
    limiter_ = std::make_unique<Limiter>(format_);
    cueFifo_ = std::make_unique<FIFO>(format_, 1.0f);

    WindowParameters parameters;
    parameters.instance = instance_;
    parameters.showCommand = showCommand_;
    parameters.backgroundKey = "velkarn/background/main";
    parameters.title = "Velkarn";
    parameters.client = this;
    mainWindow_ = std::make_unique<Window>(parameters);
    Window& window = *mainWindow_;

    // The six strips, row by row within each deck, each row following on
    // from the last whole beat of the row above; then one hover cursor over
    // both decks' strips of each row.
    for (int d = 0; d < decks; ++d) {
        for (int r = 0; r < stripRows; ++r) {
            auto* strip = new GUIStrip(10, 10 + 145 * r + 65 * d, 800, stripHeight_, 2756.0f,
                                       r == 0 ? "velkarn/strip/pointer" : "", d, this);
            strips_[d][r] = strip;
            window.add(strip);
            strip->setStartBeat(r == 0 ? 0 : strips_[d][r - 1]->lastBeat() + 1, *trackInfo_);
            strip->shadeAfterLastBeat(*trackInfo_);
            strip->renderSong(*songs_[d], *trackInfo_, strip->startBeat());
        }
    }
    for (int r = 0; r < stripRows; ++r) {
        cursors_[r] = new GUICursor(10, 10 + 145 * r, 800, 2 * stripHeight_ + 5, stripHeight_, strips_[0][r],
                                    trackInfo_.get(), this);
        window.add(cursors_[r]);
    }

    overlayRows_ = new GUIImage(6, 6, "velkarn/image/overlayRows");
    window.add(overlayRows_);

    toolGroup_ = new GUIPanelGroupVertical(10, 60, nullptr);
    window.add(toolGroup_);
    panelDrop_ = new PanelDrop(toolGroup_, this);
    panelTempo_ = new PanelTempo(toolGroup_, this);
    panelRepeat_ = new PanelRepeat(toolGroup_, this);
    panelDelete_ = new PanelDelete(toolGroup_, this);
    panelSkip_ = new PanelSkip(toolGroup_, this);
    panelPause_ = new PanelPause(toolGroup_, this);
    panelReverse_ = new PanelReverse(toolGroup_, this);
    panelMove_ = new PanelMove(toolGroup_, this);
    panelFade_ = new PanelFade(toolGroup_, this);
    panelListen_ = new PanelListen(toolGroup_, this);

    devices_->validateChoice(true, startUp.outputType, startUp.outputDevice, startUp.latencyMs);
    devices_->validateChoice(true, startUp3.secondOutputType, startUp3.secondOutputDevice, startUp3.secondLatencyMs);
    midiDevices_->validateName(true, startUp3.midiOutputDevice);
    midiDevices_->validateName(false, startUp4.midiInputDevice);

    functionGroup_ = new GUIPanelGroupHorizontal(6, 30, nullptr);
    window.add(functionGroup_);
    panelDecks_ = new PanelDecks(functionGroup_, this);
    panelEffects_ = new PanelEffects(functionGroup_, this);
    panelRecorder_ = new PanelRecorder(functionGroup_, this);
    panelPlayer_ = new PanelPlayer(functionGroup_, this);
    panelNetwork_ = new PanelNetwork(functionGroup_, this);
    panelSettings_ = new PanelSettings(functionGroup_, this, startUp, startUp2, startUp3, startUp4, startUp5, startUp6,
                                       devices_.get(), midiDevices_.get());

    auto addButton = [&](int x, int y, const char* key, int mode, bool down) {
        auto* button = new GUIButton(x, y, key, this, mode, down);
        window.add(button);
        return button;
    };
    zoomIn_ = addButton(831, 450, "velkarn/button/zoomIn", 0, false);
    zoomOut_ = addButton(861, 450, "velkarn/button/zoomOut", 0, false);
    browserButton_ = addButton(830, 486, "velkarn/button/browser", 0, false);
    scopeButton_ = addButton(830, 522, "velkarn/button/scope", 0, false);
    beatMapperButton_ = addButton(830, 558, "velkarn/button/beatMapper", 0, false);
    playButton_ = addButton(830, 600, "velkarn/button/play", 1, true);

    meters_[0] = new GUIMeter(910, 445, "velkarn/meter/volume", 0.0f, 1.0f);
    window.add(meters_[0]);
    meters_[1] = new GUIMeter(950, 445, "velkarn/meter/volume", 0.0f, 1.0f);
    window.add(meters_[1]);
    volumeSlider_ = new GUISliderVertical(910, 445, 75, 206, "velkarn/slider/volume", mixer_->position(0), 0.0f, 1.0f,
                                          true, this);
    window.add(volumeSlider_);
    recordingIndicator_ = new GUIIndicator(247, 455, "velkarn/indicator/recording");
    window.add(recordingIndicator_);
    playingIndicator_ = new GUIIndicator(361, 455, "velkarn/indicator/playing");
    window.add(playingIndicator_);
    mouseArea_ = new GUIMouseArea(0, 0, window.width(), window.height(), this);
    window.add(mouseArea_);

    panelDrop_->showStandardTempo();
    panelListen_->refresh();
    panelDecks_->refresh();
    panelEffects_->refresh();
    panelSettings_->refresh();
    volumeSlider_->notifyListener();

    if (!startUp5.overlaysShown) hideOverlays();

    for (int d = 0; d < decks; ++d) {
        playback_[d]->setFilterOrder(startUp.filterOrder);
        playback_[d]->setTimeScaling(false);
        playback_[d]->setOverlapMs(startUp.overlapMs);
        second_[d]->setFilterOrder(0);
        second_[d]->setTimeScaling(false);
        second_[d]->setOverlapMs(10.0f);
    }
    for (int d = 0; d < decks; ++d) playback_[d]->startThread(*songs_[d], *trackInfo_, 0, 0);

    openOutputDevice(0, startUp.outputType != 0, startUp.outputDevice, startUp.latencyMs);
    if (startUp3.secondOutputOn) {
        openOutputDevice(1, startUp3.secondOutputType != 0, startUp3.secondOutputDevice, startUp3.secondLatencyMs);
    }

    recorder_ = std::make_unique<Recorder>(format_, output_(0), 1.0f);
    if (output_(0) == nullptr) waiting_[0].push_back(recorder_.get());
    recorder_->setFileName("C:/Velkarn.wav");
    panelRecorder_->setRecordingText("C:/Velkarn.wav");

    playlistText_ = std::make_unique<PlaylistWriter>(0);
    playlistCsv_ = std::make_unique<PlaylistWriter>(1);
    playlistText_->setBaseName("C:/Velkarn");
    playlistCsv_->setBaseName("C:/Velkarn");
    panelRecorder_->setListText("C:/Velkarn.txt (.csv)");

    player_ = std::make_unique<Player>(this);

    panelNetwork_->createEndpoints();
    panelSettings_->activate();

    setRefreshInterval(1000.0f / startUp.refreshRate);

    for (int i = 0; i < 2; ++i) startOutputDevice(i);

    window.redraw(GUIRectangle(0, 0, window.width() - 1, window.height() - 1));
    window.present();
}

Velkarn::~Velkarn() {
    panelNetwork_->disconnect(true);

    for (int i = 0; i < 2; ++i) stopOutputDevice(i);
    for (int i = 0; i < 2; ++i) {
        releaseOutput(i);
        waiting_[i].clear();
    }

    recorder_.reset();
    playlistText_.reset();
    playlistCsv_.reset();
    player_.reset();

    mainWindow_->stopTimer();

    delete scope_;
    scope_ = nullptr;
    delete beatMapper_.exchange(nullptr);
    delete browser_.exchange(nullptr);

    // A record cleared to empty texts takes the roots, each cut to its field.
    VelkarnStartUpValues7 startUp7;
    BrowserData::Roots roots;
    browserData_->copyRootDirectories(roots);
    for (int i = 0; i < VelkarnStartUpValues7::rootCount; ++i) {
        const std::string& root = roots[static_cast<std::size_t>(i)];
        const std::size_t n = std::min(root.size(), sizeof startUp7.rootDirectories[i] - 1);
        std::memcpy(startUp7.rootDirectories[i], root.data(), n);
    }
    startUp7.save();
    browserData_.reset();

    for (int d = 0; d < decks; ++d) {
        playback_[d]->stopThread();
        playback_[d].reset();
        second_[d]->stopThread();
        second_[d].reset();
        songs_[d].reset();
    }

    // The panels belong to their groups, and the groups to the window.
    mainWindow_.reset();

    trackInfo_.reset();
    trackInfoClient_.reset();
    limiter_.reset();
    cueFifo_.reset();
    interpolator_.reset();
    timeScaler_.reset();
    devices_.reset();
    midiDevices_.reset();
    mixer_.reset();
}

// ---------------------------------------------------------------------------
// Window, buttons, slider

bool Velkarn::canClose(Window* /*window*/) {
    BeatMapper* mapper = beatMapper();
    if (mapper != nullptr && mapper->isEdited() && !mapper->window()->confirmDiscard()) return false;
    return askYesNo("Closing Velkarn", "Do you want to quit Velkarn?");
}

void Velkarn::postedMessage(Window* /*window*/, int kind, int value) {
    switch (kind) {
    case 0:
        panelNetwork_->handlePanelMessage(0);
        break;
    case 1:
        refreshStripsFrom(currentBeatIndex() + 1);
        break;
    case 2:
        rerenderDecksFrom(value);
        rerenderSecondFrom(value);
        refreshStripsFrom(value);
        break;
    default:
        break;
    }
}

void Velkarn::buttonPressed(GUIButton* button) {
    if (button == zoomIn_) {
        zoom(true);
    } else if (button == zoomOut_) {
        zoom(false);
    } else if (button == playButton_) {
        playing_.store(true, std::memory_order_relaxed);
    } else if (button == scopeButton_) {
        if (scope_ != nullptr) {
            scope_->graphWindow()->bringToFront();
            scope_->controlWindow()->bringToFront();
        } else {
            openScope();
        }
    } else if (button == beatMapperButton_) {
        if (askYesNo("Launching BeatMapper", "Do you want to launch the BeatMapper? [This will interrupt playback.]")) {
            openBeatMapper("");
        }
        beatMapperButton_->setUp();
    } else if (button == browserButton_) {
        if (Browser* open = browser()) {
            open->window()->bringToFront();
        } else {
            openBrowser();
        }
    }
}

void Velkarn::buttonReleased(GUIButton* button) {
    if (button == playButton_) {
        playing_.store(false, std::memory_order_relaxed);
        panelNetwork_->disconnect(true);
    }
}

void Velkarn::sliderChanged(GUISlider* slider, float value) {
    if (slider == volumeSlider_) mixer_->setPosition(MixerParameters::mainVolume, value);
}

void Velkarn::syncVolumeSlider() {
    const float position = mixer_->position(MixerParameters::mainVolume);
    if (volumeSlider_->value() != position) volumeSlider_->setValue(position);
}

// ---------------------------------------------------------------------------
// Display refresh, strip rows and zoom

void Velkarn::windowTimer(Window* /*window*/) {
    syncVolumeSlider();
    panelDecks_->syncFromMixer(*mixer_);

    int hours = 0, minutes = 0, seconds = 0, centiseconds = 0;
    recorder_->elapsedTime(hours, minutes, seconds, centiseconds);
    panelRecorder_->setTime(hours, minutes, seconds, centiseconds);
    const bool recording = recorder_->isRecording();
    recordingIndicator_->setState(true, recording);
    panelRecorder_->setRecording(recording);

    for (int c = 0; c < 2; ++c) meters_[c]->setValue(meterLevel(c));

    const std::int64_t now = currentSampleTime();
    int b = 0;
    {
        DeckLock hold;
        b = trackInfo_->beatIndexAt(now);
        beatPeriod_.store(static_cast<float>(trackInfo_->beatAt(b).length) / static_cast<float>(format_.sampleRate),
                          std::memory_order_relaxed);
    }

    player_->tick(b);
    playingIndicator_->setState(true, player_->isRunning());
    panelPlayer_->setRunning(player_->isRunning());

    float deckTempos[decks] = {};
    {
        DeckLock hold;
        for (int d = 0; d < decks; ++d) {
            deckTempos[d] = static_cast<float>(format_.sampleRate) / songs_[d]->beatLengthAt(b) * 60.0f;
        }
    }
    const float mixTempo = 60.0f / beatPeriod_.load(std::memory_order_relaxed);
    panelDecks_->setDeckTempos(deckTempos[0], deckTempos[1]);
    panelDecks_->setCommonTempo(mixTempo);
    if (Browser* open = browser()) open->showCurrentTempo(mixTempo);

    std::string songTitles[decks];
    const std::string title = titleAtBeat(b, songTitles);
    if (title != mainWindow_->fileName()) mainWindow_->setFileName(title);
    for (int d = 0; d < decks; ++d) panelDecks_->setSongText(d, songTitles[d]);

    {
        DeckLock hold;
        const std::int32_t oldest = trackInfo_->oldestBeatIndex();
        for (int d = 0; d < decks; ++d) songs_[d]->dropFinished(oldest);
    }

    GUIStrip& first = *strips_[0][0];
    if (b > first.lastBeat()) {
        {
            DeckLock hold;
            trackInfo_->advanceTo(now, false, 0);
        }
        scrollRows();
    }
    // A stall longer than a row, or a grid re-timed under the strips, can
    // leave the play position off row 0 even after the scroll.
    if (b < first.startBeat() || b > first.lastBeat()) layOutRows(b);

    for (int d = 0; d < decks; ++d) strips_[d][0]->setMainPointer(now);

    const std::int64_t listenStart = panelListen_->listenStartTime();
    for (int d = 0; d < decks; ++d) {
        const bool listening = second_[d]->running();
        const std::int64_t position = now + (second_[d]->basePosition() - listenStart);
        for (GUIStrip* strip : strips_[d]) {
            if (listening) {
                strip->setSecondPointer(position);
                strip->showSecondPointer();
            } else {
                strip->hideSecondPointer();
            }
        }
    }

    for (GUICursor* cursor : cursors_) cursor->updateColour(now);

    panelNetwork_->appendStatusLine();
}

std::string Velkarn::titleAtBeat(int beat, std::string* titles) {
    std::string parts[2];
    {
        DeckLock hold;
        for (int d = 0; d < decks; ++d) {
            std::string title;
            std::string artist;
            const bool found = songs_[d]->tagsAtBeat(beat, &title, &artist, nullptr);
            if (found) parts[d] = "[" + title + " | " + artist + "]";
            titles[d] = found ? title : std::string();
        }
    }
    return parts[0] + (!parts[0].empty() && !parts[1].empty() ? " :: " : "") + parts[1];
}

void Velkarn::scrollRows() {
    for (int d = 0; d < decks; ++d) {
        for (int r = 0; r < stripRows - 1; ++r) {
            GUIStrip& strip = *strips_[d][r];
            const GUIStrip& below = *strips_[d][r + 1];
            strip.setStartBeat(below.startBeat(), *trackInfo_);
            strip.shadeAfterLastBeat(*trackInfo_);
            strip.copyImageFrom(below);
        }
        GUIStrip& last = *strips_[d][stripRows - 1];
        last.setStartBeat(strips_[d][stripRows - 2]->lastBeat() + 1, *trackInfo_);
        last.shadeAfterLastBeat(*trackInfo_);
        last.renderSong(*songs_[d], *trackInfo_, last.startBeat());
    }
    for (GUICursor* cursor : cursors_) cursor->refresh();
}

void Velkarn::layOutRows(int startBeat) {
    const float samplesPerPixel = static_cast<float>(zoom_) * 689.0f;
    for (int d = 0; d < decks; ++d) {
        for (int r = 0; r < stripRows; ++r) {
            GUIStrip& strip = *strips_[d][r];
            strip.setScale(samplesPerPixel);
            strip.setStartBeat(r == 0 ? startBeat : strips_[d][r - 1]->lastBeat() + 1, *trackInfo_);
            strip.shadeAfterLastBeat(*trackInfo_);
            strip.renderSong(*songs_[d], *trackInfo_, strip.startBeat());
        }
    }
    for (GUICursor* cursor : cursors_) cursor->refresh();
}

void Velkarn::zoom(bool zoomIn) {
    const int factor = zoomIn ? std::max(zoom_ / 2, 1) : std::min(zoom_ * 2, 16);
    if (factor == zoom_) return;
    zoom_ = factor;
    const float samplesPerPixel = static_cast<float>(zoom_) * 689.0f;
    const GUIStrip& first = *strips_[0][0];
    const auto back =
        static_cast<std::int64_t>(static_cast<float>(first.mainPointerColumn() - first.x0) * samplesPerPixel);
    layOutRows(beatIndexAt(currentSampleTime() - back));
}

void Velkarn::refreshStripsFrom(int beat) {
    for (int d = 0; d < decks; ++d) {
        for (int r = 0; r < stripRows; ++r) {
            GUIStrip& strip = *strips_[d][r];
            if (r > 0) strip.setStartBeat(strips_[d][r - 1]->lastBeat() + 1, *trackInfo_);
            strip.shadeAfterLastBeat(*trackInfo_);
            strip.renderSong(*songs_[d], *trackInfo_, beat);
        }
    }
    for (GUICursor* cursor : cursors_) cursor->refresh();
}

void Velkarn::mouseWheel(GUIMouseArea* /*area*/, const GUIPoint& /*point*/, int notches) {
    if (notches < 0) zoom(true);
    if (notches > 0) zoom(false);
}

// ---------------------------------------------------------------------------
// The render callback

void Velkarn::render(Motor* device, float** channels, std::int32_t frames) {
    reportPrimitiveError(zaviZero_32f(channels[0], frames), __FILE__, __LINE__);
    reportPrimitiveError(zaviZero_32f(channels[1], frames), __FILE__, __LINE__);

    if (BeatMapper* mapper = beatMapper_.load(std::memory_order_acquire)) {
        if (device == output_(0)) mapper->render(device, channels, frames);
        return;
    }
    if (!playing_.load(std::memory_order_relaxed)) return;

    if (device == output_(1)) {
        renderSecondOutput(device, channels, frames);
        return;
    }
    renderMainMix(channels, frames);
}

void Velkarn::renderSecondOutput(Motor* second, float** channels, std::int32_t frames) {
    Motor* main = output_(0);
    if (main != nullptr && second != nullptr && main->isWaveOut() && second->isWaveOut() &&
        main->deviceId() == second->deviceId()) {
        return;
    }
    if (second_[0]->running() && second_[1]->running()) {
        float gains[2];
        panelListen_->listenGains(gains[0], gains[1]);
        const std::int64_t now = currentSampleTime();
        const std::int64_t listenStart = panelListen_->listenStartTime();
        for (int d = 0; d < decks; ++d) {
            const std::int64_t time = now + (second_[d]->basePosition() - listenStart);
            second_[d]->mixInto(channels, nullptr, listenGainPrevious_[d], gains[d], 0.0f, 0.0f, 0.0f, 0.0f, true,
                                true, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, time,
                                frames);
            listenGainPrevious_[d] = gains[d];
        }
        return;
    }
    if (Browser* open = browser_.load(std::memory_order_acquire)) {
        open->render(second, channels, frames);
        return;
    }
    if (panelDecks_->cueDeck() != -1) cueFifo_->read(second, channels, frames);
}

void Velkarn::renderMainMix(float** channels, std::int32_t frames) {
    const MixerParameters& mixer = *mixer_;
    const float x = mixer.value(MixerParameters::crossfader);
    const float main = mixer.value(MixerParameters::mainVolume);
    const float deckGain[2] = {mixer.value(MixerParameters::deck0Gain), mixer.value(MixerParameters::deck1Gain)};
    const float upper[2] = {mixer.value(MixerParameters::deck0UpperCutoff),
                            mixer.value(MixerParameters::deck1UpperCutoff)};
    const float lower[2] = {mixer.value(MixerParameters::deck0LowerCutoff),
                            mixer.value(MixerParameters::deck1LowerCutoff)};
    const bool filterMode[2] = {mixer.value(MixerParameters::deck0FilterMode) == 1.0f,
                                mixer.value(MixerParameters::deck1FilterMode) == 1.0f};
    const float effect[2] = {mixer.value(MixerParameters::deck0EffectLevel),
                             mixer.value(MixerParameters::deck1EffectLevel)};

    const float knee = panelSettings_->deckGain();
    float crossfade[2];
    crossfadeGains(x, knee, crossfade[0], crossfade[1]);

    const float p = beatPeriod_.load(std::memory_order_relaxed);
    float delayTime[2], delayLevel[2], flangerRate[2], flangerLevel[2], reverb[2];
    panelEffects_->delayTimes(delayTime, p);
    panelEffects_->delayAmounts(delayLevel);
    panelEffects_->flangerRates(flangerRate, p);
    panelEffects_->flangerAmounts(flangerLevel);
    panelEffects_->reverbSizes(reverb);

    const int cueDeck = panelDecks_->cueDeck();
    // Only this callback advances the clock, so one read serves both decks.
    const std::int64_t now = currentSampleTime();
    for (int d = 0; d < decks; ++d) {
        const float gain = crossfade[d] * main * deckGain[d];
        FIFO* cue = d == cueDeck ? cueFifo_.get() : nullptr;
        playback_[d]->mixInto(channels, cue, gainPrevious_[d], gain, upperCutoffPrevious_[d], upper[d],
                              lowerCutoffPrevious_[d], lower[d], filterModePrevious_[d], filterMode[d],
                              effectPrevious_[d], effect[d], delayTimePrevious_[d], delayTime[d],
                              delayLevelPrevious_[d], delayLevel[d], flangerRatePrevious_[d], flangerRate[d],
                              flangerLevelPrevious_[d], flangerLevel[d], reverbPrevious_[d], reverb[d],
                              now, frames);
        gainPrevious_[d] = gain;
        upperCutoffPrevious_[d] = upper[d];
        lowerCutoffPrevious_[d] = lower[d];
        filterModePrevious_[d] = filterMode[d];
        effectPrevious_[d] = effect[d];
        delayTimePrevious_[d] = delayTime[d];
        delayLevelPrevious_[d] = delayLevel[d];
        flangerRatePrevious_[d] = flangerRate[d];
        flangerLevelPrevious_[d] = flangerLevel[d];
        reverbPrevious_[d] = reverb[d];
    }

    limiter_->process(channels, frames);
    const float peaks[2] = {peakLevel(channels[0], frames), peakLevel(channels[1], frames)};
    {
        std::lock_guard<std::mutex> hold(timeLock_);
        sampleTime_ += frames;
    }
    for (int c = 0; c < 2; ++c) {
        const float level = meterLevels_[c].load(std::memory_order_relaxed);
        meterLevels_[c].store(peaks[c] > level ? peaks[c] : level * 0.9f + peaks[c] * 0.1f,
                              std::memory_order_relaxed);
    }
}

// ---------------------------------------------------------------------------
// Output devices

void Velkarn::passOutputLocks() {
    for (int i = 0; i < 2; ++i) {
        if (Motor* device = output_(i)) device->setClient(this);
    }
}

void Velkarn::releaseOutput(int index) {
    Motor* device = output_(index);
    if (device == nullptr) return;
    // Stopped first: no block of it is under way once the slot is empty.
    device->stop();
    outputs_[index].store(nullptr, std::memory_order_release);
    AudioSink* sinks[Motor::maxSinks];
    std::int32_t count = 0;
    device->listSinks(sinks, count);
    waiting_[index].assign(sinks, sinks + count);
    // The other output may be comparing itself with this one.
    passOutputLocks();
    delete device;
}

void Velkarn::openOutputDevice(int output, bool directSound, const std::string& name, float latencyMs) {
    releaseOutput(output);
    Motor* device = nullptr;
    if (directSound) {
        try {
            device = new DirectSoundOut(devices_->directSoundGuid(name.c_str()), format_, latencyMs, this,
                                        mainWindow_.get());
        } catch (const StringException&) {
            showMessage("Device Trouble", "Could not open DirectSoundOut device.");
        }
    } else {
        try {
            device = new WaveOut(devices_->waveOutDeviceId(name.c_str()), format_, latencyMs, this);
        } catch (const StringException&) {
            showMessage("Device Trouble", "Could not open WaveOut device.");
        }
    }
    if (device == nullptr) return;
    for (AudioSink* sink : waiting_[output]) {
        device->addSink(sink);
        sink->attach(device);
    }
    waiting_[output].clear();
    outputs_[output].store(device, std::memory_order_release);
}

void Velkarn::closeOutputDevice(int output) { releaseOutput(output); }

void Velkarn::startOutputDevice(int output) {
    if (Motor* device = output_(output)) device->start();
}

void Velkarn::stopOutputDevice(int output) {
    if (Motor* device = output_(output)) device->stop();
}

void Velkarn::stopSecondRenderers() {
    for (int d = 0; d < decks; ++d) second_[d]->stopThread();
}

void Velkarn::tapMainOutput(AudioSink* sink) {
    if (Motor* device = output_(0)) {
        device->addSink(sink);
    } else {
        waiting_[0].push_back(sink);
    }
}

// ---------------------------------------------------------------------------
// Tool windows

Scope* Velkarn::openScope() {
    if (scope_ == nullptr) {
        scope_ = new Scope(instance_, showCommand_, format_, output_(0), this);
        if (output_(0) == nullptr) waiting_[0].push_back(scope_);
    }
    return scope_;
}

Browser* Velkarn::openBrowser() {
    if (browser() == nullptr) browser_.store(new Browser(instance_, showCommand_, browserData_.get(), this), std::memory_order_release);
    return browser();
}

BeatMapper* Velkarn::openBeatMapper(const std::string& path) {
    if (BeatMapper* open = beatMapper()) {
        open->window()->bringToFront();
        return open;
    }
    mainWindow_->disable();
    if (Browser* open = browser()) open->window()->disable();
    panelNetwork_->disconnect(true);
    auto* mapper = new BeatMapper(instance_, showCommand_, format_, this, path);
    beatMapper_.store(mapper, std::memory_order_release);
    return mapper;
}

bool Velkarn::isScopeWindow(Window* window) {
    return scope_ != nullptr && (window == scope_->graphWindow() || window == scope_->controlWindow());
}

void Velkarn::closeScope() {
    Scope* closing = scope_;
    scope_ = nullptr;
    if (closing == nullptr) return;
    for (auto& waiting : waiting_) waiting.erase(std::remove(waiting.begin(), waiting.end(), closing), waiting.end());
    delete closing;
}

bool Velkarn::isBeatMapperWindow(Window* window) {
    BeatMapper* mapper = beatMapper();
    return mapper != nullptr && window == mapper->window();
}

void Velkarn::closeBeatMapper() {
    if (beatMapper() == nullptr) return;
    mainWindow_->enable();
    if (Browser* open = browser()) open->window()->enable();
    BeatMapper* closing = beatMapper_.exchange(nullptr, std::memory_order_acq_rel);
    passOutputLocks();
    delete closing;
}

bool Velkarn::isBrowserWindow(Window* window) {
    Browser* open = browser();
    return open != nullptr && window == open->window();
}

void Velkarn::closeBrowser() {
    Browser* closing = browser_.exchange(nullptr, std::memory_order_acq_rel);
    if (closing == nullptr) return;
    passOutputLocks();
    delete closing;
}

bool Velkarn::isPreviewerWindow(Window* window) {
    Browser* open = browser();
    return open != nullptr && open->previewerWindow() != nullptr && window == open->previewerWindow();
}

void Velkarn::closePreviewer() {
    if (Browser* open = browser()) open->closePreviewer();
}

// ---------------------------------------------------------------------------
// The interface

void Velkarn::destroyFromInterface(bool /*release*/) { delete this; }

int Velkarn::loadSongFile(const std::string& path) {
    panelDrop_->loadSong(path);
    return panelDrop_->songPath() == path ? 1 : 0;
}

void Velkarn::showOverlays() {
    overlayRows_->load();
    panelDecks_->showOverlay();
}

void Velkarn::hideOverlays() {
    overlayRows_->unload();
    panelDecks_->hideOverlay();
}

void Velkarn::enableDelay(int deck) {
    DeckLock hold;
    playback_[deck]->enableDelay();
}

void Velkarn::disableDelay(int deck) {
    DeckLock hold;
    playback_[deck]->disableDelay();
}

void Velkarn::enableFlanger(int deck) {
    DeckLock hold;
    playback_[deck]->enableFlanger();
}

void Velkarn::disableFlanger(int deck) {
    DeckLock hold;
    playback_[deck]->disableFlanger();
}

void Velkarn::enableReverb(int deck) {
    DeckLock hold;
    playback_[deck]->enableReverb();
}

void Velkarn::disableReverb(int deck) {
    DeckLock hold;
    playback_[deck]->disableReverb();
}

void Velkarn::setCrossfadeKnee(float knee) {
    for (int d = 0; d < decks; ++d) {
        playback_[d]->setCrossfadeKnee(knee);
        second_[d]->setCrossfadeKnee(knee);
    }
}

void Velkarn::setFilterOrder(int order) {
    DeckLock hold;
    for (int d = 0; d < decks; ++d) playback_[d]->setFilterOrder(order);
}

int Velkarn::nextEditableBeat() {
    const std::int64_t now = currentSampleTime();
    DeckLock hold;
    const int b = trackInfo_->beatIndexAt(now);
    return trackInfo_->beatAt(b + 1).position - now >= editMargin ? b + 1 : b + 2;
}

template <class Setting>
void Velkarn::rerenderWith(Setting setting) {
    const int from = nextEditableBeat();
    DeckLock hold;
    setting();
    for (int d = 0; d < decks; ++d) playback_[d]->renderNextBeat(*songs_[d], *trackInfo_, true, from);
}

void Velkarn::setOverlapMs(float milliseconds) {
    rerenderWith([&] {
        for (int d = 0; d < decks; ++d) playback_[d]->setOverlapMs(milliseconds);
    });
}

void Velkarn::setRenderFlag(bool timeScaling) {
    rerenderWith([&] {
        for (int d = 0; d < decks; ++d) playback_[d]->setTimeScaling(timeScaling);
    });
}

void Velkarn::setTimeScalerFrameSize(int frameSize) {
    rerenderWith([&] { timeScaler_->setFrameSize(frameSize); });
}

void Velkarn::setTimeScalerOverlap(int overlap) {
    rerenderWith([&] { timeScaler_->setOverlap(overlap); });
}

void Velkarn::setRefreshInterval(float milliseconds) {
    refreshPeriodMs_ = static_cast<unsigned>(milliseconds);
    mainWindow_->startTimer(refreshPeriodMs_, this);
}

std::int64_t Velkarn::currentSampleTime() {
    std::lock_guard<std::mutex> hold(timeLock_);
    return sampleTime_;
}

int Velkarn::currentBeatIndex() {
    const std::int64_t now = currentSampleTime();
    DeckLock hold;
    return trackInfo_->beatIndexAt(now);
}

int Velkarn::beatIndexAt(std::int64_t sampleTime) {
    DeckLock hold;
    return trackInfo_->beatIndexAt(sampleTime);
}

TrackBeat Velkarn::beatAt(int index) {
    DeckLock hold;
    return trackInfo_->beatAt(index);
}

bool Velkarn::isExitOnLoad() { return panelSettings_->isExitOnLoad(); }

void Velkarn::selectDropTool() { toolGroup_->panel(0); }

// Every edit ends here: the grid is rebuilt and both pairs re-rendered from
// the first beat not yet committed to an output, the strips redrawn and the
// network's clients told. Lock 2 is taken per step, never across them.
void Velkarn::updateFromBeat(int beat) {
    const std::int64_t now = currentSampleTime();
    const int ahead = beatIndexAt(now + committedFrames) + 1;
    const int from = std::max(ahead, beat);
    rebuildBeatInfo(now, from);
    rerenderDecksFrom(from);
    const std::int64_t listenNow = now + (second_[0]->basePosition() - panelListen_->listenStartTime());
    rerenderSecondFrom(std::max(beatIndexAt(listenNow), beat));
    refreshStripsFrom(beat);
    panelNetwork_->sendBeatUpdate(from);
}

void Velkarn::rebuildBeatInfo(std::int64_t sampleTime, int beat) {
    DeckLock hold;
    trackInfo_->advanceTo(sampleTime, true, beat);
}

void Velkarn::rerenderDecksFrom(int beat) {
    DeckLock hold;
    for (int d = 0; d < decks; ++d) playback_[d]->renderNextBeat(*songs_[d], *trackInfo_, true, beat);
}

void Velkarn::rerenderSecondFrom(int beat) {
    DeckLock hold;
    for (int d = 0; d < decks; ++d) second_[d]->renderNextBeat(*songs_[d], *trackInfo_, true, beat);
}

bool Velkarn::dropSong(int deck, const std::string& path, int beat) {
    std::string refusal;
    return placeSong(deck, path, beat, false, refusal);
}

void Velkarn::applyFade(int deck, int beat, const std::string& type, int beats, bool cross, bool trim, bool tempo) {
    const bool in = type == "in";
    if (!in && type != "out") fatalError("Unknown fade type.", __FILE__, __LINE__);
    const char* otherType = in ? "out" : "in";
    // The deck fading in loses what comes before the fade, the one fading
    // out what comes after its last beat.
    const char* ownTrim = in ? "allBefore" : "allAfter";
    const char* otherTrim = in ? "allAfter" : "allBefore";
    const int ownTrimBeat = in ? beat : beat + beats - 1;
    const int otherTrimBeat = in ? beat + beats - 1 : beat;
    Songs& own = *songs_[deck];
    Songs& other = *songs_[1 - deck];
    std::int32_t a = beat;
    std::int32_t b = beat;
    {
        DeckLock hold;
        own.fade(beat, type, beats);
        if (trim) own.deleteBeats(ownTrimBeat, ownTrim, a);
        if (cross) {
            other.fade(beat, otherType, beats);
            if (trim) other.deleteBeats(otherTrimBeat, otherTrim, b);
        }
        if (tempo) {
            // The tempo moves to the deck that fades in.
            const TrackBeat record = trackInfo_->beatAt(beat);
            const float towardDeck1 = (deck == 1) == in ? 1.0f : -1.0f;
            const float target = std::clamp(record.weight + towardDeck1, 0.0f, 1.0f);
            trackInfo_->setTempoFade(beat, record.weight, target, beats);
        }
    }
    updateFromBeat(std::min(a, b));
}

// ---------------------------------------------------------------------------
// The edit tools

void Velkarn::toolClick(int deck, std::int64_t position) {
    const int beat = beatIndexAt(position);
    Songs& songs = *songs_[deck];
    // A song edit of the clicked deck under lock 2, then the edit step from
    // the first beat it changed.
    auto edit = [&](auto change) {
        std::int32_t from = beat;
        {
            DeckLock hold;
            change(from);
        }
        updateFromBeat(from);
    };
    switch (toolGroup_->selectedIndex()) {
    case 0:
        dropTool(deck, beat);
        break;
    case 1:
        tempoTool(deck, beat);
        break;
    case 2:
        edit([&](std::int32_t&) {
            songs.repeat(beat, panelRepeat_->firstCount(), panelRepeat_->secondCount(), panelRepeat_->overwrite());
        });
        break;
    case 3:
        edit([&](std::int32_t& from) { songs.deleteBeats(beat, panelDelete_->deleteScope(), from); });
        break;
    case 4:
        edit([&](std::int32_t&) { songs.skip(beat, panelSkip_->beatCount()); });
        break;
    case 5:
        edit([&](std::int32_t&) { songs.pause(beat, panelPause_->beatCount()); });
        break;
    case 6:
        edit([&](std::int32_t&) { songs.reverse(beat, panelReverse_->beatCount()); });
        break;
    case 7:
        startMove(deck, beat);
        break;
    case 8:
        applyFade(deck, beat, panelFade_->fadeType(), panelFade_->fadeBeats(), panelFade_->isCross(),
                  panelFade_->isTrim(), panelFade_->isTempo());
        break;
    case 9:
        listenFrom(beat);
        break;
    default:
        break;
    }
}

void Velkarn::dropTool(int deck, int beat) {
    const std::string path = panelDrop_->songPath();
    if (path.empty()) return;
    std::string refusal;
    if (!placeSong(deck, path, beat, true, refusal)) showMessage("Could not drop song.", refusal);
}

bool Velkarn::placeSong(int deck, const std::string& path, int beat, bool tempoButtons, std::string& refusal) {
    const bool force = panelDrop_->isForceTempo();
    const float forcedLength = force ? static_cast<float>(format_.sampleRate) / panelDrop_->forcedTempo() * 60.0f
                                     : 0.0f;
    std::unique_ptr<Song> song;
    // Built outside lock 2: reading the file and its meta-data takes a while.
    try {
        song = std::make_unique<Song>(path, beat, *interpolator_, *timeScaler_, minimumTempo(), force,
                                      static_cast<std::int32_t>(forcedLength));
    } catch (const NoMetadataAvailable&) {
        refusal = "There is no metadata available for this song. ";
        return false;
    } catch (const StringException& e) {
        refusal = e.message();
        return false;
    }
    if (tempoButtons) {
        // A song doubled past its slots is refused like any other, and the
        // toggles are released all the same.
        try {
            if (panelDrop_->isDoubleTempo()) song->doubleBeats();
            if (panelDrop_->isHalfTempo()) song->halveBeats();
        } catch (const StringException& e) {
            panelDrop_->releaseTempoButtons();
            refusal = e.message();
            return false;
        }
        panelDrop_->releaseTempoButtons();
    }
    if (song->minimumBpm() < minimumTempo() || song->maximumBpm() > maximumTempo()) {
        char text[96];
        std::snprintf(text, sizeof text, "The tempo of the song is outside [%.0f, %.0f] BPM.",
                      static_cast<double>(minimumTempo()), static_cast<double>(maximumTempo()));
        refusal = text;
        return false;
    }

    const bool listing = playlistText_->isRunning() || playlistCsv_->isRunning();
    std::string title, artist, label;
    std::int64_t beatPosition = 0;
    {
        DeckLock hold;
        const Song* placed = song.get();
        // The list keeps the song only when it has room for it.
        if (!songs_[deck]->add(std::move(song))) {
            refusal = "Too many songs.";
            return false;
        }
        if (listing) {
            beatPosition = trackInfo_->beatAt(beat).position;
            placed->tagsAtBeat(beat, &title, &artist, &label);
        }
    }
    if (listing) {
        playlistText_->writeLine(deck, beatPosition, title, artist, label);
        playlistCsv_->writeLine(deck, beatPosition, title, artist, label);
    }
    updateFromBeat(beat);
    return true;
}

void Velkarn::tempoTool(int deck, int beat) {
    const int count = panelTempo_->beatCount();
    const float step = static_cast<float>(panelTempo_->tempoStep()) * 0.01f;
    {
        DeckLock hold;
        const TrackBeat record = trackInfo_->beatAt(beat);
        const float target = std::clamp(record.weight + (deck == 1 ? step : -step), 0.0f, 1.0f);
        trackInfo_->setTempoFade(beat, record.weight, target, count);
    }
    updateFromBeat(beat);
}

void Velkarn::startMove(int deck, int beat) {
    const std::string& scope = panelMove_->moveScope();
    Song* song = nullptr;
    {
        DeckLock hold;
        if (scope == "oneSong") {
            std::int32_t index = 0;
            if (!songs_[deck]->findSong(beat, &index, nullptr, nullptr, nullptr)) return;
            song = &songs_[deck]->song(index);
        } else if (scope == "oneDeck") {
            if (songs_[deck]->count() == 0) return;
        } else if (scope == "allDecks") {
            if (songs_[0]->count() == 0 && songs_[1]->count() == 0) return;
        } else {
            return;
        }
    }
    moveDragging_ = true;
    moveStartBeat_ = beat;
    moveSong_ = song;
    moveDeck_ = deck;
    showHandCursor();
}

void Velkarn::moveDragTo(int deck, std::int64_t position) {
    if (!moveDragging_ || deck != moveDeck_) return;
    const std::string& scope = panelMove_->moveScope();
    int newBeat = 0;
    int from = std::numeric_limits<int>::max();
    {
        DeckLock hold;
        newBeat = trackInfo_->beatIndexAt(position);
        if (newBeat == moveStartBeat_) return;
        const int delta = newBeat - moveStartBeat_;
        if (scope == "oneSong") {
            // The song may have left the deck since the press (played out,
            // trimmed by a fade): then the drag has nothing left to move.
            Songs& songs = *songs_[moveDeck_];
            bool present = false;
            for (std::int32_t i = 0; i < songs.count() && !present; ++i) present = &songs.song(i) == moveSong_;
            if (!present) {
                moveSong_ = nullptr;
                return;
            }
            const int before = moveSong_->firstBeat();
            moveSong_->moveByBeats(delta);
            songs.updateBounds();
            from = std::min(before, moveSong_->firstBeat());
        } else {
            for (int d = 0; d < decks; ++d) {
                const bool moved = scope == "allDecks" || (scope == "oneDeck" && d == moveDeck_);
                if (!moved || songs_[d]->count() == 0) continue;
                const int before = songs_[d]->firstBeat();
                songs_[d]->moveAll(delta);
                songs_[d]->updateBounds();
                from = std::min({from, before, songs_[d]->firstBeat()});
            }
            if (from == std::numeric_limits<int>::max()) return;
        }
    }
    updateFromBeat(from);
    moveStartBeat_ = newBeat;
}

void Velkarn::endMove() {
    if (!moveDragging_) return;
    moveDragging_ = false;
    moveSong_ = nullptr;
    showArrowCursor();
}

void Velkarn::mouseUp(GUIMouseArea* /*area*/, const GUIPoint& /*point*/) { endMove(); }

void Velkarn::mouseMove(GUIMouseArea* /*area*/, const GUIPoint& point) {
    if (!moveDragging_) return;
    // The strip under the mouse, rows in order, deck 0 first.
    for (int row = 0; row < 3; ++row) {
        for (int d = 0; d < decks; ++d) {
            GUIStrip* strip = strips_[d][row];
            if (!strip->contains(point)) continue;
            std::int64_t position = 0;
            if (strip->positionAt(point.x, position)) moveDragTo(d, position);
            return;
        }
    }
}

void Velkarn::stripClicked(GUIStrip* strip, std::int64_t position) {
    for (int d = 0; d < decks; ++d) {
        for (GUIStrip* own : strips_[d]) {
            if (own == strip) {
                toolClick(d, position);
                return;
            }
        }
    }
}

void Velkarn::listenFrom(int beat) {
    const TrackBeat record = beatAt(beat);
    panelListen_->setListenStartTime(currentSampleTime());
    for (int d = 0; d < decks; ++d) {
        second_[d]->stopThread();
        second_[d]->startThread(*songs_[d], *trackInfo_, record.position, beat);
    }
}

TrackInfoRemote* Velkarn::trackInfoRemote() { return trackInfoClient_.get(); }

bool Velkarn::tryBeatIndexAt(std::int64_t sampleTime, int& index) {
    DeckLock hold;
    const std::int32_t oldest = trackInfo_->oldestBeatIndex();
    const TrackBeat first = trackInfo_->record(oldest);
    const TrackBeat last = trackInfo_->lastBeat();
    if (sampleTime < first.position || sampleTime >= last.position + last.length) return false;
    index = trackInfo_->beatIndexAt(sampleTime);
    return true;
}

bool Velkarn::tryBeatAt(int index, TrackBeat& beat) {
    DeckLock hold;
    if (index < trackInfo_->oldestBeatIndex() || index > trackInfo_->lastBeat().index) return false;
    beat = trackInfo_->beatAt(index);
    return true;
}

void Velkarn::notifyMainWindow(int kind, int value) { mainWindow_->postToClient(kind, value); }
