// A producer that renders ahead of playback on a thread of its own: the
// browser's pre-listen decodes songs through it, and the second output
// plays from its ring without waiting for the decoder.
//
// Threads: the reader thread calls the producer; render runs on an output
// thread and takes no lock; reset and the destructor run on a third
// (the user-interface thread). Stereo.
#ifndef VELKARN_AUDIO_SOURCEREADAHEAD_H
#define VELKARN_AUDIO_SOURCEREADAHEAD_H

#include "audio/AudioClient.h"
#include "platform/Event.h"
#include "platform/Thread.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class SourceReadAhead : public AudioClient {
public:
    // producer renders `chunk` frames at a time for `caller` (may be null)
    // into a ring of ringSize frames per channel; ringSize >= chunk >= 1.
    // Starts the reader thread; when it cannot be created the program
    // stops with "Could not create reader thread.".
    SourceReadAhead(AudioClient* producer, Motor* caller, std::int32_t ringSize, std::int32_t chunk);
    // Stops the reader thread and waits for it, a producer call in progress
    // included.
    ~SourceReadAhead() override;
    SourceReadAhead(const SourceReadAhead&) = delete;
    SourceReadAhead& operator=(const SourceReadAhead&) = delete;

    // The next `frames` frames of the ring into channels 0 and 1. Frames
    // the reader has not finished producing are silence: a consumer that
    // overtakes the reader never hears an older lap of the ring. No lock, no
    // allocation. One output thread at a time.
    void render(Motor* device, float** channels, std::int32_t frames) override;

    // Drops everything produced or being produced: afterwards render gives
    // what the producer renders from now on (silence until it has), and
    // never audio produced before the reset. Wakes the reader thread, so a
    // reader that found its ring full starts on the new stream at once.
    void reset();

    // For the producer, on the reader thread: true when a reset has come
    // since the chunk it is producing was begun, so that chunk will be
    // dropped. A producer whose state changes together with a reset (under
    // a lock of its own that its render also takes) leaves that state
    // alone for such a chunk.
    bool isChunkDropped() const;

    // Frames produced and not yet rendered; any thread.
    std::int64_t framesReady() const;
    // Rounds in which the reader thread found the ring full and slept.
    std::int64_t fullRounds() const { return fullRounds_.load(); }

    // Tests: how long a reader thread that found its ring full sleeps
    // before it looks again (50 ms; platform::Event::infinite: until a
    // reset or the destructor wakes it). Read at each sleep.
    static void setIdleWaitMs(std::int64_t waitMs);

private:
    enum class Fill { produced, full, waited };

    struct AlignedRelease {
        void operator()(float* block) const;
    };
    using Floats = std::unique_ptr<float, AlignedRelease>;

    void run();
    Fill fillOnce();

    AudioClient* producer_;
    Motor* caller_;
    std::int32_t ringSize_;
    std::int32_t chunk_;
    Floats rings_[2];
    Floats chunks_[2];

    // Read and produced positions, each packed with the reset count (epoch)
    // it belongs to, so that a render that straddles a reset can tell.
    std::atomic<std::uint64_t> readState_{0};
    std::atomic<std::uint64_t> producedState_{0};
    // Odd while a render runs: after a reset the reader thread waits for a
    // render that began before it to finish before reusing its frames.
    std::atomic<std::uint64_t> renders_{0};

    mutable std::mutex lock_;     // reservations, publications and reset
    std::uint64_t epoch_ = 0;     // under lock_
    std::uint64_t chunkEpoch_ = 0;    // of the chunk being produced; under lock_
    std::int64_t writePosition_ = 0;  // reserved up to; under lock_
    std::uint64_t writerEpoch_ = 0;   // the reader thread's own

    std::atomic<bool> stopRequested_{false};
    std::atomic<std::int64_t> fullRounds_{0};
    platform::Event wake_;
    platform::Thread thread_;
};

#endif
