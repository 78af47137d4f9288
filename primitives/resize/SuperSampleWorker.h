// The super-sampling worker, one template for every build, element type and
// pixel shape (1 value; elements 0-2 of pixels pixelStride apart; 4 values).
//
// Per destination row: clear the accumulator; add the box's source rows into
// it, column by column (vertical pass); form each destination value from its
// box's accumulated columns (horizontal pass) and store it scaled.
//
// Number formats, which fix every result:
// - case BothWhole, 8-bit and 16-bit: exact integer sums (32-bit column sums,
//   64-bit where they could pass 2^32 - 1; horizontal sums always 64-bit);
// - otherwise single-precision entries; each weighted add is formed in double
//   and rounded to single when stored; horizontal values are formed in double
//   and rounded to single at fixed points (see writeFractionalColumns);
// - output: trunc(areaScale * value + 0.5) for integers (within range, since
//   a box's weights add up to its area), single(areaScale * value) for floats.
//
// Rows and columns past the region are never read: a weight that falls on a
// row at or past srcRows, or on a column at or past srcColumns, is dropped,
// and so is every partial weight at or below the tolerance.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "primitives/resize/BoxColumnSum.h"
#include "primitives/resize/SuperSampling.h"

namespace primitives {

template <typename T, int Shape, typename Build>
class SuperSampler {
public:
    static constexpr bool floatData = std::is_same_v<T, float>;

    SuperSampler(const void* srcOrigin, void* dst, int32_t srcStep, int32_t dstStep, int32_t srcColumns,
                 int32_t srcRows, int32_t dstWidth, int32_t dstHeight, double invXFactor, double invYFactor,
                 double areaScale, int32_t pixelStride, int32_t samplingCase)
        : src_(static_cast<const std::byte*>(srcOrigin)),
          dst_(static_cast<std::byte*>(dst)),
          srcStep_(srcStep),
          dstStep_(dstStep),
          columns_(srcColumns),
          rows_(srcRows),
          dstWidth_(dstWidth),
          dstHeight_(dstHeight),
          a_(invXFactor),
          b_(invYFactor),
          wholeColumns_(static_cast<int64_t>(std::floor(invXFactor))),
          wholeRows_(static_cast<int64_t>(std::floor(invYFactor))),
          areaScale_(areaScale),
          stride_(Shape == 3 ? pixelStride : Shape),
          case_(samplingCase) {}

    void run(void* rowAccumulator) const {
        if constexpr (floatData) {
            runWith(static_cast<float*>(rowAccumulator));
        } else if (case_ == BothWhole) {
            constexpr int32_t dataType = sizeof(T) == 1 ? resizeData8u : resizeData16u;
            if (superSamplingWideColumnSums(dataType, wholeRows_)) {
                runWith(static_cast<uint64_t*>(rowAccumulator));
            } else {
                runWith(static_cast<uint32_t*>(rowAccumulator));
            }
        } else {
            runWith(static_cast<float*>(rowAccumulator));
        }
    }

private:
    static constexpr double kTolerance = kSuperSamplingTolerance;
    static constexpr int kSlots = Shape;

    const T* sourceRow(int64_t row) const { return reinterpret_cast<const T*>(src_ + row * srcStep_); }
    T* destinationRow(int64_t row) const { return reinterpret_cast<T*>(dst_ + row * dstStep_); }

    static T output(double scaledValue) {
        if constexpr (floatData) {
            return static_cast<float>(scaledValue);
        } else {
            return static_cast<T>(static_cast<int64_t>(scaledValue + 0.5));
        }
    }

