#include "audio/TrackAudio.h"

#include "audio/AlignedFloats.h"
#include "audio/FIFO.h"
#include "audio/Songs.h"
#include "audio/TrackInfo.h"
#include "audio/UnitDelay.h"
#include "audio/UnitFilterButterworth32.h"
#include "audio/UnitFlanger.h"
#include "audio/UnitNoise.h"
#include "audio/UnitReverbSteiglitzMC.h"
#include "framework/CriticalSections.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "primitives.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {
constexpr int decksLock = 2;
constexpr float noiseAmplitude = 0.000001f;
// Parameter slots of a block: each ramps from its first to its second value.
enum Parameter { firstCutoff, secondCutoff, effectLevel, delayTime, delayFeedback, flangerFrequency,
                 flangerDepth, reverbScale, parameterCount };
}  // namespace

TrackAudio::TrackAudio(std::int32_t frames, const FormatAudio& format, float minimumTempo, bool withFilters,
                       bool withEffects, float crossfadeKnee)
    : frames_(frames), format_(format), crossfadeKnee_(crossfadeKnee) {
    if (format.channels != 2) fatalError("TrackAudio does stereo only.", __FILE__, __LINE__);
    for (float*& ring : rings_) ring = allocateZeroedFloats(frames);
    for (int c = 0; c < 2; ++c) {
        block_[c] = allocateZeroedFloats(maximumBlock);
        scratch_[c] = allocateZeroedFloats(maximumBlock);
    }
    noise_ = std::make_unique<UnitNoise>(format, noiseAmplitude);
    if (withFilters) {
        lowPass_ = std::make_unique<UnitFilterButterworth32>(format, UnitFilterButterworth32::lowPass, 1);
        highPass_ = std::make_unique<UnitFilterButterworth32>(format, UnitFilterButterworth32::highPass, 1);
    }
    if (withEffects) {
        delay_ = std::make_unique<UnitDelay>(std::ceil(720.0f / minimumTempo), format);
        flanger_ = std::make_unique<UnitFlanger>(format);
        reverb_ = std::make_unique<UnitReverbSteiglitzMC>(format);
    }
}

TrackAudio::~TrackAudio() {
    stopThread();
    for (float* ring : rings_) releaseAligned(ring);
    for (int c = 0; c < 2; ++c) {
        releaseAligned(block_[c]);
        releaseAligned(scratch_[c]);
    }
}

void TrackAudio::startRendering(Songs& songs, TrackInfo& trackInfo, std::int64_t basePosition,
                                std::int32_t baseBeat) {
    if (active_.load()) return;
    songs_ = &songs;
    trackInfo_ = &trackInfo;
    basePosition_.store(basePosition);
    baseBeat_ = baseBeat;
    {
        std::lock_guard<std::mutex> lock(positionLock_);
        readPosition_.store(0);
    }
    writePosition_.store(0);
    nextBeat_ = 0;
    stopRequested_.store(false);
    active_.store(true, std::memory_order_release);
}

void TrackAudio::startThread(Songs& songs, TrackInfo& trackInfo, std::int64_t basePosition, std::int32_t baseBeat) {
    if (active_.load()) return;
    startRendering(songs, trackInfo, basePosition, baseBeat);
    if (!thread_.start([this] { renderLoop(); })) {
        fatalError("Could not create thread.", __FILE__, __LINE__);
    }
    threadRunning_ = true;
}

void TrackAudio::stopThread() {
    if (threadRunning_) {
        stopRequested_.store(true);
        thread_.join();
        threadRunning_ = false;
    }
    active_.store(false, std::memory_order_release);
}

