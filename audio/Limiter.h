// The main output's soft limiter and the block peak measure that feeds the
// level meters. Both run on the main output's thread for every block.
#ifndef VELKARN_AUDIO_LIMITER_H
#define VELKARN_AUDIO_LIMITER_H

#include "audio/FormatAudio.h"

#include <cstdint>

class Limiter {
public:
    explicit Limiter(const FormatAudio& format);
    virtual ~Limiter() = default;

    // In place on each of the format's channels: samples within
    // [-threshold, threshold] pass unchanged; beyond, the excess e is bent to
    // threshold + knee x (1 - 1 / (e + 1)), so 1.9 becomes 0.95. The result
    // stays within [-1, 1]: huge inputs and infinities give exactly +-1.0
    // in float. NaN passes through (the output conversion clamps it).
    void process(float** channels, std::int32_t count) const;

    float threshold() const { return threshold_; }
    float knee() const { return knee_; }

private:
    FormatAudio format_;
    float threshold_ = 0.9f;
    float knee_ = 0.1f;
};

// The larger of |maximum| and |minimum| of buffer[0 .. count). A failing
// primitive call (count < 1, null buffer) is logged and counts as 0.
float peakLevel(const float* buffer, std::int32_t count);

#endif
