#include "audio/SourceReadAhead.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "primitives.h"

#include <algorithm>
#include <thread>

namespace {

constexpr int positionBits = 40;  // 2^40 frames: 290 days at 44.1 kHz
constexpr std::uint64_t positionMask = (std::uint64_t{1} << positionBits) - 1;
std::atomic<std::int64_t> idleWaitMs{50};

std::uint64_t pack(std::uint64_t epoch, std::int64_t position) {
    return (epoch << positionBits) | (static_cast<std::uint64_t>(position) & positionMask);
}
std::uint64_t epochOf(std::uint64_t state) { return state >> positionBits; }
std::int64_t positionOf(std::uint64_t state) { return static_cast<std::int64_t>(state & positionMask); }
// The epoch as the packed states hold it.
std::uint64_t packedEpoch(std::uint64_t epoch) { return epoch & (~std::uint64_t{0} >> positionBits); }

// Copies count frames between a ring of ringSize frames at ring index `at`
// and a linear buffer, in two pieces where the ring wraps.
void copyFromRing(const float* ring, std::int32_t ringSize, std::int64_t at, float* to, std::int32_t count) {
    const std::int32_t head = std::min<std::int32_t>(count, ringSize - static_cast<std::int32_t>(at));
    if (head > 0) reportPrimitiveError(dezoRide_32d(ring + at, to, head), __FILE__, __LINE__);
    if (count > head) reportPrimitiveError(dezoRide_32d(ring, to + head, count - head), __FILE__, __LINE__);
}

void copyToRing(const float* from, float* ring, std::int32_t ringSize, std::int64_t at, std::int32_t count) {
    const std::int32_t head = std::min<std::int32_t>(count, ringSize - static_cast<std::int32_t>(at));
    if (head > 0) reportPrimitiveError(dezoRide_32d(from, ring + at, head), __FILE__, __LINE__);
    if (count > head) reportPrimitiveError(dezoRide_32d(from + head, ring, count - head), __FILE__, __LINE__);
}

}  // namespace

void SourceReadAhead::AlignedRelease::operator()(float* block) const { releaseAligned(block); }

SourceReadAhead::SourceReadAhead(AudioClient* producer, Motor* caller, std::int32_t ringSize, std::int32_t chunk)
    : producer_(producer), caller_(caller), ringSize_(ringSize), chunk_(chunk) {
    for (int c = 0; c < 2; ++c) {
        rings_[c].reset(allocateZeroedFloats(ringSize_));
        chunks_[c].reset(allocateZeroedFloats(chunk_));
    }
    if (!thread_.start([this] { run(); })) fatalError("Could not create reader thread.", __FILE__, __LINE__);
}

SourceReadAhead::~SourceReadAhead() {
    stopRequested_.store(true, std::memory_order_release);
    wake_.set();
    thread_.join();
}

void SourceReadAhead::run() {
    while (!stopRequested_.load(std::memory_order_acquire)) {
        if (fillOnce() == Fill::full) {
            fullRounds_.fetch_add(1);
            wake_.wait(idleWaitMs.load(std::memory_order_relaxed));
        }
    }
}

SourceReadAhead::Fill SourceReadAhead::fillOnce() {
    std::uint64_t epoch = 0;
    std::int64_t at = 0;
    {
        std::unique_lock hold(lock_);
        epoch = epoch_;
        if (writerEpoch_ != epoch) {
            // A reset came: a render that began before it may still be copying
            // ring frames that the next chunk would overwrite. Renders that
            // begin from here on see the reset.
            const std::uint64_t renders = renders_.load();
            hold.unlock();
            if ((renders & 1) != 0) {
                while (renders_.load() == renders && !stopRequested_.load(std::memory_order_acquire)) {
                    std::this_thread::yield();
                }
            }
            writerEpoch_ = epoch;
            return Fill::waited;
        }
        const std::int64_t read = positionOf(readState_.load());
        if (read + ringSize_ - writePosition_ < chunk_) return Fill::full;
        at = writePosition_;
        writePosition_ += chunk_;
        chunkEpoch_ = epoch;
    }

    float* chunkChannels[] = {chunks_[0].get(), chunks_[1].get()};
    producer_->render(caller_, chunkChannels, chunk_);
    for (int c = 0; c < 2; ++c) copyToRing(chunks_[c].get(), rings_[c].get(), ringSize_, at % ringSize_, chunk_);

    std::lock_guard hold(lock_);
    // A chunk reserved before a reset is dropped: its frames are never
    // counted as produced.
    if (epoch_ == epoch) producedState_.store(pack(packedEpoch(epoch), at + chunk_), std::memory_order_release);
    return Fill::produced;
}

void SourceReadAhead::render(Motor* /*device*/, float** channels, std::int32_t frames) {
    if (frames <= 0) return;
    renders_.fetch_add(1);  // odd: rendering
    std::uint64_t state = readState_.load();
    const std::uint64_t epoch = epochOf(state);
    const std::int64_t read = positionOf(state);
    const std::uint64_t produced = producedState_.load(std::memory_order_acquire);
    const auto ready = epochOf(produced) == epoch
                           ? static_cast<std::int32_t>(std::clamp<std::int64_t>(positionOf(produced) - read, 0, frames))
                           : 0;
    for (int c = 0; c < 2; ++c) {
        if (ready > 0) copyFromRing(rings_[c].get(), ringSize_, read % ringSize_, channels[c], ready);
        if (frames > ready) reportPrimitiveError(zaviZero_32f(channels[c] + ready, frames - ready), __FILE__, __LINE__);
    }
    // The read position moves on only after the copy, so the reader thread
    // never refills frames still being copied. A reset meanwhile wins: its
    // positions stay, and this block, produced before it, is not played.
    if (!readState_.compare_exchange_strong(state, pack(epoch, read + frames))) {
        for (int c = 0; c < 2; ++c) reportPrimitiveError(zaviZero_32f(channels[c], frames), __FILE__, __LINE__);
    }
    renders_.fetch_add(1);  // even: idle
}

void SourceReadAhead::reset() {
    std::lock_guard hold(lock_);
    ++epoch_;
    writePosition_ = 0;
    const std::uint64_t start = pack(packedEpoch(epoch_), 0);
    producedState_.store(start);
    readState_.store(start);
    wake_.set();
}

bool SourceReadAhead::isChunkDropped() const {
    std::lock_guard hold(lock_);
    return chunkEpoch_ != epoch_;
}

void SourceReadAhead::setIdleWaitMs(std::int64_t waitMs) { idleWaitMs.store(waitMs, std::memory_order_relaxed); }

std::int64_t SourceReadAhead::framesReady() const {
    const std::uint64_t read = readState_.load();
    const std::uint64_t produced = producedState_.load();
    if (epochOf(read) != epochOf(produced)) return 0;
    return std::max<std::int64_t>(0, positionOf(produced) - positionOf(read));
}
