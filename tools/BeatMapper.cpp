#include "tools/BeatMapper.h"

#include "audio/AlignedFloats.h"
#include "audio/AudioFileReader.h"
#include "audio/ID3Text.h"
#include "audio/ID3v2Tag.h"
#include "audio/MusicalKey.h"
#include "audio/SampleDisk.h"
#include "audio/UnitSample.h"
#include "framework/CriticalSections.h"
#include "framework/DialogProgress.h"
#include "framework/FileUtilities.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/NativeWindow.h"
#include "primitives.h"
#include "tools/GUIBeatMap.h"
#include "tools/GUIBeatMapData.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

constexpr Color black{0, 0, 0, 255};
constexpr int textHeight = 20;
// The reader serves blocks of up to two seconds: an analysis chunk of a
// song under two seconds is the whole song, and a block is up to one.
constexpr float readerCacheSeconds = 2.0f;
constexpr std::int32_t primingFrames = 2048;
constexpr int lockPlayback = 1;
constexpr const char* loadingTitle = "Loading Track";

// rounded(x): x + 0.5 truncated toward zero.
std::int64_t rounded(float x) { return static_cast<std::int64_t>(x + 0.5f); }

void copyText(char* target, const std::optional<std::string>& text) {
    if (!text) return;
    const std::size_t length = std::min(text->size(), static_cast<std::size_t>(songTextSize - 1));
    std::copy_n(text->data(), length, target);
    target[length] = '\0';
    trimBlanks(target);
}

BeatMapper::SongOpen& songOpener() {
    static BeatMapper::SongOpen open;
    return open;
}

}  // namespace

void BeatMapper::setSongOpen(SongOpen open) { songOpener() = std::move(open); }

BeatMapper::PlaybackLock::PlaybackLock() { enterCriticalSection(lockPlayback); }

BeatMapper::PlaybackLock::~PlaybackLock() { leaveCriticalSection(lockPlayback); }

std::unique_ptr<AudioFileReader> BeatMapper::openSongFile(const std::string& path, const SongFileOutputs& outputs) {
    return songOpener() ? songOpener()(path, true, false, readerCacheSeconds, outputs)
                        : SampleDisk::open(path, true, false, readerCacheSeconds, outputs);
}

void BeatMapper::FloatsRelease::operator()(float* block) const { releaseAligned(block); }

BeatMapper::BeatMapper(void* instance, int showCommand, const FormatAudio& format, ApplicationInterface* application,
                       const std::string& path)
    : application_(application) {
    if (application_ != nullptr) {
        minimumTempo_ = application_->minimumTempo();
        maximumTempo_ = application_->maximumTempo();
        standardTempo_ = application_->standardTempo();
    }
    WindowParameters parameters;
    parameters.instance = instance;
    parameters.showCommand = showCommand;
    parameters.backgroundKey = "beatMapper/background/main";
    parameters.title = "BeatMapper";
    parameters.client = this;
    window_ = std::make_unique<Window>(parameters);
    font_ = std::make_unique<Font>(1);
    createControls();

    try {
        metronome_ = std::make_unique<UnitSample>(format, "cowbell.wav", false, false);
    } catch (const StringException& error) {
        // Playback goes on without the click.
        logMessage("The metronome could not be loaded: " + error.message(), __FILE__, __LINE__);
    }
    beats_ = std::make_unique<Beats>(songRate);
    ramp_.reset(allocateFloats(maximumBlock));
    wheelLines_ = platform::wheelScrollLines();
    candidates_[0] = standardTempo_;
    refined_[0] = true;
    candidateCount_ = 1;

    for (GUISlider* slider : {static_cast<GUISlider*>(zoom_), static_cast<GUISlider*>(scroll_),
                              static_cast<GUISlider*>(mix_), static_cast<GUISlider*>(gain_),
                              static_cast<GUISlider*>(songVolume_), static_cast<GUISlider*>(clickVolume_),
                              static_cast<GUISlider*>(bpm_)}) {
        slider->notifyListener();
    }
    window_->setModified(false);
    window_->redraw(GUIRectangle(0, 0, window_->width() - 1, window_->height() - 1));
    window_->present();
    window_->startTimer(timerPeriodMs, this);
    if (!path.empty()) load(path, baseFileName(path));
}

BeatMapper::~BeatMapper() {
    stopPlayback();
    if (window_) window_->stopTimer();
    window_.reset();
    {
        PlaybackLock hold;
        song_.reset();
    }
}

