// Triangle oscillator, the flanger's sweep: between -amplitude and
// +amplitude, starting at the middle of its rising edge (phase 0.25).
#ifndef VELKARN_AUDIO_UNITTRIANGLE_H
#define VELKARN_AUDIO_UNITTRIANGLE_H

#include "audio/FormatAudio.h"

#include <cstdint>

class UnitTriangle {
public:
    explicit UnitTriangle(const FormatAudio& format) : format_(format) {}
    virtual ~UnitTriangle() = default;

    // Writes n frames; frequency (Hz) and amplitude move linearly from their
    // first to their second value across the block. A negative frequency is
    // a fatal stop.
    void process(float* out, std::int32_t n, float frequencyFrom, float frequencyTo,
                 float amplitudeFrom, float amplitudeTo);

    float phase() const { return phase_; }

private:
    FormatAudio format_;
    float phase_ = 0.25f;
};

#endif
