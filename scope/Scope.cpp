#include "scope/Scope.h"

#include "audio/DFT.h"
#include "audio/Motor.h"
#include "framework/GUIButton.h"
#include "framework/GUIGraph.h"
#include "framework/GUIGrid.h"
#include "framework/GUIIndicator.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/ResponseCurves.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "scope/GUINote.h"
#include "scope/ScopeTap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr const char* digitsKey = "scope/font/arial13grey/";
constexpr const char* sliderKey = "scope/slider/generic";
// Slider changes redraw at most this often.
constexpr std::uint64_t sliderUpdateSpacingMs = 101;

// The number sliders: slider, gap and number widths, height.
constexpr int sliderWidth = 189;
constexpr int sliderGap = 43;
constexpr int numberWidth = 50;
constexpr int sliderHeight = 22;

double wrapInto(double position, int ringSize) {
    const double ring = static_cast<double>(ringSize);
    position = std::fmod(position, ring);
    if (position < 0.0) position += ring;
    // fmod of a value just below a multiple may round up to the ring.
    return position >= ring ? 0.0 : position;
}

}  // namespace

Scope::Scope(void* instance, int showCommand, const FormatAudio& format, Motor* device,
             ApplicationInterface* application)
    : application_(application), format_(format), sampleRate_(format.sampleRate),
      channelCount_(format.channels), nyquist_(static_cast<float>(format.sampleRate) * 0.5f),
      settings_(static_cast<float>(format.sampleRate) * 0.5f) {
    // The record's own load cuts the frequencies to Nyquist and the time
    // span to 1000 ms, and mends values that cannot be used.
    settings_.load(nyquist_);

    tap_ = std::make_unique<ScopeTap>(sampleRate_);
    signal_ = std::make_unique<float[]>(static_cast<std::size_t>(sampleRate_));
    magnitude_ = std::make_unique<float[]>(static_cast<std::size_t>(sampleRate_));
    analyser_ = std::make_unique<DFT>(sampleRate_, 1024, true);

    buildGraphWindow(instance, showCommand);
    buildControlWindow(instance, showCommand);

    runningOn_.store(ScopeStartUpValues::isOn(settings_.run), std::memory_order_relaxed);
    triggered_ = ScopeStartUpValues::isOn(settings_.trigger);
    spectrumMode_ = ScopeStartUpValues::isOn(settings_.spectrumMode);
    running_->setState(true, isRunning());
    triggerLost_->setState(triggered_, false);
    frequency_->setState(true, spectrumMode_);
    if (spectrumMode_ && labelMaxButton_->isDown()) showFrequencyReadOuts(true);
    for (GUINumberSlider* slider :
         {timeSpan_, gain_, triggerLevel_, refreshInterval_, lowFrequency_, highFrequency_}) {
        slider->notifyListener();
    }

    // Attached to the device it was given; the destructor leaves whichever
    // device it is attached to by then.
    if (device != nullptr) {
        device_.store(device, std::memory_order_release);
        device->addSink(this);
    }
}

Scope::~Scope() {
    if (Motor* device = device_.exchange(nullptr, std::memory_order_acq_rel)) device->removeSink(this);
    // The components go with their windows.
    controlWindow_.reset();
    graphWindow_.reset();
}