GUITextHorizontal* BeatMapper::addText(int x, int y, int width, int height) {
    auto* text = new GUITextHorizontal(x, y, width, height, font_.get(), black, 0, nullptr);
    window_->add(text);
    return text;
}

void BeatMapper::createControls() {
    Window& window = *window_;
    auto add = [&window](auto* component) {
        window.add(component);
        return component;
    };
    zoom_ = add(new GUISliderVertical(30, 10, 26, 126, "slider/round20", 1.0f, 0.0f, 1.0f, true, this));
    scroll_ = add(new GUISliderVertical(65, 10, 26, 126, "slider/round20", 1.0f, 0.0f, 1.0f, true, this));
    mix_ = add(new GUISliderVertical(30, 150, 26, 126, "slider/round20", 0.0f, 0.0f, 1.0f, true, this));
    gain_ = add(new GUISliderVertical(65, 150, 26, 126, "slider/round20", 1.0f, 1.0f, 10.0f, true, this));
    beatMap_ = add(new GUIBeatMap(105, 15, 870, 250, samplesPerValue, this));
    markerMap_ = add(new GUIMarkerMap(100, 10, 880, 260, 5, samplesPerValue, "beatMapper/marker/square7", this));
    stopPlaying_ = add(new GUIButton(40, 294, "beatMapper/button/stopPlaying", this, GUIButton::momentary, false));
    dumpImage_ = add(new GUIButton(100, 294, "beatMapper/button/dumpImage", this, GUIButton::momentary, false));
    editMap_ = add(new GUIButton(160, 294, "beatMapper/button/editMap", nullptr, GUIButton::toggle, true));
    songVolume_ = add(new GUISliderHorizontal(286, 300, 106, 26, "slider/round20", 0.5f, 0.0f, 0.75f, true, this));
    clickVolume_ = add(new GUISliderHorizontal(396, 300, 106, 26, "slider/round20", 0.25f, 0.0f, 0.25f, true, this));
    bpm_ = add(new GUINumberSlider(578, 300, 156, 23, 70, 26, "beatMapper/slider/small", "scope/font/arial13grey/", 3,
                                   standardTempo_, minimumTempo_, maximumTempo_, true, this));
    cycleBpm_ = add(new GUIButton(851, 294, "beatMapper/button/cycleBPM", this, GUIButton::momentary, false));
    estimateBpm_ = add(new GUIButton(911, 294, "beatMapper/button/estimateBPM", this, GUIButton::momentary, false));

    auto radioGroup = [&](std::unique_ptr<GUIButtonManager>& group, std::initializer_list<int> xs, int y,
                          std::initializer_list<const char*> keys, int down) {
        group = std::make_unique<GUIButtonManager>(this);
        auto key = keys.begin();
        int index = 0;
        for (int x : xs) {
            auto* button = add(new GUIButton(x, y, *key++, group.get(), GUIButton::latching, index == down));
            group->add(button);
            ++index;
        }
    };
    const auto numbers = {"button/numbers/1", "button/numbers/2", "button/numbers/3", "button/numbers/4"};
    radioGroup(beatGroup_, {99, 139, 179, 219}, 375, numbers, 0);
    radioGroup(barGroup_, {347, 387, 427, 467}, 375, numbers, 0);
    radioGroup(meterGroup_, {600, 640}, 375, {"button/numbers/3", "button/numbers/4"}, 1);
    usePng_ = add(new GUIButton(707, 370, "beatMapper/button/usePNG", this, GUIButton::toggle, false));
    keyText_ = addText(845, 378, 44, textHeight);
    setKey_ = add(new GUIButton(911, 371, "beatMapper/button/setKey", this, GUIButton::momentary, false));
    track_ = addText(87, 467, 230, textHeight);
    artist_ = addText(87, 504, 230, textHeight);
    album_ = addText(399, 467, 230, textHeight);
    label_ = addText(399, 504, 230, textHeight);
    comments_ = addText(730, 467, 230, textHeight);
    year_ = addText(730, 504, 50, textHeight);
    editId_ = add(new GUIButton(911, 498, "beatMapper/button/editID", this, GUIButton::momentary, false));
    load_ = add(new GUIButton(40, 569, "beatMapper/button/load", this, GUIButton::momentary, false));
    save_ = add(new GUIButton(126, 569, "beatMapper/button/save", this, GUIButton::momentary, false));
    clearMarkers_ =
        add(new GUIButton(422, 569, "beatMapper/button/clearMarkers", this, GUIButton::momentary, false));
    radioGroup(fileGroup_, {214, 254}, 572, {"button/numbers/1", "button/numbers/3"}, 0);
    split_ = add(new GUIButton(710, 569, "beatMapper/button/split", this, GUIButton::momentary, false));
    merge_ = add(new GUIButton(782, 569, "beatMapper/button/merge", this, GUIButton::momentary, false));
    convert_ = add(new GUIButton(854, 569, "beatMapper/button/convert", this, GUIButton::momentary, false));
    status_ = addText(30, 628, 945, textHeight);
}