    template <typename Entry>
    void runWith(Entry* acc) const {
        const int64_t accumulatorBytes = int64_t{columns_} * stride_ * static_cast<int64_t>(sizeof(Entry));
        const bool fractionalRows = case_ == ColumnsWhole || case_ == NeitherWhole;
        const bool fractionalColumns = case_ == RowsWhole || case_ == NeitherWhole;
        RowWalk walk{0, b_ - static_cast<double>(wholeRows_), true};
        for (int32_t i = 0; i < dstHeight_; ++i) {
            Build::zeroBytes(acc, accumulatorBytes);
            if constexpr (std::is_same_v<Entry, float>) {
                if (fractionalRows) {
                    addFractionalRows(acc, walk);
                } else {
                    addWholeRows(acc, walk.cursor);
                    walk.cursor += wholeRows_;
                }
            } else {
                addWholeRows(acc, walk.cursor);
                walk.cursor += wholeRows_;
            }
            T* out = destinationRow(i);
            if constexpr (std::is_same_v<Entry, float>) {
                if (fractionalColumns) {
                    writeFractionalColumns(acc, out);
                    continue;
                }
            }
            writeWholeGroups(acc, out);
        }
    }

    // ---- Vertical pass --------------------------------------------------

    // Row cursor and carried row fraction of the fractional-rows cases.
    struct RowWalk {
        int64_t cursor;
        double carried;  // the part of the cursor's row that belongs to the next destination row
        bool first;
    };

    // Adds the B whole rows from `first` with weight 1: one kernel call in
    // case BothWhole, single-precision adds otherwise.
    template <typename Entry>
    void addWholeRows(Entry* acc, int64_t first) const {
        if constexpr (std::is_same_v<Entry, float>) {
            if (case_ != BothWhole) {
                for (int64_t r = 0; r < wholeRows_; ++r) addRow(acc, first + r, 1.0);
                return;
            }
        }
        if (first >= rows_) return;
        const int64_t available = rows_ - first;
        const auto rows = static_cast<int32_t>(wholeRows_ < available ? wholeRows_ : available);
        boxColumnSum<T, Entry, Shape, Build>(sourceRow(first), srcStep_, columns_, rows, acc, stride_);
    }

    // entry = single(weight * sample + entry), in double; weight 1 adds the
    // sample itself. A row outside the region is left out.
    void addRow(float* acc, int64_t row, double weight) const {
        if (row < 0 || row >= rows_) return;
        // The source rows and the accumulator never overlap.
        const T* __restrict samples = sourceRow(row);
        float* __restrict entries = acc;
        const int64_t stride = stride_;
        if (weight == 1.0) {
            for (int64_t j = 0; j < columns_; ++j) {
#pragma GCC unroll 4
                for (int s = 0; s < kSlots; ++s) {
                    float& entry = entries[j * stride + s];
                    entry = static_cast<float>(static_cast<double>(entry) + static_cast<double>(samples[j * stride + s]));
                }
            }
        } else {
            for (int64_t j = 0; j < columns_; ++j) {
#pragma GCC unroll 4
                for (int s = 0; s < kSlots; ++s) {
                    float& entry = entries[j * stride + s];
                    entry = static_cast<float>(weight * static_cast<double>(samples[j * stride + s]) +
                                               static_cast<double>(entry));
                }
            }
        }
    }

    // The first destination row takes B whole rows and the next one with
    // weight r = b - B. Every later one the rest of the shared row (1 - r),
    // k whole rows and a part r' of the row after them, where
    // k = floor(b - (1 - r) + tolerance): the cursor moves past the shared
    // row whether or not its part is added.
    void addFractionalRows(float* acc, RowWalk& walk) const {
        if (walk.first) {
            walk.first = false;
            for (int64_t r = 0; r < wholeRows_; ++r) addRow(acc, walk.cursor++, 1.0);
        } else {
            const double rest = 1.0 - walk.carried;
            const double x = b_ - rest;
            const auto k = static_cast<int64_t>(std::floor(x + kTolerance));
            walk.carried = x - static_cast<double>(k);
            if (rest > kTolerance) addRow(acc, walk.cursor, rest);
            ++walk.cursor;
            for (int64_t r = 0; r < k; ++r) addRow(acc, walk.cursor++, 1.0);
        }
        if (walk.carried > kTolerance) addRow(acc, walk.cursor, walk.carried);
    }

