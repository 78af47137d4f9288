#include "audio/TimeScalerPV.h"

#include "audio/AlignedFloats.h"
#include "audio/PowerOfTwo.h"
#include "framework/Log.h"
#include "framework/Reporters.h"

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

#define CHECK_PRIMITIVE(call) reportPrimitiveError((call), __FILE__, __LINE__)

namespace {

// Clears out[0 .. count) in pieces the vector entries can take.
void clearSamples(float* out, std::int64_t count) {
    constexpr std::int64_t piece = std::numeric_limits<std::int32_t>::max();
    for (std::int64_t done = 0; done < count; done += piece) {
        CHECK_PRIMITIVE(zaviZero_32f(out + done, static_cast<std::int32_t>(std::min(piece, count - done))));
    }
}

}  // namespace

TimeScalerPV::TimeScalerPV(std::int32_t frameSize, std::int32_t overlap) { setUp(frameSize, overlap); }

TimeScalerPV::~TimeScalerPV() { release(); }

void TimeScalerPV::setFrameSize(std::int32_t frameSize) { setUp(frameSize, overlap_); }

void TimeScalerPV::setOverlap(std::int32_t overlap) { setUp(frameSize_, overlap); }

void TimeScalerPV::setUp(std::int32_t frameSize, std::int32_t overlap) {
    // Checked before anything is released, so that a refused size leaves the
    // scaler as it was.
    if (frameSize < 1 || powerOfTwoAtLeast(frameSize).value != frameSize) {
        fatalError("Frame size is not a power of 2.", __FILE__, __LINE__);
    }
    if (frameSize < 4) fatalError("Frame size is too small.", __FILE__, __LINE__);
    if (overlap < 1 || overlap > frameSize) {
        fatalError("Overlap must lie between 1 and the frame size.", __FILE__, __LINE__);
    }
    release();

    frameSize_ = frameSize;
    overlap_ = overlap;
    hop_ = frameSize / overlap;
    bins_ = frameSize / 2 + 1;

    window_ = allocateFloats(frameSize_);
    CHECK_PRIMITIVE(zaviSet_32f(1.0f, window_, frameSize_));
    CHECK_PRIMITIVE(zaviWinHann_32f_I(window_, frameSize_));

    if (CHECK_PRIMITIVE(zaviFFTInitAlloc_R_32f(&spec_, powerOfTwoAtLeast(frameSize_).order, fftDivideInverseByN,
                                               primitiveHintFast))) {
        std::int32_t bytes = 0;
        CHECK_PRIMITIVE(zaviFFTGetBufSize_R_32f(spec_, &bytes));
        fftBuffer_ = allocateBytes(bytes);
    }

    interpolated_ = allocateZeroedFloats(bins_);
    outputPhase_ = allocateZeroedFloats(bins_);
    currentMagnitude_ = allocateZeroedFloats(bins_);
    currentPhase_ = allocateZeroedFloats(bins_);
    nextMagnitude_ = allocateZeroedFloats(bins_);
    nextPhase_ = allocateZeroedFloats(bins_);
    deviation_ = allocateZeroedFloats(bins_);
    expected_ = allocateZeroedFloats(bins_);
    time_ = allocateZeroedFloats(2 * std::int64_t{frameSize_});
    spectrum_ = allocateZeroedFloats(2 * std::int64_t{frameSize_});
    peaks_ = reinterpret_cast<std::int32_t*>(allocateBytes(std::int64_t{bins_} * 4));

    gain_ = (4.0f / static_cast<float>(overlap_)) * 0.6666667f;
    pi_ = 2.0f * std::acos(0.0f);
    for (std::int32_t bin = 0; bin < bins_; ++bin) {
        expected_[bin] = static_cast<float>(bin) * static_cast<float>(hop_) * pi_ / static_cast<float>(bins_ - 1);
    }
}

void TimeScalerPV::release() {
    if (spec_ != nullptr) CHECK_PRIMITIVE(zaviFFTFree_R_32f(spec_));
    spec_ = nullptr;
    for (float** block : {&window_, &interpolated_, &outputPhase_, &currentMagnitude_, &currentPhase_,
                          &nextMagnitude_, &nextPhase_, &deviation_, &expected_, &time_, &spectrum_}) {
        releaseAligned(*block);
        *block = nullptr;
    }
    releaseAligned(fftBuffer_);
    fftBuffer_ = nullptr;
    releaseAligned(peaks_);
    peaks_ = nullptr;
}

void TimeScalerPV::analyse(const float* in, std::int32_t inCount, std::int64_t frame, float* magnitude,
                           float* phase) {
    const std::int64_t first = frame * hop_;
    if (frame < 0 || first + frameSize_ > inCount) {
        CHECK_PRIMITIVE(zaviZero_32f(magnitude, bins_));
        CHECK_PRIMITIVE(zaviZero_32f(phase, bins_));
        return;
    }
    CHECK_PRIMITIVE(zaviMul_32f(in + first, window_, time_, frameSize_));
    CHECK_PRIMITIVE(zaviFFTFwd_RToCCS_32f(time_, spectrum_, spec_, fftBuffer_));
    CHECK_PRIMITIVE(zaviMulC_32f_I(gain_, spectrum_, frameSize_ + 2));
    CHECK_PRIMITIVE(zaviCartToPolar_32fc(reinterpret_cast<const Complex32f*>(spectrum_), magnitude, phase, bins_));
}