// ---------------------------------------------------------------------------
// Playback

void BeatMapper::render(Motor* /*device*/, float** channels, std::int32_t frames) {
    renders_.fetch_add(1, std::memory_order_relaxed);
    frames = std::clamp(frames, 0, maximumBlock);
    const float songFrom = songGain_;
    const float clickFrom = clickGain_;
    const float songTo = songVolumeValue_.load(std::memory_order_relaxed);
    const float clickTo = clickVolumeValue_.load(std::memory_order_relaxed);
    songGain_ = songTo;
    clickGain_ = clickTo;

    PlaybackLock hold;
    if (!playing_ || song_ == nullptr || frames == 0) {
        reportPrimitiveError(zaviZero_32f(channels[0], frames), __FILE__, __LINE__);
        reportPrimitiveError(zaviZero_32f(channels[1], frames), __FILE__, __LINE__);
        return;
    }
    const std::int32_t position = playStart_ + played_;
    const std::int32_t first = beats_->findBeat(position);
    const std::int32_t last = beats_->findBeat(position + frames);
    if (first != last && metronome_ != nullptr) metronome_->triggerAfter((*beats_)[last].position - position);

    float** samples = song_->read(position, frames, true);
    const bool mono = song_->format()->channels < 2;
    reportPrimitiveError(zaviVectorRamp_32f(ramp_.get(), frames, songFrom, (songTo - songFrom) / static_cast<float>(frames)),
                         __FILE__, __LINE__);
    reportPrimitiveError(zaviMul_32f(ramp_.get(), samples[0], channels[0], frames), __FILE__, __LINE__);
    reportPrimitiveError(zaviMul_32f(ramp_.get(), samples[mono ? 0 : 1], channels[1], frames), __FILE__, __LINE__);
    played_ += frames;
    if (metronome_ != nullptr) metronome_->process(channels, frames, clickFrom, clickTo);
}

void BeatMapper::startPlayback(std::int32_t position) {
    if (song_ == nullptr) return;
    position = std::max(position, 0);
    {
        PlaybackLock hold;
        playing_ = false;
        playStart_ = position;
        played_ = 0;
    }
    PlaybackLock hold;
    song_->read(position, primingFrames, false);
    playing_ = true;
}

void BeatMapper::stopPlayback() {
    PlaybackLock hold;
    playing_ = false;
}

bool BeatMapper::isPlaying() {
    PlaybackLock hold;
    return playing_;
}

std::int64_t BeatMapper::playPosition() {
    PlaybackLock hold;
    return static_cast<std::int64_t>(playStart_) + played_;
}

void BeatMapper::windowTimer(Window* /*window*/) {
    bool playing = false;
    std::int64_t position = 0;
    {
        PlaybackLock hold;
        playing = playing_;
        position = static_cast<std::int64_t>(playStart_) + played_;
    }
    if (playing && beatMap_->totalSamples() >= position) {
        markerMap_->showPointer();
        markerMap_->setPointerPosition(static_cast<int>(position));
        return;
    }
    if (playing) stopPlayback();
    markerMap_->hidePointer();
}

// ---------------------------------------------------------------------------
// The view

int BeatMapper::beatsPerBar() const { return meterGroup_->selectedIndex() + 3; }

float BeatMapper::tempo() const { return bpm_->value(); }

void BeatMapper::refreshView() {
    const auto rowHeight = static_cast<std::int32_t>((1.0f - zoom_->value()) * 19.0f + 1.0f);
    const float scroll = 1.0f - scroll_->value();
    const float bpm = tempo();
    const int beatsPerRow = beatsPerBar();
    bool twoValuesPerColumn = false;
    beatMap_->refresh(rowHeight, scroll, mix_->value(), gain_->value(), bpm, beatsPerRow, &twoValuesPerColumn);
    markerMap_->layout(rowHeight, scroll, bpm, beatsPerRow, beatMap_->totalSamples(), twoValuesPerColumn);
}

