// The scope: the program's main output as an oscilloscope trace or as a
// spectrum, in two windows, "Scope - Graph" (kept on top) and "Scope -
// Control". As a sink of the output device it sums each block's channels
// into a one-second ring (ScopeTap) and asks the graph window for a paint
// once the refresh interval's worth has come; the paint takes the new
// samples and draws: the trace's columns (only the new ones while the time
// base stays), or the spectrum of the window with the loudest note named.
//
// Everything but process runs on the user-interface thread; process runs on
// the output device's thread and only writes the ring and asks for a paint.
#ifndef VELKARN_SCOPE_SCOPE_H
#define VELKARN_SCOPE_SCOPE_H

#include "app/ApplicationInterface.h"
#include "audio/AudioSink.h"
#include "audio/FormatAudio.h"
#include "framework/ButtonClient.h"
#include "framework/GUIGraphClient.h"
#include "framework/SliderClient.h"
#include "framework/WindowClient.h"
#include "scope/ScopeStartUpValues.h"

#include <atomic>
#include <cstdint>
#include <memory>

class DFT;
class GUIButton;
class GUIGraph;
class GUIGrid;
class GUIIndicator;
class GUINote;
class GUINumberHorizontal;
class GUINumberSlider;
class GUIPanelGroupHorizontal;
class Motor;
class ScopeTap;
class Window;

// What the about button opens.
inline constexpr const char* velkarnHomePage = "https://velkarn.invalid/";

