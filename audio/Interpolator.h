// Resampling of one channel by 2-point (linear) or 4-point (cubic Lagrange)
// interpolation: the song renderer fits a song's beat to the grid's beat
// length with it.
#ifndef VELKARN_AUDIO_INTERPOLATOR_H
#define VELKARN_AUDIO_INTERPOLATOR_H

#include <cstdint>

class Interpolator {
public:
    // points: 2 or 4; anything else stops the program at the first process.
    explicit Interpolator(std::int32_t points);
    virtual ~Interpolator() = default;

    std::int32_t points() const { return points_; }

    // Writes trunc(n x ratio) + 1 frames (the product taken in double
    // precision) to destination. Output frame i stands for source position
    // 4 + i / ratio: the first four source frames are history for the cubic
    // taps. Reads source[0 .. sourceFrames) only: an output whose taps would
    // lie at or past sourceFrames is written as 0.0. An output that falls
    // exactly on a source frame is that frame, bit for bit. ratio > 0.
    void process(const float* source, float* destination, std::int32_t n, float ratio,
                 std::int32_t sourceFrames) const;

private:
    std::int32_t points_;
};

#endif
