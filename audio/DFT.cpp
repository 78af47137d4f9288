#include "audio/DFT.h"

#include "audio/AlignedFloats.h"
#include "audio/PowerOfTwo.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResponseCurves.h"

#include <algorithm>
#include <cmath>

#define CHECK_PRIMITIVE(call) reportPrimitiveError((call), __FILE__, __LINE__)

namespace {

[[noreturn]] void notEnoughSpace() { fatalError("Not enough space allocated for DFT.", __FILE__, __LINE__); }

// trunc(v) as an int32, saturated; NaN gives 0.
std::int32_t truncated(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return 2147483520;
    if (v <= -2147483520.0f) return -2147483520;
    return static_cast<std::int32_t>(v);
}

}  // namespace

DFT::DFT(std::int32_t points, std::int32_t tableSize, bool powerOfTwo) : powerOfTwo_(powerOfTwo) {
    if (points <= 0) fatalError("Cannot do a 0-point DFT.", __FILE__, __LINE__);
    capacity_ = powerOfTwo_ ? powerOfTwoAtLeast(points).value : points;
    if (capacity_ < points) notEnoughSpace();
    time_ = allocateZeroedFloats(2 * std::int64_t{capacity_});
    spectrum_ = allocateZeroedFloats(2 * std::int64_t{capacity_});
    window_ = allocateZeroedFloats(capacity_);
    table_.assign(static_cast<std::size_t>(std::max(tableSize, 1)), 0);
}

DFT::~DFT() {
    releaseTransform();
    releaseAligned(time_);
    releaseAligned(spectrum_);
    releaseAligned(window_);
}

void DFT::releaseTransform() {
    if (fftSpec_ != nullptr) CHECK_PRIMITIVE(zaviFFTFree_R_32f(fftSpec_));
    fftSpec_ = nullptr;
    if (dftSpec_ != nullptr) CHECK_PRIMITIVE(zaviDFTFree_R_32f(dftSpec_));
    dftSpec_ = nullptr;
    fftLength_ = 0;
    releaseAligned(workBuffer_);
    workBuffer_ = nullptr;
}

void DFT::prepareLength(std::int32_t n) {
    if (n == windowLength_) return;
    if (n <= 0) fatalError("Cannot do a 0-point DFT.", __FILE__, __LINE__);

    const PowerOfTwo padded = powerOfTwoAtLeast(n);
    const std::int32_t length = powerOfTwo_ ? padded.value : n;
    if (length < n || length > capacity_) notEnoughSpace();

    CHECK_PRIMITIVE(zaviSet_32f(1.0f, window_, n));
    CHECK_PRIMITIVE(zaviWinBartlett_32f_I(window_, n));

    if (length != fftLength_) {
        releaseTransform();
        std::int32_t bytes = 0;
        if (powerOfTwo_) {
            if (CHECK_PRIMITIVE(zaviFFTInitAlloc_R_32f(&fftSpec_, padded.order, fftDivideForwardByN, primitiveHintFast))) {
                CHECK_PRIMITIVE(zaviFFTGetBufSize_R_32f(fftSpec_, &bytes));
                fftLength_ = length;
            }
        } else if (CHECK_PRIMITIVE(zaviDFTInitAlloc_R_32f(&dftSpec_, length, fftDivideForwardByN, primitiveHintFast))) {
            CHECK_PRIMITIVE(zaviDFTGetBufSize_R_32f(dftSpec_, &bytes));
            fftLength_ = length;
        }
        workBuffer_ = allocateBytes(bytes);
    }
    transformLength_ = length;
    windowLength_ = n;
}

void DFT::mapColumnsToBins(std::int32_t columns, float from, float to, bool logScale) {
    if (columns < 0) return;
    if (static_cast<std::int64_t>(columns) + 1 > static_cast<std::int64_t>(table_.size())) notEnoughSpace();
    const float a = logScale ? logarithmicScale(from) : from;
    const float b = logScale ? logarithmicScale(to) : to;
    const std::int32_t L = transformLength_;
    const auto binSpan = static_cast<float>(L / 2 - 1);
    for (std::int32_t u = 0; u <= columns; ++u) {
        float v = columns == 0 ? a : a + static_cast<float>(u) * (b - a) / static_cast<float>(columns);
        if (logScale) v = exponentialScale(v);
        // Ranges outside 0..1 would name bins the spectrum does not have.
        table_[static_cast<std::size_t>(u)] = std::clamp(truncated(v * binSpan), 0, std::max(L - 1, 0));
    }
    tableKey_ = {L, columns, from, to, logScale};
}

