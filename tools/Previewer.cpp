#include "tools/Previewer.h"

#include "audio/AlignedFloats.h"
#include "audio/AudioFileReader.h"
#include "audio/Beats.h"
#include "audio/FormatAudio.h"
#include "audio/SampleDisk.h"
#include "framework/GUIButton.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Window.h"
#include "platform/NativeWindow.h"
#include "primitives.h"
#include "tools/GUIBeatMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The reader serves blocks of up to one second.
constexpr float readerCacheSeconds = 1.0f;
constexpr std::int32_t primingFrames = 2048;
constexpr unsigned pointerPeriodMs = 50;

}  // namespace

void Previewer::RampRelease::operator()(float* block) const { releaseAligned(block); }

Previewer::Previewer(void* instance, int showCommand, const std::string& path) {
    auto beatMap = std::make_unique<GUIBeatMap>(15, 15, 770, 250, samplesPerValue, this);
    auto markerMap =
        std::make_unique<GUIMarkerMap>(10, 10, 780, 260, 5, samplesPerValue, "beatMapper/marker/square7", this);

    std::unique_ptr<Beats> beats;
    BTSettings settings;
    SongTags tags;
    bool hasTags = false;
    OwnedPoints points;  // the envelope's arrays, freed unless the map takes them
    bool hasPoints = false;
    try {
        try {
            SongFileOutputs outputs;
            outputs.beats = &beats;
            outputs.records.settings = &settings;
            outputs.records.tags = &tags;
            outputs.records.hasTags = &hasTags;
            outputs.records.points = &points.record;
            outputs.records.hasPoints = &hasPoints;
            reader_ = SampleDisk::open(path, true, false, readerCacheSeconds, outputs);
        } catch (const StringException& error) {
            logMessage(error.message(), __FILE__, __LINE__);
            throw StringException("Could not load song.");
        }
        if (!beats) {
            reader_.reset();
            throw StringException("No beat information present.");
        }
        // An envelope of another resolution would not line up with the map.
        if (!hasPoints || points.record.samplesPerLevel != samplesPerValue || points.record.levelCount <= 0) {
            reader_.reset();
            throw StringException("No points available.");
        }
    } catch (const StringException& error) {
        throw StringException("Could not construct maps. " + error.message());
    }

    beatMap->setEnvelope(points.record.levelCount, points.record.levels);
    points.record.levels = nullptr;
    points.record.levelCount = 0;
    beats->dropNegativeBeats();
    beats->fillMarkerMap(*markerMap);
    beats.reset();
    tempo_ = settings.bpm;
    beatsPerRow_ = settings.strip[1];

    ramp_.reset(allocateFloats(maximumBlock));
    wheelLines_ = platform::wheelScrollLines();

    WindowParameters parameters;
    parameters.instance = instance;
    parameters.showCommand = showCommand;
    parameters.backgroundKey = "previewer/background/main";
    parameters.title = "Previewer";
    parameters.client = this;
    window_ = std::make_unique<Window>(parameters);
    beatMap_ = beatMap.get();
    window_->add(beatMap.release());
    markerMap_ = markerMap.get();
    window_->add(markerMap.release());
    stopButton_ = new GUIButton(29, 294, "beatMapper/button/stopPlaying", this, 0, false);
    window_->add(stopButton_);
    slider_ = new GUISliderHorizontal(104, 300, 106, 26, "slider/round20", 0.5f, 0.0f, 1.0f, true, this);
    window_->add(slider_);

    drawMaps();
    if (hasTags) {
        char name[2 * songTextSize + 8];
        std::snprintf(name, sizeof name, "[%s | %s]", tags.title, tags.artist);
        window_->setFileName(name);
    }
    window_->redraw(GUIRectangle(0, 0, window_->width() - 1, window_->height() - 1));
    window_->present();
    window_->startTimer(pointerPeriodMs, this);
    seek(0);
}

Previewer::~Previewer() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = false;
    }
    if (window_) window_->stopTimer();
    window_.reset();
    reader_.reset();
}