void TimeScalerPV::lockPhasesToPeaks(const float* magnitude) {
    const std::int32_t last = bins_ - 1;
    std::int32_t count = 0;
    for (std::int32_t bin = 0; bin <= last; ++bin) {
        const float m = magnitude[bin];
        const bool aboveLeft = bin == 0 || m > magnitude[bin - 1];
        const bool notBelowRight = bin == last || m >= magnitude[bin + 1];
        if (aboveLeft && notBelowRight && m > 0.0f) peaks_[count++] = bin;
    }
    // Each peak owns the bins up to the lowest magnitude between it and the
    // next peak.
    std::int32_t begin = 0;
    for (std::int32_t j = 0; j < count; ++j) {
        const std::int32_t peak = peaks_[j];
        std::int32_t end = bins_;
        if (j + 1 < count) {
            end = peak + 1;
            for (std::int32_t bin = peak + 2; bin < peaks_[j + 1]; ++bin) {
                if (magnitude[bin] < magnitude[end]) end = bin;
            }
        }
        const float peakOutput = outputPhase_[peak];
        const float peakAnalysed = currentPhase_[peak];
        for (std::int32_t bin = begin; bin < end; ++bin) {
            if (bin != peak) outputPhase_[bin] = peakOutput + (currentPhase_[bin] - peakAnalysed);
        }
        begin = end;
    }
}

void TimeScalerPV::process(const float* in, float* out, std::int32_t inCount, float ratio) {
    const float step = 1.0f / ratio;
    const auto outCount = static_cast<std::int64_t>(static_cast<double>(inCount) * static_cast<double>(ratio));
    if (outCount <= 0) return;
    clearSamples(out, outCount);

    // Only output frames that end inside out are made; input frames that do
    // not lie inside in are never read (analyse gives silence for them).
    const std::int64_t outputFrames = outCount >= frameSize_ ? (outCount - frameSize_) / hop_ + 1 : 0;
    const float twoPi = 2.0f * pi_;

    std::int64_t previous = -2;
    for (std::int64_t k = 0; k < outputFrames; ++k) {
        const double t = static_cast<double>(k) * static_cast<double>(step);
        const auto i = static_cast<std::int64_t>(t);
        const auto f = static_cast<float>(t - static_cast<double>(i));

        if (i != previous) {
            if (i == previous + 1) {
                // The next analysis becomes the current one.
                std::swap(currentMagnitude_, nextMagnitude_);
                std::swap(currentPhase_, nextPhase_);
            } else {
                analyse(in, inCount, i, currentMagnitude_, currentPhase_);
                if (previous == -2) CHECK_PRIMITIVE(dezoRide_32d(currentPhase_, outputPhase_, bins_));
            }
            analyse(in, inCount, i + 1, nextMagnitude_, nextPhase_);
        }

        // Magnitudes between the two frames.
        const float* magnitude = currentMagnitude_;
        if (f != 0.0f) {
            CHECK_PRIMITIVE(zaviMulC_32f(currentMagnitude_, 1.0f - f, interpolated_, bins_));
            CHECK_PRIMITIVE(zaviMulC_32f(nextMagnitude_, f, deviation_, bins_));
            CHECK_PRIMITIVE(zaviAdd_32f_I(deviation_, interpolated_, bins_));
            magnitude = interpolated_;
        }

        // Phase deviation from the expected advance, wrapped by whole turns.
        CHECK_PRIMITIVE(zaviSub_32f(currentPhase_, nextPhase_, deviation_, bins_));
        CHECK_PRIMITIVE(zaviSub_32f_I(expected_, deviation_, bins_));
        for (std::int32_t bin = 0; bin < bins_; ++bin) {
            const float d = deviation_[bin];
            const float turns = d / twoPi + 0.5f;
            // In range for any finite phase; NaN and infinities stay as they are.
            const float whole = std::fabs(turns) < 2.0e9f ? static_cast<float>(static_cast<std::int32_t>(turns)) : turns;
            deviation_[bin] = d - twoPi * whole;
        }

        lockPhasesToPeaks(magnitude);

        // Synthesis, overlap-added into out.
        CHECK_PRIMITIVE(zaviPolarToCart_32fc(magnitude, outputPhase_, reinterpret_cast<Complex32f*>(spectrum_), bins_));
        CHECK_PRIMITIVE(zaviFFTInv_CCSToR_32f(spectrum_, time_, spec_, fftBuffer_));
        CHECK_PRIMITIVE(zaviMul_32f_I(window_, time_, frameSize_));
        CHECK_PRIMITIVE(zaviAdd_32f_I(time_, out + k * hop_, frameSize_));

        CHECK_PRIMITIVE(zaviAdd_32f_I(deviation_, outputPhase_, bins_));
        CHECK_PRIMITIVE(zaviAdd_32f_I(expected_, outputPhase_, bins_));
        previous = i;
    }
}