void Scope::buildGraphWindow(void* instance, int showCommand) {
    WindowParameters p;
    p.instance = instance;
    p.showCommand = showCommand;
    p.backgroundKey = "scope/background/graph";
    p.title = "Scope - Graph";
    p.client = this;
    p.topmost = true;
    p.yOffset = -100;
    graphWindow_ = std::make_unique<Window>(p);
    width_ = graphWindow_->width();
    height_ = graphWindow_->height();
    spanAtOneSamplePerColumn_ = static_cast<float>(width_) * 1000.0f / static_cast<float>(sampleRate_);
    minima_ = std::make_unique<float[]>(static_cast<std::size_t>(width_));
    maxima_ = std::make_unique<float[]>(static_cast<std::size_t>(width_));

    coarseGrid_ = new GUIGrid(0, 0, width_, height_);
    graphWindow_->add(coarseGrid_);
    fineGrid_ = new GUIGrid(0, 0, width_, height_);
    graphWindow_->add(fineGrid_);
    layOutGridsForScope();
    graph_ = new GUIGraph(0, 0, width_, height_, -1.0f, 1.0f, this);
    graphWindow_->add(graph_);
    graph_->setColumns(minima_.get(), maxima_.get(), false, 0, 0);

    running_ = new GUIIndicator(340, 15, "scope/indicator/running");
    graphWindow_->add(running_);
    triggerLost_ = new GUIIndicator(280, 15, "scope/indicator/triggerLost");
    graphWindow_->add(triggerLost_);
    frequency_ = new GUIIndicator(10, 15, "scope/indicator/frequency");
    graphWindow_->add(frequency_);
    xReadOut_ = new GUINumberHorizontal(45, 20, 50, 40, digitsKey, 0, nullptr);
    graphWindow_->add(xReadOut_);
    yReadOut_ = new GUINumberHorizontal(45, 2, 50, 40, digitsKey, 0, nullptr);
    graphWindow_->add(yReadOut_);
    noteReadOut_ = new GUINote(90, 33, digitsKey, true);
    graphWindow_->add(noteReadOut_);
    frequencyReadOut_ = new GUINumberHorizontal(45, 20, 50, 40, digitsKey, 0, nullptr);
    graphWindow_->add(frequencyReadOut_);
    for (GUIComponent* readOut : std::initializer_list<GUIComponent*>{xReadOut_, yReadOut_, noteReadOut_,
                                                                     frequencyReadOut_}) {
        readOut->hide();
    }
}

void Scope::buildControlWindow(void* instance, int showCommand) {
    WindowParameters p;
    p.instance = instance;
    p.showCommand = showCommand;
    p.backgroundKey = "scope/background/control";
    p.title = "Scope - Control";
    p.client = this;
    p.yOffset = 100;
    controlWindow_ = std::make_unique<Window>(p);
    Window& window = *controlWindow_;

    runButton_ = new GUIButton(324, 20, "scope/button/run", this, 1, ScopeStartUpValues::isOn(settings_.run));
    window.add(runButton_);
    triggerButton_ =
        new GUIButton(339, 60, "scope/button/trigger", this, 1, ScopeStartUpValues::isOn(settings_.trigger));
    window.add(triggerButton_);
    frequencyButton_ = new GUIButton(324, 101, "scope/button/frequency", this, 1,
                                     ScopeStartUpValues::isOn(settings_.spectrumMode));
    window.add(frequencyButton_);

    auto numberSlider = [this](int x, int y, float value, float minimum, float maximum, bool linear) {
        return new GUINumberSlider(x, y, sliderWidth, sliderGap, numberWidth, sliderHeight, sliderKey, digitsKey, 0,
                                   value, minimum, maximum, linear, this);
    };
    panelGroup_ = new GUIPanelGroupHorizontal(4, 25, nullptr);
    window.add(panelGroup_);

    auto* control = new GUIPanel(8, 8, "scope/panelGroup/control", true);
    panelGroup_->add(control);
    timeSpan_ = numberSlider(19, 39, settings_.timeSpanMs, 1.0f, 1000.0f, false);
    control->add(timeSpan_);
    gain_ = numberSlider(19, 65, settings_.gainPercent, 10.0f, 500.0f, true);
    control->add(gain_);
    triggerLevel_ = numberSlider(19, 91, settings_.triggerLevelPercent, 0.0f, 100.0f, true);
    control->add(triggerLevel_);
    refreshInterval_ = numberSlider(19, 117, settings_.refreshIntervalMs, 10.0f, 1000.0f, false);
    control->add(refreshInterval_);

    auto* spectrum = new GUIPanel(8, 8, "scope/panelGroup/spectrum", true);
    panelGroup_->add(spectrum);
    lowFrequency_ = numberSlider(19, 50, settings_.lowFrequency, 0.0f, nyquist_, false);
    spectrum->add(lowFrequency_);
    highFrequency_ = numberSlider(19, 76, settings_.highFrequency, 0.0f, nyquist_, false);
    spectrum->add(highFrequency_);
    logFreqScaleButton_ = new GUIButton(19, 105, "scope/button/logFreqScale", this, 1,
                                        ScopeStartUpValues::isOn(settings_.logFrequencyScale));
    spectrum->add(logFreqScaleButton_);
    labelMaxButton_ =
        new GUIButton(215, 105, "scope/button/labelMax", this, 1, ScopeStartUpValues::isOn(settings_.labelMax));
    spectrum->add(labelMaxButton_);

    auto* startUp = new GUIPanel(8, 8, "scope/panelGroup/startUp", true);
    panelGroup_->add(startUp);
    startUpButton_ = new GUIButton(61, 71, "scope/button/startUp", this, 0, false);
    startUp->add(startUpButton_);

    auto* about = new GUIPanel(8, 8, "scope/panelGroup/about", true);
    panelGroup_->add(about);
    aboutButton_ = new GUIButton(123, 63, "button/pelgraveSoftware", this, 0, false);
    about->add(aboutButton_);
    window.redraw(GUIRectangle(0, 0, window.width() - 1, window.height() - 1));
    window.present();
}