void Previewer::drawMaps() {
    bool twoValuesPerColumn = false;
    beatMap_->refresh(1, scroll_, 0.0f, 1.0f, tempo_, beatsPerRow_, &twoValuesPerColumn);
    markerMap_->layout(1, scroll_, tempo_, beatsPerRow_, beatMap_->totalSamples(), twoValuesPerColumn);
}

void Previewer::seek(std::int32_t position) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = false;
        startPosition_ = static_cast<std::uint32_t>(std::max(position, 0));
        played_ = 0;
    }
    // Render reads only while playing, so the reader is the UI thread's here.
    reader_->read(std::max(position, 0), primingFrames, false);
    std::lock_guard<std::mutex> hold(lock_);
    playing_ = true;
}

void Previewer::render(Motor* /*device*/, float** channels, std::int32_t frames) {
    frames = std::clamp(frames, 0, maximumBlock);
    const float previous = volume_;
    const float next = sliderVolume_.load(std::memory_order_relaxed);
    volume_ = next;

    std::lock_guard<std::mutex> hold(lock_);
    if (!playing_ || frames == 0) {
        reportPrimitiveError(zaviZero_32f(channels[0], frames), __FILE__, __LINE__);
        reportPrimitiveError(zaviZero_32f(channels[1], frames), __FILE__, __LINE__);
        return;
    }
    const auto position = static_cast<std::int32_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(startPosition_) + played_, static_cast<std::uint64_t>(INT32_MAX)));
    float** samples = reader_->read(position, frames, true);
    const bool mono = reader_->format()->channels < 2;
    reportPrimitiveError(zaviVectorRamp_32f(ramp_.get(), frames, previous, (next - previous) / static_cast<float>(frames)),
                         __FILE__, __LINE__);
    reportPrimitiveError(zaviMul_32f(ramp_.get(), samples[0], channels[0], frames), __FILE__, __LINE__);
    reportPrimitiveError(zaviMul_32f(ramp_.get(), samples[mono ? 0 : 1], channels[1], frames), __FILE__, __LINE__);
    played_ += static_cast<std::uint32_t>(frames);
}

bool Previewer::isPlaying() {
    std::lock_guard<std::mutex> hold(lock_);
    return playing_;
}

std::int64_t Previewer::playPosition() {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<std::int64_t>(startPosition_) + played_;
}

void Previewer::windowTimer(Window* /*window*/) {
    bool playing = false;
    std::int64_t position = 0;
    {
        std::lock_guard<std::mutex> hold(lock_);
        playing = playing_;
        position = static_cast<std::int64_t>(startPosition_) + played_;
    }
    if (playing && position <= beatMap_->totalSamples()) {
        markerMap_->showPointer();
        markerMap_->setPointerPosition(static_cast<int>(position));
        return;
    }
    if (playing) {
        std::lock_guard<std::mutex> hold(lock_);
        playing_ = false;
    }
    markerMap_->hidePointer();
}

void Previewer::beatMapWheel(GUIBeatMap* /*map*/, int notches) {
    if (tempo_ <= 0.0f || beatsPerRow_ <= 0) return;
    const std::int64_t samplesPerRow =
        static_cast<std::int64_t>(beatsPerRow_) * static_cast<std::int64_t>(2646000.0f / tempo_ + 0.5f);
    if (samplesPerRow <= 0) return;
    const std::int64_t rows = (reader_->length() + samplesPerRow - 1) / samplesPerRow;
    const std::int64_t hiddenRows = rows - beatMap_->height;
    const float step = hiddenRows > 0 ? 1.0f / static_cast<float>(hiddenRows) : 0.0f;
    scroll_ = std::clamp(scroll_ - step * static_cast<float>(wheelLines_) * static_cast<float>(notches), 0.0f, 1.0f);
    drawMaps();
}

void Previewer::markerClicked(GUIMarkerMap* /*map*/, int position) { seek(position); }

void Previewer::markerEdited(GUIMarkerMap* /*map*/, int /*position*/) { fatalError("uh?", __FILE__, __LINE__); }

void Previewer::buttonPressed(GUIButton* button) {
    if (button != stopButton_) return;
    std::lock_guard<std::mutex> hold(lock_);
    playing_ = false;
}

void Previewer::sliderChanged(GUISlider* /*slider*/, float value) {
    sliderVolume_.store(value, std::memory_order_relaxed);
}
