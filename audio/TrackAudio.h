// One deck's renderer: a render thread turns the deck's songs into audio
// beat after beat, each at the grid's length, into two rings of `frames`
// frames ahead of playback; the output thread mixes each block out of the
// rings through anti-denormal noise, the deck's two filters and its
// effects, every parameter ramped across the block.
//
// Threads: renderNextBeat runs under lock 2 (the render thread takes it;
// the application holds it to re-render). mixInto runs on the output
// thread and takes only this deck's own short locks. Effect switches and
// the filter order may come from any thread. Nothing allocates after
// construction.
#ifndef VELKARN_AUDIO_TRACKAUDIO_H
#define VELKARN_AUDIO_TRACKAUDIO_H

#include "audio/FormatAudio.h"
#include "audio/SongRenderer.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class FIFO;
class Songs;
class TrackInfo;
class UnitDelay;
class UnitFilterButterworth32;
class UnitFlanger;
class UnitNoise;
class UnitReverbSteiglitzMC;

class TrackAudio {
public:
    static constexpr std::int32_t maximumBlock = 44100;

    // A format of other than two channels is a fatal stop. The delay holds
    // ceil(720 / minimumTempo) seconds.
    TrackAudio(std::int32_t frames, const FormatAudio& format, float minimumTempo, bool withFilters,
               bool withEffects, float crossfadeKnee);
    virtual ~TrackAudio();
    TrackAudio(const TrackAudio&) = delete;
    TrackAudio& operator=(const TrackAudio&) = delete;

    // Sets up rendering from deck beat baseBeat at sample time basePosition
    // (ring frame 0) and starts the render thread; nothing when running.
    // The rings keep what they hold: frames not yet rendered mix as silence.
    void startThread(Songs& songs, TrackInfo& trackInfo, std::int64_t basePosition, std::int32_t baseBeat);
    void stopThread();
    // The same set-up without a thread: the caller drives renderNextBeat.
    void startRendering(Songs& songs, TrackInfo& trackInfo, std::int64_t basePosition, std::int32_t baseBeat);
    bool running() const { return active_.load(std::memory_order_acquire); }

    // Renders the next beat; true when there is nothing to do (not running,
    // or the rings hold all they can). With reseat, a beat already rendered
    // first rewinds the render to it. Under lock 2.
    bool renderNextBeat(Songs& songs, TrackInfo& trackInfo, bool reseat, std::int32_t beat);

    // Adds count frames (<= 44100) for output sample time outputTime to
    // out[0], out[1]. Frames the renderer has not finished (at or after the
    // write position less half an overlap) mix as silence and count as
    // underrun.
    void mixInto(float* const* out, FIFO* tap, float gainFrom, float gainTo, float firstCutoffFrom,
                 float firstCutoffTo, float secondCutoffFrom, float secondCutoffTo, bool previousFilterMode,
                 bool filterMode, float effectFrom, float effectTo, float delayFrom, float delayTo,
                 float feedbackFrom, float feedbackTo, float flangerFrequencyFrom, float flangerFrequencyTo,
                 float flangerDepthFrom, float flangerDepthTo, float reverbFrom, float reverbTo,
                 std::int64_t outputTime, std::int32_t count);

    // Even orders only (else a fatal stop); each filter gets order / 2
    // stages. Without filters nothing happens.
    void setFilterOrder(std::int32_t order);
    void enableDelay();
    void enableFlanger();
    void enableReverb();
    void disableDelay();
    void disableFlanger();
    void disableReverb();
    void setOverlapMs(float overlapMs) { overlapMs_.store(overlapMs); }
    // The knee of the crossfade between overlapping songs, for the beats
    // rendered from now on.
    void setCrossfadeKnee(float knee) { crossfadeKnee_.store(knee, std::memory_order_relaxed); }
    float crossfadeKnee() const { return crossfadeKnee_.load(std::memory_order_relaxed); }
    // The sample time of ring frame 0, as set by the last start.
    std::int64_t basePosition() const { return basePosition_.load(std::memory_order_acquire); }
    // The deck beat the render takes next. Under lock 2.
    std::int32_t nextBeat() const { return baseBeat_ + nextBeat_; }
    void setTimeScaling(bool on) { timeScaling_.store(on); }

    // Frames rendered and not yet mixed: how far the render is ahead of
    // the output.
    std::int64_t framesAhead() const;
    std::int64_t underrunFrames() const { return underrunFrames_.load(); }
    std::int32_t overlapFrames() const;

private:
    void renderLoop();
    void processBlock(float* const* block, std::int32_t start, std::int32_t n, const float* from, const float* to,
                      bool filterMode);

    std::int32_t frames_;
    FormatAudio format_;
    std::atomic<float> crossfadeKnee_;
    float* rings_[4];  // main left, main right, overlap left, overlap right
    float* block_[2];
    float* scratch_[2];
    std::atomic<std::int64_t> readPosition_{0};
    std::atomic<std::int64_t> writePosition_{0};
    std::atomic<std::int64_t> basePosition_{0};
    std::int32_t nextBeat_ = 0;
    std::int32_t baseBeat_ = 0;
    Songs* songs_ = nullptr;
    TrackInfo* trackInfo_ = nullptr;
    platform::Thread thread_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> active_{false};
    bool threadRunning_ = false;
    std::unique_ptr<UnitNoise> noise_;
    std::unique_ptr<UnitFilterButterworth32> lowPass_, highPass_;
    std::unique_ptr<UnitDelay> delay_;
    std::unique_ptr<UnitFlanger> flanger_;
    std::unique_ptr<UnitReverbSteiglitzMC> reverb_;
    bool delayOn_ = false, flangerOn_ = false, reverbOn_ = false;
    std::atomic<float> overlapMs_{10.0f};
    std::atomic<bool> timeScaling_{false};
    std::atomic<std::int64_t> underrunFrames_{0};
    std::mutex effectsLock_;
    std::mutex positionLock_;
};

#endif
