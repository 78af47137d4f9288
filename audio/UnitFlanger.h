// The deck flanger: a short line read at a delay swept by a triangle,
// mixed back with the input and fed back at 0.85.
#ifndef VELKARN_AUDIO_UNITFLANGER_H
#define VELKARN_AUDIO_UNITFLANGER_H

#include "audio/FormatAudio.h"
#include "audio/UnitNoise.h"
#include "audio/UnitTriangle.h"

#include <cstdint>
#include <vector>

class UnitFlanger {
public:
    static constexpr float maximumSeconds = 0.02f;

    // Each line holds ceil(rate x 0.02) + 1 frames.
    explicit UnitFlanger(const FormatAudio& format);
    virtual ~UnitFlanger();
    UnitFlanger(const UnitFlanger&) = delete;
    UnitFlanger& operator=(const UnitFlanger&) = delete;

    // The sweep runs at frequency (Hz) with depth as its amplitude; the
    // delay is (sweep x 2.5 ms + 4 ms), kept within the line. Per frame:
    // line = level x x + noise; h = the tap; x = (h + x) x (1 - 0.3 x the
    // block's larger level); line += 0.85 h. n <= 44100, else a fatal stop.
    void process(float* const* channels, std::int32_t start, std::int32_t n, float frequencyFrom,
                 float frequencyTo, float depthFrom, float depthTo, float levelFrom, float levelTo);
    void reset();

    std::int32_t lineLength() const { return length_; }

private:
    FormatAudio format_;
    std::int32_t length_;
    std::int32_t index_ = 0;
    std::vector<float*> lines_;
    UnitTriangle triangle_;
    UnitNoise noise_;
    float* sweep_;
    float* noiseBlock_;
};

#endif
