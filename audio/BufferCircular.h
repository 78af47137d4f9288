// A read-ahead cache in front of a block source (the WMA reader's decoder):
// reads at arbitrary frame positions are served from a ring that the
// source refills from a new position or extends at its end. One thread.
#ifndef VELKARN_AUDIO_BUFFERCIRCULAR_H
#define VELKARN_AUDIO_BUFFERCIRCULAR_H

#include "audio/BufferSource.h"
#include "audio/FormatAudio.h"

#include <cstdint>
#include <vector>

class BufferCircular {
public:
    // Holds trunc(sampleRate x seconds + 1) frames of each channel of
    // format; the source (not owned) decodes in blocks of up to its
    // maxBlockFrames(), asked once here. A failing allocation is a fatal stop.
    BufferCircular(BufferSource* source, const FormatAudio& format, float seconds);
    virtual ~BufferCircular();
    BufferCircular(const BufferCircular&) = delete;
    BufferCircular& operator=(const BufferCircular&) = delete;

    // Copies source frames [position, position + n) to out[c] + outStart for
    // every channel. A position outside the cached stretch restarts the
    // cache there (readAt); a read past its end extends it (readNext), by at
    // least 4096 frames, or 500,000 with `large`, as far as the ring allows.
    // Frames the source does not deliver (its stream ended) are silence.
    // A ring smaller than n plus one source block is a fatal stop
    // "Buffer too small.".
    void read(float* const* out, std::int32_t outStart, std::int32_t position, std::int32_t n, bool large);

    std::int32_t size() const { return size_; }
    std::int32_t granularity() const { return granularity_; }
    // The cached stretch: source frames [firstFrame, firstFrame + filled),
    // the first at ring index start.
    std::int64_t firstFrame() const { return firstFrame_; }
    std::int32_t filled() const { return filled_; }
    std::int32_t start() const { return start_; }

private:
    void copyOut(float* const* out, std::int32_t outStart, std::int64_t position, std::int32_t n) const;

    BufferSource* source_;
    FormatAudio format_;
    std::int32_t size_;
    std::int32_t granularity_;
    std::vector<float*> buffers_;
    std::int32_t start_ = 0;
    std::int32_t filled_ = 0;
    std::int64_t firstFrame_ = 0;
};

#endif