    // ---- Horizontal pass and output ---------------------------------------

    // Destination column j is the sum of columns jA .. jA + A - 1 (those
    // below srcColumns): 64-bit integer sums, or double sums rounded to
    // single once.
    template <typename Entry>
    void writeWholeGroups(const Entry* acc, T* out) const {
        const int64_t stride = stride_;
        for (int64_t j = 0; j < dstWidth_; ++j) {
            const int64_t begin = j * wholeColumns_;
            const int64_t end = begin + wholeColumns_ < columns_ ? begin + wholeColumns_ : columns_;
#pragma GCC unroll 4
            for (int s = 0; s < kSlots; ++s) {
                double value;
                if constexpr (std::is_same_v<Entry, float>) {
                    double sum = 0.0;
                    for (int64_t c = begin; c < end; ++c) sum += static_cast<double>(acc[c * stride + s]);
                    value = static_cast<double>(static_cast<float>(sum));
                } else {
                    uint64_t sum = 0;
                    for (int64_t c = begin; c < end; ++c) sum += acc[c * stride + s];
                    value = static_cast<double>(sum);
                }
                out[j * stride + s] = output(areaScale_ * value);
            }
        }
    }

    // The fractional-columns walk, restarted on every destination row with
    // q = a - A. Column 0: columns 0 .. A - 1 and q of column A, summed in
    // double and rounded to single once. Column j > 0, left column c:
    // w = 1 - q, k = floor(a - w + tolerance), q' = a - w - k; the value is
    // single(w * column c), then single(+ columns c + 1 .. c + k), then
    // single(+ q' * column c + k + 1); the next left column is c + k + 1.
    void writeFractionalColumns(const float* acc, T* out) const {
        const int64_t stride = stride_;
        const int64_t n = columns_;
        const auto column = [&](int64_t c, int s) { return static_cast<double>(acc[c * stride + s]); };
        double q = a_ - static_cast<double>(wholeColumns_);
        int64_t c = wholeColumns_;
        const int64_t firstWhole = wholeColumns_ < n ? wholeColumns_ : n;
        for (int s = 0; s < kSlots; ++s) {
            double sum = 0.0;
            for (int64_t m = 0; m < firstWhole; ++m) sum += column(m, s);
            if (q > kTolerance && c < n) sum += q * column(c, s);
            out[s] = output(areaScale_ * static_cast<double>(static_cast<float>(sum)));
        }
        for (int64_t j = 1; j < dstWidth_; ++j) {
            const double w = 1.0 - q;
            const double x = a_ - w;
            const auto k = static_cast<int64_t>(std::floor(x + kTolerance));
            const double next = x - static_cast<double>(k);
            const bool left = w > kTolerance && c < n;
            const int64_t wholeEnd = c + k < n ? c + k : n - 1;  // last whole column read
            const int64_t right = c + k + 1;
            const bool hasRight = next > kTolerance && right < n;
#pragma GCC unroll 4
            for (int s = 0; s < kSlots; ++s) {
                float value = left ? static_cast<float>(w * column(c, s)) : 0.0f;
                double sum = value;
                for (int64_t m = c + 1; m <= wholeEnd; ++m) sum += column(m, s);
                value = static_cast<float>(sum);
                if (hasRight) value = static_cast<float>(static_cast<double>(value) + next * column(right, s));
                out[j * stride + s] = output(areaScale_ * static_cast<double>(value));
            }
            c = right;
            q = next;
        }
    }

