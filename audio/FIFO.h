// A multi-channel float ring that one thread fills and another drains: a
// deck's pre-filter cue tap, written on the main output's thread and read on
// the second output's.
//
// Lock-free for exactly one writer thread and one reader thread. Writing
// never waits: it overwrites the oldest frames. A read takes the newest
// frames, or gives silence when too few are unread, or when the writer
// overwrote some of them while they were being copied out.
#ifndef VELKARN_AUDIO_FIFO_H
#define VELKARN_AUDIO_FIFO_H

#include "audio/FormatAudio.h"

#include <atomic>
#include <cstdint>
#include <vector>

class Motor;

class FIFO {
public:
    // Holds trunc(sampleRate x seconds) + 1 frames of every channel of
    // format, zeroed. Allocates; a failing allocation is a fatal stop.
    FIFO(const FormatAudio& format, float seconds);
    virtual ~FIFO();
    FIFO(const FIFO&) = delete;
    FIFO& operator=(const FIFO&) = delete;

    // Writer thread. Appends n frames of every channel; n >= 0.
    void write(float* const* channels, std::int32_t n);
    // The same, taking each channel from index start.
    void writeAt(float* const* channels, std::int32_t start, std::int32_t n);

    // Reader thread. When at least n frames are unread (written - consumed
    // >= n), copies the newest n frames to out and counts n as consumed;
    // otherwise fills out with n zeros and changes nothing. A read of more
    // frames than the ring holds is silence too. caller: the device the
    // block is for (unused here).
    virtual void read(Motor* caller, float* const* out, std::int32_t n);

    std::int32_t size() const { return size_; }
    const FormatAudio& format() const { return format_; }
    // Frames written so far; any thread.
    std::int64_t written() const { return written_.load(std::memory_order_acquire); }
    // Frames counted as consumed; the reader thread (or when it is idle).
    std::int64_t consumed() const { return consumed_; }

private:
    FormatAudio format_;
    std::int32_t size_;
    std::vector<float*> buffers_;
    // The frame count the writer is writing up to: set before the copy, so a
    // reader can tell that frames it copied may have been overwritten.
    std::atomic<std::int64_t> writing_{0};
    // Published with release after each write's copy.
    std::atomic<std::int64_t> written_{0};
    std::int64_t consumed_ = 0;  // the reader's own
};

#endif