const float* DFT::windowedBlock(const float* ring, std::int32_t start, std::int32_t n, std::int32_t ringLength) {
    prepareLength(n);
    const std::int32_t L = transformLength_;

    std::int32_t p = 0;
    if (L > n) {
        p = (L - n) / 2 + 1;
        CHECK_PRIMITIVE(zaviZero_32f(time_, p));
        CHECK_PRIMITIVE(zaviZero_32f(time_ + L - p, p));
    }

    // From the ring, in pieces where it wraps.
    std::int32_t position = ringLength > 0 ? ((start % ringLength) + ringLength) % ringLength : 0;
    for (std::int32_t copied = 0; copied < n && ringLength > 0;) {
        const std::int32_t piece = std::min(n - copied, ringLength - position);
        CHECK_PRIMITIVE(dezoRide_32d(ring + position, time_ + p + copied, piece));
        copied += piece;
        position = 0;
    }

    CHECK_PRIMITIVE(zaviMulC_32f_I(static_cast<float>(L) / static_cast<float>(n), time_ + p, n));
    CHECK_PRIMITIVE(zaviMul_32f_I(window_, time_ + p, n));
    return time_;
}

void DFT::transform() {
    const std::int32_t L = transformLength_;
    // Magnitudes of the full conjugate-symmetric spectrum into spectrum_;
    // a transform that failed (and was logged) leaves silence.
    const PrimitiveStatus status = powerOfTwo_ ? zaviFFTFwd_RToPerm_32f(time_, spectrum_, fftSpec_, workBuffer_)
                                               : zaviDFTFwd_RToPerm_32f(time_, spectrum_, dftSpec_, workBuffer_);
    if (!CHECK_PRIMITIVE(status)) {
        CHECK_PRIMITIVE(zaviZero_32f(spectrum_, L));
        return;
    }
    auto* complex = reinterpret_cast<Complex32f*>(time_);
    CHECK_PRIMITIVE(zaviConjPerm_32fc(spectrum_, complex, L));
    CHECK_PRIMITIVE(zaviMagnitude_32fc(complex, spectrum_, L));
}

void DFT::spectrumColumns(const float* ring, std::int32_t start, std::int32_t n, std::int32_t ringLength,
                          std::int32_t columns, float from, float to, bool logScale, float* out, bool findPeak,
                          float& peakFraction, std::int32_t& peakColumnLow, std::int32_t& peakColumnHigh) {
    if (columns < 0) return;
    windowedBlock(ring, start, n, ringLength);
    const std::int32_t L = transformLength_;
    if (tableKey_.length != L || tableKey_.columns != columns || tableKey_.from != from || tableKey_.to != to ||
        tableKey_.logScale != logScale) {
        mapColumnsToBins(columns, from, to, logScale);
    }
    transform();

    const float* magnitude = spectrum_;
    const std::int32_t* entry = table_.data();
    for (std::int32_t u = 0; u < columns; ++u) {
        float sum = magnitude[entry[u]];
        for (std::int32_t bin = entry[u] + 1; bin < entry[u + 1]; ++bin) sum += magnitude[bin];
        out[u] = sum;
    }
    out[columns] = magnitude[entry[columns]];

    // Levels: -45 dB .. 0 dB onto 0 .. 1, with 1e-6 as the floor.
    const std::int32_t values = columns + 1;
    CHECK_PRIMITIVE(zaviThreshold_LT_32f_I(out, values, 0.000001f));
    CHECK_PRIMITIVE(zaviLn_32f_I(out, values));
    CHECK_PRIMITIVE(zaviMulC_32f_I(static_cast<float>(40.0 / 90.0 / std::log(10.0)), out, values));
    CHECK_PRIMITIVE(zaviAddC_32f_I(1.0f, out, values));

    if (findPeak) {
        const std::int32_t first = entry[0];
        const std::int32_t count = std::max(entry[columns] - first + 1, 1);
        float largest = 0.0f;
        std::int32_t index = 0;
        CHECK_PRIMITIVE(zaviMaxIndx_32f(magnitude + first, count, &largest, &index));
        const auto binSpan = static_cast<float>(L / 2 - 1);
        peakFraction = binSpan > 0.0f ? static_cast<float>(first + index) / binSpan : 0.0f;
        const auto placed = [&](float fraction) {
            if (logScale) return fractionOnLogScale(fraction, from, to);
            return to != from ? (fraction - from) / (to - from) : 0.0f;
        };
        peakColumnLow = truncated(static_cast<float>(columns) * placed(peakFraction)) + 1;
        peakColumnHigh =
            truncated(static_cast<float>(columns) * placed(peakFraction + 1.0f / static_cast<float>(L / 2 > 0 ? L / 2 : 1))) + 1;
    }
}