    const std::byte* src_;
    std::byte* dst_;
    int64_t srcStep_;
    int64_t dstStep_;
    int32_t columns_;
    int32_t rows_;
    int32_t dstWidth_;
    int32_t dstHeight_;
    double a_;
    double b_;
    int64_t wholeColumns_;  // A
    int64_t wholeRows_;     // B
    double areaScale_;
    int32_t stride_;
    int32_t case_;
};

template <typename T, int Shape, typename Build>
void superSample(const void* srcOrigin, void* dst, int32_t srcStep, int32_t dstStep, int32_t srcColumns,
                 int32_t srcRows, int32_t dstWidth, int32_t dstHeight, double invXFactor, double invYFactor,
                 double areaScale, int32_t pixelStride, int32_t samplingCase, void* rowAccumulator) {
    if (samplingCase < BothWhole || samplingCase > NeitherWhole) return;
    SuperSampler<T, Shape, Build>(srcOrigin, dst, srcStep, dstStep, srcColumns, srcRows, dstWidth, dstHeight,
                                  invXFactor, invYFactor, areaScale, pixelStride, samplingCase)
        .run(rowAccumulator);
}

}  // namespace primitives

// A build's nine named workers and its worker table `superSamplingWorkers`.
#define VELKARN_SUPER_SAMPLING_WORKERS(build, Build)                                                        \
    constinit const SuperSampleWorker superSample1ChU8_##build = &superSample<uint8_t, 1, Build>;          \
    constinit const SuperSampleWorker superSample3ChU8_##build = &superSample<uint8_t, 3, Build>;          \
    constinit const SuperSampleWorker superSample4ChU8_##build = &superSample<uint8_t, 4, Build>;          \
    constinit const SuperSampleWorker superSample1ChU16_##build = &superSample<uint16_t, 1, Build>;        \
    constinit const SuperSampleWorker superSample3ChU16_##build = &superSample<uint16_t, 3, Build>;        \
    constinit const SuperSampleWorker superSample4ChU16_##build = &superSample<uint16_t, 4, Build>;        \
    constinit const SuperSampleWorker superSample1ChF32_##build = &superSample<float, 1, Build>;           \
    constinit const SuperSampleWorker superSample3ChF32_##build = &superSample<float, 3, Build>;           \
    constinit const SuperSampleWorker superSample4ChF32_##build = &superSample<float, 4, Build>;           \
    namespace {                                                                                             \
    constexpr SuperSamplingWorkers superSamplingWorkers{                                                    \
        {&superSample<uint8_t, 1, Build>, &superSample<uint16_t, 1, Build>, &superSample<float, 1, Build>}, \
        {&superSample<uint8_t, 3, Build>, &superSample<uint16_t, 3, Build>, &superSample<float, 3, Build>}, \
        {&superSample<uint8_t, 4, Build>, &superSample<uint16_t, 4, Build>, &superSample<float, 4, Build>}, \
    };                                                                                                      \
    }

// A build's named column-sum kernels of one and four values per pixel and
// of three float channels.
#define VELKARN_BOX_COLUMN_SUMS(build, Build)                                                                       \
    constinit const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum1ChU8_##build =                              \
        &boxColumnSum<uint8_t, uint32_t, 1, Build>;                                                                 \
    constinit const BoxColumnSumKernel<uint8_t, uint32_t> boxColumnSum4ChU8_##build =                              \
        &boxColumnSum<uint8_t, uint32_t, 4, Build>;                                                                 \
    constinit const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum1ChU16_##build =                            \
        &boxColumnSum<uint16_t, uint32_t, 1, Build>;                                                                \
    constinit const BoxColumnSumKernel<uint16_t, uint32_t> boxColumnSum4ChU16_##build =                            \
        &boxColumnSum<uint16_t, uint32_t, 4, Build>;                                                                \
    constinit const BoxColumnSumKernel<float, float> boxColumnSum1ChF32_##build = &boxColumnSum<float, float, 1, Build>; \
    constinit const BoxColumnSumKernel<float, float> boxColumnSum3ChF32_##build = &boxColumnSum<float, float, 3, Build>; \
    constinit const BoxColumnSumKernel<float, float> boxColumnSum4ChF32_##build = &boxColumnSum<float, float, 4, Build>;