void BeatMapper::editedAndRefreshed() {
    refreshView();
    window_->setModified(true);
}

void BeatMapper::beatMapWheel(GUIBeatMap* /*map*/, int notches) {
    const float bpm = tempo();
    if (bpm <= 0.0f) return;
    const std::int64_t samplesPerRow = static_cast<std::int64_t>(beatsPerBar()) * rounded(2646000.0f / bpm);
    if (samplesPerRow <= 0) return;
    const std::int64_t length = song_ != nullptr ? song_->length() : 0;
    const std::int64_t rows = length / samplesPerRow + (length % samplesPerRow != 0 ? 1 : 0);
    const auto rowHeight = static_cast<std::int64_t>((1.0f - zoom_->value()) * 19.0f + 1.0f);
    const std::int64_t hiddenRows = rows - beatMap_->height / rowHeight;
    const float step = hiddenRows > 0 ? 1.0f / static_cast<float>(hiddenRows) : 0.0f;
    scroll_->setValue(scroll_->value() + static_cast<float>(notches) * static_cast<float>(wheelLines_) * step);
    refreshView();
}

// ---------------------------------------------------------------------------
// Controls

bool BeatMapper::canClose(Window* /*window*/) { return song_ == nullptr || window_->confirmDiscard(); }

bool BeatMapper::isEdited() const { return window_->isModified(); }

void BeatMapper::setEdited(bool edited) { window_->setModified(edited); }

void BeatMapper::sliderChanged(GUISlider* slider, float value) {
    if (slider == songVolume_) {
        songVolumeValue_.store(value, std::memory_order_relaxed);
    } else if (slider == clickVolume_) {
        clickVolumeValue_.store(value, std::memory_order_relaxed);
    } else if (slider == bpm_) {
        rebuildBeats();
        editedAndRefreshed();
    } else {
        refreshView();
    }
}

void BeatMapper::buttonPressed(GUIButton* button) {
    stopPlayback();
    if (button == estimateBpm_ || button == cycleBpm_) {
        showWaitCursor();
        if (button == estimateBpm_) {
            estimateTempo();
        } else {
            cycleTempo();
        }
        rebuildBeats();
        editedAndRefreshed();
    } else if (button == clearMarkers_) {
        clearMarkers();
        editedAndRefreshed();
    } else if (button == save_) {
        showWaitCursor();
        save();
        save_->setUp();
    } else if (button == usePng_) {
        usePngPressed();
    } else if (button == dumpImage_) {
        dumpImage();
    } else if (button == editId_) {
        editId();
    } else if (button == setKey_) {
        setKey();
    } else if (button == load_) {
        loadPressed();
    } else if (button == split_ || button == merge_ || button == convert_) {
        startWalk(button == split_ ? Walk::Split : button == merge_ ? Walk::Merge : Walk::Convert);
        button->setUp();
    }
}

void BeatMapper::buttonReleased(GUIButton* button) {
    if (button == usePng_) window_->setModified(true);
}

void BeatMapper::groupButtonPressed(GUIButtonManager* group, int /*index*/) {
    if (group == meterGroup_.get()) refreshView();
    if (group != fileGroup_.get()) window_->setModified(true);
}

bool BeatMapper::isEditable(GUIMarkerMap* /*map*/) { return editMap_->isDown(); }

void BeatMapper::markerEdited(GUIMarkerMap* /*map*/, int position) {
    rebuildBeats();
    startPlayback(position);
    editedAndRefreshed();
}

void BeatMapper::markerClicked(GUIMarkerMap* /*map*/, int position) { startPlayback(position); }

// ---------------------------------------------------------------------------
// Loading

void BeatMapper::loadPressed() {
    if (song_ == nullptr || window_->confirmDiscard()) {
        std::string path;
        std::string title;
        if (chooseFileToOpen("Audio Files", "wav", "mp3", isWmaAvailable() ? "wma" : nullptr, window_->handle(), path,
                             title, true)) {
            load(path, title);
        }
    }
    load_->setUp();
}

void BeatMapper::run(DialogProgress* dialog, const std::string& title) {
    if (title == loadingTitle) {
        analysed_ = analysing_ != nullptr && beatMap_->analyse(analysing_, dialog);
    } else if (title == "Splitting Tracks") {
        runWalk(dialog, Walk::Split);
    } else if (title == "Merging Tracks") {
        runWalk(dialog, Walk::Merge);
    } else if (title == "Converting Tracks") {
        runWalk(dialog, Walk::Convert);
    }
}

