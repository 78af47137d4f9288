// Anti-denormal noise: tiny uniform noise added to every channel alike, so
// that decaying feedback lines never sink into denormal numbers.
#ifndef VELKARN_AUDIO_UNITNOISE_H
#define VELKARN_AUDIO_UNITNOISE_H

#include "audio/FormatAudio.h"

#include <cstdint>

class UnitNoise {
public:
    // Values are uniform in [-amplitude, amplitude]; the generator starts
    // from seed 0, so two units draw the same sequence.
    UnitNoise(const FormatAudio& format, float amplitude);
    virtual ~UnitNoise();
    UnitNoise(const UnitNoise&) = delete;
    UnitNoise& operator=(const UnitNoise&) = delete;

    // Adds n fresh values to frames [start, start + n) of every channel of
    // the format, the same value on each channel. n > 44100 is a fatal stop.
    void add(float* const* channels, std::int32_t start, std::int32_t n);
    // Writes n fresh values to buffer (n <= 44100, else a fatal stop).
    void fill(float* buffer, std::int32_t n);

    static constexpr std::int32_t maximumBlock = 44100;

private:
    FormatAudio format_;
    float amplitude_;
    std::uint32_t seed_ = 0;
    float* buffer_;
};

#endif
