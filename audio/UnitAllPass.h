// Schroeder all-pass over one delay line: y = line - g x, line = x + g y.
// Its magnitude response is flat; it smears the phase.
#ifndef VELKARN_AUDIO_UNITALLPASS_H
#define VELKARN_AUDIO_UNITALLPASS_H

#include "audio/FormatAudio.h"

#include <cstdint>

class UnitAllPass {
public:
    // The line holds trunc(rate x delayMs / 1000 + 0.5) frames (at least
    // one); room is made for maximumDelayMs (at least delayMs), so that
    // setDelay up to it never allocates.
    UnitAllPass(const FormatAudio& format, float delayMs, float gain, float maximumDelayMs = 0.0f);
    virtual ~UnitAllPass();
    UnitAllPass(const UnitAllPass&) = delete;
    UnitAllPass& operator=(const UnitAllPass&) = delete;

    // in and out may be the same buffer.
    void process(const float* in, float* out, std::int32_t n);
    void reset();
    // A new length (clamped to the room), with the line cleared.
    void setDelay(float delayMs);

    std::int32_t length() const { return length_; }

private:
    FormatAudio format_;
    float gain_;
    std::int32_t capacity_;
    std::int32_t length_;
    std::int32_t index_ = 0;
    float* line_;
};

// Frames of a delay in milliseconds: trunc(rate x ms x 0.001 + 0.5), at
// least one.
std::int32_t delayFrames(std::int32_t sampleRate, float delayMs);

#endif