void TrackAudio::renderLoop() {
    while (!stopRequested_.load()) {
        enterCriticalSection(decksLock);
        const bool idle = renderNextBeat(*songs_, *trackInfo_, false, 0);
        leaveCriticalSection(decksLock);
        if (idle) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::int32_t TrackAudio::overlapFrames() const {
    return static_cast<std::int32_t>(static_cast<float>(format_.sampleRate) * overlapMs_.load() * 0.001f + 0.5f);
}

std::int64_t TrackAudio::framesAhead() const { return writePosition_.load() - readPosition_.load(); }

bool TrackAudio::renderNextBeat(Songs& songs, TrackInfo& trackInfo, bool reseat, std::int32_t beat) {
    if (!active_.load(std::memory_order_acquire)) return true;
    std::int64_t read = 0;
    {
        std::lock_guard<std::mutex> lock(positionLock_);
        read = readPosition_.load();
    }
    const std::int32_t n = overlapFrames();
    const std::int64_t base = basePosition_.load();
    std::int64_t write = writePosition_.load();
    if (reseat) {
        const TrackBeat record = trackInfo.beatAt(beat);
        if (base + write > record.position) {
            write = record.position - base;
            writePosition_.store(write);
            nextBeat_ = beat - baseBeat_;
        }
    }
    if (write < 0) fatalError("Zeg mannekes!", __FILE__, __LINE__);
    const std::int64_t room = write >= read ? read + frames_ - write : frames_;
    const std::int32_t deckBeat = baseBeat_ + nextBeat_;
    const std::int32_t count = trackInfo.record(deckBeat).length;
    // The beat's fade-out runs n - n/2 frames past its end (one more than
    // n/2 when n is odd); none of it may reach the frame the output reads.
    if (room < static_cast<std::int64_t>(count) + (n - n / 2)) return true;
    const auto w = static_cast<std::int32_t>(write % frames_);
    const DeckRings rings{rings_[0], rings_[1], rings_[2], rings_[3], frames_};
    std::int32_t index = 0;
    if (songs.findSong(deckBeat, &index, nullptr, nullptr, nullptr)) {
        songs.song(index).renderBeat(deckBeat, rings, w, count, n, 2, timeScaling_.load(), crossfadeKnee_.load(std::memory_order_relaxed));
    } else {
        // No song: silence that keeps the previous song's fade-out.
        SongRenderer::renderSilence(rings, w, count, std::min(n, count));
    }
    writePosition_.store(write + count);
    ++nextBeat_;
    return false;
}

void TrackAudio::processBlock(float* const* block, std::int32_t start, std::int32_t n, const float* from,
                              const float* to, bool filterMode) {
    if (lowPass_) {
        if (filterMode) {
            lowPass_->process(block, start, n, from[firstCutoff], to[firstCutoff]);
            highPass_->process(block, start, n, from[secondCutoff], to[secondCutoff]);
        } else {
            for (int c = 0; c < 2; ++c) {
                reportPrimitiveError(dezoRide_32d(block[c] + start, scratch_[c] + start, n), __FILE__, __LINE__);
            }
            lowPass_->process(block, start, n, from[secondCutoff], to[secondCutoff]);
            highPass_->process(scratch_, start, n, from[firstCutoff], to[firstCutoff]);
            for (int c = 0; c < 2; ++c) {
                reportPrimitiveError(zaviAdd_32f_I(scratch_[c] + start, block[c] + start, n), __FILE__, __LINE__);
            }
        }
    }
    if (delay_ && delayOn_) {
        delay_->process(block, start, n, from[delayTime], to[delayTime], from[delayFeedback], to[delayFeedback],
                        1.0f, 1.0f, 1.0f, 1.0f, from[effectLevel], to[effectLevel]);
    }
    if (flanger_ && flangerOn_) {
        flanger_->process(block, start, n, from[flangerFrequency], to[flangerFrequency], from[flangerDepth],
                          to[flangerDepth], from[effectLevel], to[effectLevel]);
    }
    if (reverb_ && reverbOn_) {
        reverb_->process(block, start, n, from[reverbScale], to[reverbScale], from[effectLevel], to[effectLevel]);
    }
}

void TrackAudio::mixInto(float* const* out, FIFO* tap, float gainFrom, float gainTo, float firstCutoffFrom,
                         float firstCutoffTo, float secondCutoffFrom, float secondCutoffTo, bool previousFilterMode,
                         bool filterMode, float effectFrom, float effectTo, float delayFrom, float delayTo,
                         float feedbackFrom, float feedbackTo, float flangerFrequencyFrom, float flangerFrequencyTo,
                         float flangerDepthFrom, float flangerDepthTo, float reverbFrom, float reverbTo,
                         std::int64_t outputTime, std::int32_t count) {
    if (count > maximumBlock) fatalError("Block too big.", __FILE__, __LINE__);
    if (count <= 0) return;
    {
        std::lock_guard<std::mutex> lock(effectsLock_);
        const std::int64_t base = basePosition_.load();
        const std::int64_t offset = outputTime - base;
        if (offset < 0) fatalError("Not good.", __FILE__, __LINE__);
        const auto start = static_cast<std::int32_t>(offset % frames_);
        if (lowPass_ && filterMode != previousFilterMode) {
            lowPass_->reset();
            highPass_->reset();
        }
        // Frames from the write position less half an overlap on are not
        // final yet (the next beat's fade-in still adds to them), and a
        // ring not yet rendered holds what an earlier render left.
        const std::int64_t finalEnd = active_.load(std::memory_order_acquire)
                                          ? base + writePosition_.load() - overlapFrames() / 2
                                          : outputTime;
        const auto ready = static_cast<std::int32_t>(std::clamp<std::int64_t>(finalEnd - outputTime, 0, count));
        if (ready < count && active_.load(std::memory_order_acquire)) underrunFrames_ += count - ready;
        const std::int32_t first = std::min(ready, frames_ - start);
        for (int c = 0; c < 2; ++c) {
            float* block = block_[c];
            const float* main = rings_[c];
            const float* overlap = rings_[2 + c];
            // The deck signal is main + overlap, taken in up to two pieces
            // where the block wraps at the ring's end.
            for (std::int32_t i = 0; i < first; ++i) block[i] = main[start + i] + overlap[start + i];
            for (std::int32_t i = first; i < ready; ++i) block[i] = main[i - first] + overlap[i - first];
            if (ready < count) reportPrimitiveError(zaviZero_32f(block + ready, count - ready), __FILE__, __LINE__);
        }
        noise_->add(block_, 0, count);
        if (tap != nullptr) tap->write(block_, count);
        const float from[parameterCount] = {firstCutoffFrom, secondCutoffFrom, effectFrom, delayFrom, feedbackFrom,
                                            flangerFrequencyFrom, flangerDepthFrom, reverbFrom};
        const float to[parameterCount] = {firstCutoffTo, secondCutoffTo, effectTo, delayTo, feedbackTo,
                                          flangerFrequencyTo, flangerDepthTo, reverbTo};
        processBlock(block_, 0, count, from, to, filterMode);
        const float perFrame = 1.0f / static_cast<float>(count);
        for (int c = 0; c < 2; ++c) {
            for (std::int32_t i = 0; i < count; ++i) {
                const float a = static_cast<float>(i) * perFrame;
                out[c][i] += (gainFrom * (1.0f - a) + gainTo * a) * block_[c][i];
            }
        }
    }
    std::lock_guard<std::mutex> lock(positionLock_);
    readPosition_.fetch_add(count);
}

void TrackAudio::setFilterOrder(std::int32_t order) {
    if (!lowPass_) return;
    if (order % 2 != 0) fatalError("Filter order must be even.", __FILE__, __LINE__);
    std::lock_guard<std::mutex> lock(effectsLock_);
    lowPass_->setOrder(order / 2);
    highPass_->setOrder(order / 2);
}

void TrackAudio::enableDelay() {
    if (!delay_) return;
    std::lock_guard<std::mutex> lock(effectsLock_);
    delay_->reset();
    delayOn_ = true;
}

void TrackAudio::enableFlanger() {
    if (!flanger_) return;
    std::lock_guard<std::mutex> lock(effectsLock_);
    flanger_->reset();
    flangerOn_ = true;
}

void TrackAudio::enableReverb() {
    if (!reverb_) return;
    std::lock_guard<std::mutex> lock(effectsLock_);
    reverb_->reset();
    reverbOn_ = true;
}

void TrackAudio::disableDelay() {
    if (!delay_) return;
    std::lock_guard<std::mutex> lock(effectsLock_);
    delayOn_ = false;
}

void TrackAudio::disableFlanger() {
    if (!flanger_) return;
    std::lock_guard<std::mutex> lock(effectsLock_);
    flangerOn_ = false;
}

void TrackAudio::disableReverb() {
    if (!reverb_) return;
    std::lock_guard<std::mutex> lock(effectsLock_);
    reverbOn_ = false;
}
