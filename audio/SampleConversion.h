// The output conversion of every device: float samples to 16-, 24- or
// 32-bit integers, interleaved frame by frame, little-endian.
//
// Each sample is multiplied in float by the width's scale (2^(bits-1) - 1
// rounded to float: 32767, 8388607, 2147483648), clamped to the width's
// integer limits, then truncated toward zero; NaN gives 0. In-range input
// is never changed by the clamp. Without it, +1.0 at 32 bits would give
// 2^31, which does not fit (a full-scale click where it wraps).
#ifndef VELKARN_AUDIO_SAMPLECONVERSION_H
#define VELKARN_AUDIO_SAMPLECONVERSION_H

#include <cstdint>

// The scale of a width: 2^(bits - 1) - 1 as a float.
float conversionScale(int bitsPerSample);

// One sample at 16, 24 or 32 bits.
std::int32_t convertSample(float sample, int bitsPerSample);

// Converts `frames` frames of `channelCount` channel buffers into out
// (frames x channelCount x bits / 8 bytes). Widths other than 16, 24 and
// 32 write nothing.
void interleaveSamples(const float* const* channels, int channelCount, int frames, int bitsPerSample,
                       std::uint8_t* out);

// The same, one sample at a time: the reference the fast path must match.
void interleaveSamplesScalar(const float* const* channels, int channelCount, int frames, int bitsPerSample,
                             std::uint8_t* out);

#endif