class Scope : public WindowClient,
              public GUIGraphClient,
              public SliderClient,
              public ButtonClient,
              public AudioSink {
public:
    // Loads the settings, builds both windows and, when a device is given,
    // joins it as a sink. Without one the scope waits for attach.
    Scope(void* instance, int showCommand, const FormatAudio& format, Motor* device,
          ApplicationInterface* application);
    // Leaves the device it is attached to now, if any.
    ~Scope() override;

    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    Window* graphWindow() const { return graphWindow_.get(); }
    Window* controlWindow() const { return controlWindow_.get(); }
    Motor* device() const { return device_.load(std::memory_order_acquire); }

    // WindowClient
    bool canClose(Window* window) override;
    void painted(Window* window) override;

    // GUIGraphClient
    void graphMouseMove(GUIGraph* graph, int column, int row, float valueA, float valueB) override;
    void graphMouseLeave(GUIGraph* graph) override;

    // SliderClient
    void sliderChanged(GUISlider* slider, float value) override;

    // ButtonClient
    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;

    // AudioSink: the block goes into the ring while running.
    void process(Motor* device, const float* const* channels, std::int32_t frames) override;
    void detached(Motor* device) override;
    void attach(Motor* device) override;

    // Takes the new samples and redraws the graph (see the file comment).
    void update();
    // Writes the controls' values as the settings record.
    void saveStartUpValues();

    // The newest start of a rising crossing of `level` at or before
    // `latestStart`, walking back at most one ring: the index of the first
    // sample above the level whose predecessor is at or below it; -1 when
    // there is none.
    std::int32_t findTrigger(std::int32_t latestStart, float level) const;

    // For tests: the controls and what the drawing works on.
    GUIGraph* graph() const { return graph_; }
    GUIGrid* coarseGrid() const { return coarseGrid_; }
    GUIGrid* fineGrid() const { return fineGrid_; }
    GUIIndicator* runningIndicator() const { return running_; }
    GUIIndicator* triggerLostIndicator() const { return triggerLost_; }
    GUIIndicator* frequencyIndicator() const { return frequency_; }
    GUINumberHorizontal* xReadOut() const { return xReadOut_; }
    GUINumberHorizontal* yReadOut() const { return yReadOut_; }
    GUINote* noteReadOut() const { return noteReadOut_; }
    GUINumberHorizontal* frequencyReadOut() const { return frequencyReadOut_; }
    GUIButton* runButton() const { return runButton_; }
    GUIButton* triggerButton() const { return triggerButton_; }
    GUIButton* frequencyButton() const { return frequencyButton_; }
    GUIButton* logFreqScaleButton() const { return logFreqScaleButton_; }
    GUIButton* labelMaxButton() const { return labelMaxButton_; }
    GUIButton* startUpButton() const { return startUpButton_; }
    GUIButton* aboutButton() const { return aboutButton_; }
    GUINumberSlider* timeSpanSlider() const { return timeSpan_; }
    GUINumberSlider* gainSlider() const { return gain_; }
    GUINumberSlider* triggerLevelSlider() const { return triggerLevel_; }
    GUINumberSlider* refreshIntervalSlider() const { return refreshInterval_; }
    GUINumberSlider* lowFrequencySlider() const { return lowFrequency_; }
    GUINumberSlider* highFrequencySlider() const { return highFrequency_; }
    GUIPanelGroupHorizontal* panelGroup() const { return panelGroup_; }
    ScopeTap* tap() const { return tap_.get(); }
    const float* signal() const { return signal_.get(); }
    const float* columnMinima() const { return minima_.get(); }
    const float* columnMaxima() const { return maxima_.get(); }
    int columns() const { return width_; }
    int sampleRate() const { return sampleRate_; }
    float nyquist() const { return nyquist_; }
    // Samples per column at the current time span.
    float samplesPerColumn() const;
    bool isRunning() const { return runningOn_.load(std::memory_order_relaxed); }
    bool isTriggered() const { return triggered_; }
    bool isSpectrumMode() const { return spectrumMode_; }
    // How many times the display was updated, and how many of those
    // computed only the new columns.
    int updateCount() const { return updates_; }
    int incrementalUpdateCount() const { return incrementalUpdates_; }
    // Where the last update's window started in the ring, and the loudest
    // frequency it found (labelMax in spectrum mode).
    double lastWindowStart() const { return lastWindowStart_; }
    // The spectrum's block length at the last update, and its analyser.
    std::int32_t lastSpectrumLength() const { return lastSpectrumLength_; }
    const DFT* analyser() const { return analyser_.get(); }
    float lastPeakHz() const { return lastPeakHz_; }

private:
    void buildGraphWindow(void* instance, int showCommand);
    void buildControlWindow(void* instance, int showCommand);
    void layOutGridsForScope();
    void layOutGridsForSpectrum();
    void showFrequencyReadOuts(bool shown);
    void computeTraceColumns(double start, float s, int from, int count);

    ApplicationInterface* application_;
    FormatAudio format_;
    std::atomic<Motor*> device_{nullptr};
    int sampleRate_;
    int channelCount_;
    float nyquist_;
    ScopeStartUpValues settings_;

    std::unique_ptr<Window> graphWindow_;
    std::unique_ptr<Window> controlWindow_;
    // Components, owned by their windows.
    GUIGrid* coarseGrid_ = nullptr;
    GUIGrid* fineGrid_ = nullptr;
    GUIGraph* graph_ = nullptr;
    GUIIndicator* running_ = nullptr;
    GUIIndicator* triggerLost_ = nullptr;
    GUIIndicator* frequency_ = nullptr;
    GUINumberHorizontal* xReadOut_ = nullptr;
    GUINumberHorizontal* yReadOut_ = nullptr;
    GUINote* noteReadOut_ = nullptr;
    GUINumberHorizontal* frequencyReadOut_ = nullptr;
    GUIButton* runButton_ = nullptr;
    GUIButton* triggerButton_ = nullptr;
    GUIButton* frequencyButton_ = nullptr;
    GUIPanelGroupHorizontal* panelGroup_ = nullptr;
    GUINumberSlider* timeSpan_ = nullptr;
    GUINumberSlider* gain_ = nullptr;
    GUINumberSlider* triggerLevel_ = nullptr;
    GUINumberSlider* refreshInterval_ = nullptr;
    GUINumberSlider* lowFrequency_ = nullptr;
    GUINumberSlider* highFrequency_ = nullptr;
    GUIButton* logFreqScaleButton_ = nullptr;
    GUIButton* labelMaxButton_ = nullptr;
    GUIButton* startUpButton_ = nullptr;
    GUIButton* aboutButton_ = nullptr;

    // Read by the output thread.
    std::atomic<bool> runningOn_{true};
    std::atomic<float> gainPercent_{100.0f};
    std::atomic<float> refreshIntervalMs_{40.0f};

    bool triggered_ = false;
    bool spectrumMode_ = false;
    int width_ = 0;
    int height_ = 0;
    float spanAtOneSamplePerColumn_ = 0.0f;  // ms

    std::unique_ptr<ScopeTap> tap_;
    std::unique_ptr<float[]> signal_;
    std::unique_ptr<float[]> magnitude_;
    std::unique_ptr<DFT> analyser_;
    std::unique_ptr<float[]> minima_;
    std::unique_ptr<float[]> maxima_;

    float lastSamplesPerColumn_ = -1.0f;
    bool lastSpectrumMode_ = false;
    float lastLowFrequency_ = -1.0f;
    float lastHighFrequency_ = -1.0f;
    bool lastLogScale_ = false;
    std::uint64_t lastSliderUpdateMs_ = 0;
    bool sliderUpdated_ = false;
    int peakColumnLow_ = 0;
    int peakColumnHigh_ = 0;
    bool highlightPeak_ = false;

    int updates_ = 0;
    int incrementalUpdates_ = 0;
    double lastWindowStart_ = 0.0;
    std::int32_t lastSpectrumLength_ = 0;
    float lastPeakHz_ = 0.0f;
};

#endif