bool BeatMapper::load(const std::string& path, const std::string& title) {
    stopPlayback();
    if (!canOpenExclusively(path)) {
        showMessage("Cannot Load", "The file is in use (maybe playing), so you cannot beat-map it.");
        load_->setUp();
        return false;
    }
    showWaitCursor();

    std::unique_ptr<Beats> beats;
    SongRecords records;
    std::uint8_t id3v1[128] = {};
    bool hasId3v1 = false;
    std::unique_ptr<ID3v2Tag> id3v2;
    bool hasId3v2 = false;
    ID3Text wmaTags;
    bool hasWmaTags = false;
    std::unique_ptr<AudioFileReader> reader;
    try {
        SongFileOutputs outputs;
        outputs.beats = &beats;
        outputs.records = records.targets();
        outputs.id3v1 = id3v1;
        outputs.hasId3v1 = &hasId3v1;
        outputs.id3v2 = &id3v2;
        outputs.hasId3v2 = &hasId3v2;
        outputs.wmaTags = &wmaTags;
        outputs.hasWmaTags = &hasWmaTags;
        reader = openSongFile(path, outputs);
    } catch (const StringException& error) {
        showMessage("Could not load song.", error.message());
        load_->setUp();
        return false;
    }

    // Without identification texts in the meta-data, the song's own tags
    // stand in: its ID3v2 tag, else its ID3v1 block, else a WMA song's texts.
    SongTags& tags = records.tags;
    if (!records.hasTags) {
        if (hasId3v2 && id3v2 != nullptr) {
            tags.fromId3v2(*id3v2);
        } else if (hasId3v1) {
            tags.fromId3v1(id3v1);
        } else if (hasWmaTags) {
            copyText(tags.title, wmaTags.title);
            copyText(tags.artist, wmaTags.artist);
            copyText(tags.album, wmaTags.album);
            copyText(tags.comment, wmaTags.comment);
            copyText(tags.year, wmaTags.year);
        }
    }
    id3v2.reset();

    // An envelope at another resolution than the map's would not line up
    // with it: the song is analysed instead.
    PointsRecord& points = records.points;
    if (records.hasPoints && points.samplesPerLevel == samplesPerValue && points.levelCount > 0) {
        beatMap_->setEnvelope(points.levelCount, points.levels);
        points.levels = nullptr;
        points.levelCount = 0;
    } else {
        const std::unique_ptr<GUIBeatMapData> previous = beatMap_->saveData();
        analysing_ = reader.get();
        analysed_ = false;
        { DialogProgress progress(window_.get(), this, loadingTitle, &abort_, 0, 0); }
        analysing_ = nullptr;
        if (!analysed_) {
            beatMap_->restoreData(*previous);
            load_->setUp();
            return false;
        }
    }
    {
        PlaybackLock hold;
        song_ = std::move(reader);
    }

    songPath_ = path;
    status_->setText(path);
    window_->setFileName(title);
    window_->setModified(false);
    markerMap_->clear();

    const BTSettings& settings = records.settings;
    int beatsPerBar = settings.strip[1] == 3 ? 3 : 4;
    {
        PlaybackLock hold;
        if (beats) {
            beats_ = std::move(beats);
        } else {
            beats_->clear();
        }
    }
    if (beats_->count() > 0) {
        const std::int32_t first = beats_->firstSetBeat();
        beatGroup_->select(first % beatsPerBar);
        barGroup_->select((first / beatsPerBar) % 4);
        {
            PlaybackLock hold;
            beats_->dropNegativeBeats();
        }
        beats_->fillMarkerMap(*markerMap_);
    } else {
        beatGroup_->select(0);
        barGroup_->select(0);
    }
    refreshView();

    bpm_->setValue(settings.bpm);
    meterGroup_->select(beatsPerBar - 3);
    if (settings.strip3 != 0) {
        usePng_->setDown();
    } else {
        usePng_->setUp();
    }
    track_->setText(tags.title);
    artist_->setText(tags.artist);
    album_->setText(tags.album);
    label_->setText(records.label);
    comments_->setText(tags.comment);
    year_->setText(tags.year);
    keyText_->setText(records.key.isDefined() ? records.key.name() : "");

    if (beats_->count() == 0) estimateTempo();
    scroll_->setValue(1.0f);
    refreshView();
    load_->setUp();
    return true;
}
