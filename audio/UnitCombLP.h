// Feedback comb with a one-pole low-pass in its loop, the reverb's
// building block: high frequencies die away faster than low ones.
#ifndef VELKARN_AUDIO_UNITCOMBLP_H
#define VELKARN_AUDIO_UNITCOMBLP_H

#include "audio/FormatAudio.h"

#include <cstdint>

class UnitCombLP {
public:
    // feedback g, damping c (0: a plain comb of gain g). The line holds
    // trunc(rate x delayMs / 1000 + 0.5) frames, with room for
    // maximumDelayMs (at least delayMs).
    UnitCombLP(const FormatAudio& format, float delayMs, float feedback, float damping,
               float maximumDelayMs = 0.0f);
    virtual ~UnitCombLP();
    UnitCombLP(const UnitCombLP&) = delete;
    UnitCombLP& operator=(const UnitCombLP&) = delete;

    // Per frame: y = line; out = y; line = x + (1 - c) g (y + c previous);
    // previous = y. in and out may be the same buffer.
    void process(const float* in, float* out, std::int32_t n);
    void reset();
    // A new length (clamped to the room), with the state cleared.
    void setDelay(float delayMs);

    std::int32_t length() const { return length_; }

private:
    FormatAudio format_;
    float damping_;
    float loopGain_;  // (1 - c) x g
    std::int32_t capacity_;
    std::int32_t length_;
    std::int32_t index_ = 0;
    float previous_ = 0.0f;
    float* line_;
};

#endif