// ---------------------------------------------------------------------------
// Windows, mouse and controls

bool Scope::canClose(Window* /*window*/) {
    // No owner window: the message loop's close route ends the scope.
    return true;
}

void Scope::painted(Window* window) {
    if (window != graphWindow_.get()) return;
    if (tap_->takeRepaintPending()) update();
}

void Scope::graphMouseMove(GUIGraph* /*graph*/, int column, int row, float /*valueA*/, float /*valueB*/) {
    const bool labelMax = labelMaxButton_->isDown();
    if (spectrumMode_ && labelMax) return;
    const float f = static_cast<float>(column) / static_cast<float>(width_);
    const float rowFraction = static_cast<float>(row) / static_cast<float>(height_);
    if (spectrumMode_) {
        const float low = lowFrequency_->value() / nyquist_;
        const float high = highFrequency_->value() / nyquist_;
        const float fraction = logFreqScaleButton_->isDown() ? interpolateOnLogScale(f, low, high)
                                                             : low + (high - low) * f;
        xReadOut_->setValue(fraction * nyquist_);
        yReadOut_->setValue(rowFraction * -90.0f);
    } else {
        xReadOut_->setValue(timeSpan_->value() * f);
        yReadOut_->setValue(100.0f - rowFraction * 200.0f);
    }
    xReadOut_->show();
    yReadOut_->show();
}

void Scope::graphMouseLeave(GUIGraph* /*graph*/) {
    xReadOut_->hide();
    yReadOut_->hide();
}

void Scope::showFrequencyReadOuts(bool shown) {
    if (shown) {
        noteReadOut_->show();
        frequencyReadOut_->show();
    } else {
        noteReadOut_->hide();
        frequencyReadOut_->hide();
    }
}

void Scope::buttonPressed(GUIButton* button) {
    if (button == runButton_) {
        runningOn_.store(true, std::memory_order_relaxed);
        running_->setState(true, true);
        update();
    } else if (button == triggerButton_) {
        triggered_ = true;
        triggerLost_->setState(true, triggerLost_->isOn());
        update();
    } else if (button == frequencyButton_) {
        spectrumMode_ = true;
        frequency_->setState(true, true);
        if (labelMaxButton_->isDown()) showFrequencyReadOuts(true);
        update();
    } else if (button == logFreqScaleButton_) {
        if (spectrumMode_) update();
    } else if (button == labelMaxButton_) {
        if (spectrumMode_) {
            showFrequencyReadOuts(true);
            update();
        }
    } else if (button == startUpButton_) {
        saveStartUpValues();
    } else if (button == aboutButton_) {
        openUrl(velkarnHomePage);
        aboutButton_->setUp();
    }
}

void Scope::buttonReleased(GUIButton* button) {
    if (button == runButton_) {
        runningOn_.store(false, std::memory_order_relaxed);
        running_->setState(true, false);
    } else if (button == triggerButton_) {
        triggered_ = false;
        triggerLost_->setState(false, triggerLost_->isOn());
    } else if (button == frequencyButton_) {
        spectrumMode_ = false;
        frequency_->setState(true, false);
        showFrequencyReadOuts(false);
        update();
    } else if (button == logFreqScaleButton_) {
        if (spectrumMode_) update();
    } else if (button == labelMaxButton_) {
        if (spectrumMode_) {
            showFrequencyReadOuts(false);
            update();
        }
    }
}

