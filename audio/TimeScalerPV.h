// A phase-vocoder time scaler. The input is cut into Hann-windowed frames of
// N samples at hop H = N / overlap; output frames are laid at the same hop
// while their source position moves by 1 / ratio input frames per output
// frame. Magnitudes are interpolated between the two nearest input frames;
// each bin's phase advances by its expected advance plus the deviation
// measured between those two frames. Bins around a magnitude peak keep the
// analysed phase relations to the peak's bin (identity phase locking), so
// that a sound that starts inside the block keeps its level: advanced each
// by itself, their phases would drift apart in the first frames and
// partly cancel for the rest of the sound (a tone after silence lost up to
// 12 dB at ratio 2).
//
// Everything process needs is made at set-up: process allocates nothing and
// takes no lock. Input frames that do not lie wholly inside the input are
// never read; they analyse as silence.
#ifndef VELKARN_AUDIO_TIMESCALERPV_H
#define VELKARN_AUDIO_TIMESCALERPV_H

#include "audio/TimeScaler.h"
#include "primitives.h"

class TimeScalerPV : public TimeScaler {
public:
    // frameSize: a power of two of at least 4, else a fatal stop "Frame size
    // is not a power of 2."; overlap: 1 .. frameSize.
    TimeScalerPV(std::int32_t frameSize, std::int32_t overlap);
    ~TimeScalerPV() override;
    TimeScalerPV(const TimeScalerPV&) = delete;
    TimeScalerPV& operator=(const TimeScalerPV&) = delete;

    void setFrameSize(std::int32_t frameSize) override;
    void setOverlap(std::int32_t overlap) override;
    std::int32_t frameSize() const override { return frameSize_; }
    std::int32_t overlap() const override { return overlap_; }

    void process(const float* in, float* out, std::int32_t inCount, float ratio) override;

    std::int32_t hop() const { return hop_; }
    std::int32_t bins() const { return bins_; }
    // (4 / overlap) x 2/3: Hann windows applied twice overlap-add to unity
    // at hop N / overlap with it.
    float analysisGain() const { return gain_; }
    // Radians per hop of a bin: bin x H x pi / (bins - 1).
    float expectedAdvance(std::int32_t bin) const { return expected_[bin]; }

private:
    void setUp(std::int32_t frameSize, std::int32_t overlap);
    void release();
    // Window, FFT, gain and polar form of input frame `frame` into the
    // magnitude and phase arrays; silence when the frame is not wholly
    // inside in[0 .. inCount).
    void analyse(const float* in, std::int32_t inCount, std::int64_t frame, float* magnitude, float* phase);
    // Sets the output phase of every bin that is not a magnitude peak to
    // its peak's output phase plus the analysed phase difference to it.
    void lockPhasesToPeaks(const float* magnitude);

    std::int32_t frameSize_ = 0;
    std::int32_t overlap_ = 0;
    std::int32_t hop_ = 0;
    std::int32_t bins_ = 0;
    float* window_ = nullptr;
    RealFftSpec_32f* spec_ = nullptr;
    std::uint8_t* fftBuffer_ = nullptr;
    float* interpolated_ = nullptr;
    float* outputPhase_ = nullptr;
    float* currentMagnitude_ = nullptr;
    float* currentPhase_ = nullptr;
    float* nextMagnitude_ = nullptr;
    float* nextPhase_ = nullptr;
    float* deviation_ = nullptr;
    float* expected_ = nullptr;
    float* time_ = nullptr;
    float* spectrum_ = nullptr;
    std::int32_t* peaks_ = nullptr;  // bins B: the peaks of the frame being made
    float gain_ = 0.0f;
    float pi_ = 0.0f;
};

#endif