void Scope::sliderChanged(GUISlider* slider, float value) {
    const auto* changed = static_cast<const GUIComponent*>(slider);
    bool redraws = false;
    if (changed == lowFrequency_) {
        if (value > highFrequency_->value()) highFrequency_->setValue(value);
        redraws = spectrumMode_;
    } else if (changed == highFrequency_) {
        if (value < lowFrequency_->value()) lowFrequency_->setValue(value);
        redraws = spectrumMode_;
    } else if (changed == timeSpan_) {
        redraws = true;
    } else if (changed == gain_) {
        gainPercent_.store(value, std::memory_order_relaxed);
    } else if (changed == refreshInterval_) {
        refreshIntervalMs_.store(value, std::memory_order_relaxed);
    }
    if (!redraws) return;
    const std::uint64_t now = currentTimeMs();
    if (sliderUpdated_ && now - lastSliderUpdateMs_ < sliderUpdateSpacingMs) return;
    sliderUpdated_ = true;
    lastSliderUpdateMs_ = now;
    update();
}

void Scope::saveStartUpValues() {
    const auto flag = [](bool on) { return on ? 1.0f : 0.0f; };
    settings_.run = flag(runButton_->isDown());
    settings_.trigger = flag(triggerButton_->isDown());
    settings_.spectrumMode = flag(frequencyButton_->isDown());
    settings_.timeSpanMs = timeSpan_->value();
    settings_.gainPercent = gain_->value();
    settings_.triggerLevelPercent = triggerLevel_->value();
    settings_.refreshIntervalMs = refreshInterval_->value();
    settings_.lowFrequency = lowFrequency_->value();
    settings_.highFrequency = highFrequency_->value();
    settings_.logFrequencyScale = flag(logFreqScaleButton_->isDown());
    settings_.labelMax = flag(labelMaxButton_->isDown());
    settings_.save();
}

// ---------------------------------------------------------------------------
// The output tap

void Scope::process(Motor* /*device*/, const float* const* channels, std::int32_t frames) {
    if (!runningOn_.load(std::memory_order_relaxed) || channelCount_ <= 0) return;
    const bool paint = tap_->write(channels, channelCount_, frames, gainPercent_.load(std::memory_order_relaxed),
                                   refreshIntervalMs_.load(std::memory_order_relaxed));
    if (paint && graphWindow_ != nullptr) platform::requestPaint(graphWindow_->handle());
}

void Scope::detached(Motor* device) {
    Motor* expected = device;
    device_.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

void Scope::attach(Motor* device) {
    // The one who hands the device over also registers the sink with it.
    device_.store(device, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Drawing

float Scope::samplesPerColumn() const { return timeSpan_->value() / spanAtOneSamplePerColumn_; }

void Scope::layOutGridsForScope() {
    coarseGrid_->configure(0, 0, 1, 1, 0.1f, 0.125f, 1, 1, 0, 0, 1, 1, false, false);
    fineGrid_->configure(0, 0, 1, 1, 0.01f, 0.125f, 0, 0, 0, 0, 1, 1, false, false);
}

void Scope::layOutGridsForSpectrum() {
    const float low = lowFrequency_->value();
    const float high = highFrequency_->value();
    const bool log = logFreqScaleButton_->isDown();
    coarseGrid_->configure(0, 0, nyquist_, 1, 1000, 0.125f, nyquist_, 1, low, 0, high, 1, log, false);
    fineGrid_->configure(0, 0, nyquist_, 1, 100, 0.125f, 1000, 0, low, 0, high, 1, log, false);
}

std::int32_t Scope::findTrigger(std::int32_t latestStart, float level) const {
    const std::int32_t ring = tap_->ringSize();
    std::int32_t second = static_cast<std::int32_t>(wrapInto(latestStart, ring));
    // Each step looks at one neighbouring pair; one ring of pairs at most.
    for (std::int32_t step = 0; step < ring; ++step) {
        const std::int32_t first = second == 0 ? ring - 1 : second - 1;
        if (signal_[static_cast<std::size_t>(first)] <= level && signal_[static_cast<std::size_t>(second)] > level) {
            return second;
        }
        second = first;
    }
    return -1;
}

void Scope::computeTraceColumns(double start, float s, int from, int count) {
    const int ring = tap_->ringSize();
    const int samples = std::max(1, static_cast<int>(s));
    for (int c = 0; c < count; ++c) {
        const double position = wrapInto(start + static_cast<double>(c) * static_cast<double>(s), ring);
        int index = static_cast<int>(position);
        const std::size_t column = static_cast<std::size_t>(from + c);
        if (s <= 1.0f) {
            minima_[column] = 0.0f;
            maxima_[column] = signal_[static_cast<std::size_t>(index)];
            continue;
        }
        float largest = 0.0f;
        for (int k = 0; k < samples; ++k) {
            largest = std::max(largest, magnitude_[static_cast<std::size_t>(index)]);
            if (++index == ring) index = 0;
        }
        maxima_[column] = largest;
        minima_[column] = -largest;
    }
}

void Scope::update() {
    ++updates_;
    const std::int32_t n = tap_->takeSamples(signal_.get(), magnitude_.get());
    const std::int32_t readPosition = tap_->readPosition();
    const int ring = tap_->ringSize();
    const float s = samplesPerColumn();
    const int shift = static_cast<int>(static_cast<float>(n) / s);
    const float low = lowFrequency_->value();
    const float high = highFrequency_->value();
    const bool logScale = logFreqScaleButton_->isDown();
    const bool labelMax = labelMaxButton_->isDown();

    if (!spectrumMode_ && lastSpectrumMode_) layOutGridsForScope();
    if (spectrumMode_ && (!lastSpectrumMode_ || low != lastLowFrequency_ || high != lastHighFrequency_ ||
                          logScale != lastLogScale_)) {
        layOutGridsForSpectrum();
        analyser_->mapColumnsToBins(width_ - 1, low / nyquist_, high / nyquist_, logScale);
    }
    lastSpectrumMode_ = spectrumMode_;
    lastLowFrequency_ = low;
    lastHighFrequency_ = high;
    lastLogScale_ = logScale;

    // Only the new columns when the time base stays and nothing else moves
    // the window; a shift of the whole graph or more recomputes everything.
    int kept = 0;
    if (!spectrumMode_ && s == lastSamplesPerColumn_ && !triggered_ && shift < width_) {
        kept = width_ - shift;
        std::memmove(minima_.get(), minima_.get() + shift, static_cast<std::size_t>(kept) * sizeof(float));
        std::memmove(maxima_.get(), maxima_.get() + shift, static_cast<std::size_t>(kept) * sizeof(float));
        ++incrementalUpdates_;
    }
    lastSamplesPerColumn_ = s;

    const double windowLength = static_cast<double>(width_) * static_cast<double>(s);
    double start = wrapInto(static_cast<double>(readPosition) - windowLength + static_cast<double>(s) * kept - 1.0,
                            ring);
    if (triggered_) {
        const float level = triggerLevel_->value() / 100.0f;
        const auto latest = static_cast<std::int32_t>(
            std::floor(wrapInto(static_cast<double>(readPosition) - windowLength + 1.0, ring)));
        const std::int32_t found = findTrigger(latest, level);
        triggerLost_->setState(true, found < 0);
        if (found >= 0) start = found;
    }
    lastWindowStart_ = start;

    highlightPeak_ = false;
    if (spectrumMode_) {
        const std::int32_t length = std::clamp(static_cast<std::int32_t>(windowLength), 1, ring);
        lastSpectrumLength_ = length;
        float peakFraction = 0.0f;
        std::int32_t peakLow = 0;
        std::int32_t peakHigh = 0;
        analyser_->spectrumColumns(signal_.get(), static_cast<std::int32_t>(start), length, ring, width_ - 1,
                                   low / nyquist_, high / nyquist_, logScale, maxima_.get(), labelMax, peakFraction,
                                   peakLow, peakHigh);
        std::fill(minima_.get(), minima_.get() + width_, -1.0f);
        if (labelMax) {
            lastPeakHz_ = peakFraction * nyquist_;
            noteReadOut_->setFrequency(lastPeakHz_);
            frequencyReadOut_->setValue(lastPeakHz_);
            highlightPeak_ = true;
            peakColumnLow_ = peakLow;
            peakColumnHigh_ = peakHigh;
        }
    } else {
        computeTraceColumns(start, s, kept, width_ - kept);
    }
    graph_->setColumns(minima_.get(), maxima_.get(), highlightPeak_, peakColumnLow_, peakColumnHigh_);
    graphWindow_->present();
}
