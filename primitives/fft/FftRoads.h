// The roads of the power-of-two transforms, shared by the real FFT entries,
// the complex engine and the Pack-order transforms of the autocorrelation:
// each build's core routines, the complex orders at which it switches road,
// the work-buffer rule and the complex transform itself.
#pragma once

#include <cstdint>

#include "primitives/core/AlignedMemory.h"
#include "primitives/core/Dispatcher.h"
#include "primitives/fft/RealFftSpec.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {

using RadixPasses = void (*)(float*, int32_t, const float*, uint8_t*, int32_t);
using OnePiece = void (*)(const float*, float*, int32_t, const float*, const int32_t*, uint8_t*);
using LargeOrder = void (*)(const RealFftSpec*, float*, int32_t, uint8_t*);

// One build's routines and the complex orders of its roads: the one-piece
// transform up to mediumLimit (none when -1), then bit reversal and the radix
// passes up to radixLimit, then bit reversal and the large-order routine.
struct BuildRoutines {
    int32_t build;
    PrimitiveStatus (*zeroBytes)(void*, int64_t);
    int32_t mediumLimit;
    int32_t radixLimit;
    const SmallOrderKernelTable& kernels;
    float* (*quarterSineTable)(int32_t);
    int32_t (*initFftTables)(RealFftSpec*, int32_t, const float*, int32_t);
    float* (*forwardSplitWeights)(int32_t, const float*);
    float* (*inverseSplitTwiddles)(int32_t, const float*);
    void (*bitReverseCopy)(const float*, float*, int32_t, const int32_t*);
    void (*bitReverseInPlace)(float*, int32_t, const int32_t*);
    OnePiece mediumOrder;
    OnePiece inverseMediumOrder;
    RadixPasses radixPasses;
    RadixPasses inverseRadixPasses;
    LargeOrder largeOrder;
    LargeOrder inverseLargeOrder;
    void (*scale)(float, float*, int64_t);
    void (*recombineForward)(float*, int32_t, const float*);
    void (*recombineInverse)(const float*, float*, int32_t, const float*);
};

inline void genericRadixPasses(float* data, int32_t n, const float* tw, uint8_t*, int32_t) {
    fftRadixPasses_generic(data, n, tw);
}
inline void genericInverseRadixPasses(float* data, int32_t n, const float* tw, uint8_t*, int32_t) {
    ifftRadixPasses_generic(data, n, tw);
}

inline constexpr BuildRoutines genericRoutines = {
    buildGeneric, zeroBytes_generic, -1, 10, smallOrderKernels_generic, buildQuarterSineTable_generic,
    initFftTables_generic, buildRealForwardSplitWeights_generic, buildRealInverseSplitTwiddles_generic,
    fftBitReverseCopy_generic, fftBitReverseInPlace_generic, nullptr, nullptr, genericRadixPasses,
    genericInverseRadixPasses, fftLargeOrder_generic, ifftLargeOrder_generic, scaleFloatsInPlace_generic,
    realFftRecombineForward_generic, realFftRecombineInverse_generic,
};

#define VELKARN_SIMD_ROUTINES(suffix, index, medium, radix)                                                     \
    inline constexpr BuildRoutines suffix##Routines = {                                                         \
        index, zeroBytes_##suffix, medium, radix, smallOrderKernels_##suffix,                                    \
        buildQuarterSineTable_##suffix, initFftTables_##suffix, buildRealForwardSplitWeights_##suffix,          \
        buildRealInverseSplitTwiddles_##suffix,                                                                 \
        fftBitReverseCopy_##suffix, fftBitReverseInPlace_##suffix, fftMediumOrder_##suffix,                     \
        ifftMediumOrder_##suffix, fftRadixPasses_##suffix, ifftRadixPasses_##suffix, fftLargeOrder_##suffix,    \
        ifftLargeOrder_##suffix, scaleFloatsInPlace_##suffix, realFftRecombineForward_##suffix,                 \
        realFftRecombineInverse_##suffix,                                                                       \
    };
VELKARN_SIMD_ROUTINES(sse, buildSse, 9, 10)
VELKARN_SIMD_ROUTINES(sse2, buildSse2, 14, 15)
VELKARN_SIMD_ROUTINES(sse3, buildSse3, 15, 16)
#undef VELKARN_SIMD_ROUTINES

// The caller's buffer from its first 16-byte boundary, or a block of `bytes`
// for this call (released by the destructor), or none when `bytes` is 0 or
// less.
class WorkBuffer {
public:
    WorkBuffer(int32_t bytes, uint8_t* callers) {
        if (bytes <= 0) return;
        if (callers != nullptr) {
            work_ = callers + ((0 - reinterpret_cast<uintptr_t>(callers)) & 15);
        } else {
            owned_ = generic::vaduRivuro_8v(bytes);
            work_ = owned_;
            failed_ = owned_ == nullptr;
        }
    }
    ~WorkBuffer() { generic::zoveZiva(owned_); }
    WorkBuffer(const WorkBuffer&) = delete;
    WorkBuffer& operator=(const WorkBuffer&) = delete;

    bool failed() const { return failed_; }
    uint8_t* get() const { return work_; }

private:
    uint8_t* work_ = nullptr;
    uint8_t* owned_ = nullptr;
    bool failed_ = false;
};

// The complex transform of 2^h points (h >= 3 on the generic build, >= 4 on
// the others) from src to dst (which may be src), on the build's road for h,
// scaled when the spec's flag for the direction is set.
template <const BuildRoutines& R, bool Inverse>
void complexTransform(const float* src, float* dst, const RealFftSpec* spec, int32_t h, uint8_t* work) {
    const int32_t n = int32_t{1} << h;
    bool scaled = false;
    if (h <= R.mediumLimit) {
        (Inverse ? R.inverseMediumOrder : R.mediumOrder)(src, dst, n, spec->radixTwiddles, spec->bitReverseTable,
                                                         work);
    } else {
        if (src != dst)
            R.bitReverseCopy(src, dst, n, spec->bitReverseTable);
        else
            R.bitReverseInPlace(dst, n, spec->bitReverseTable);
        if (h <= R.radixLimit) {
            (Inverse ? R.inverseRadixPasses : R.radixPasses)(dst, n, spec->radixTwiddles, work, 1);
        } else {
            (Inverse ? R.inverseLargeOrder : R.largeOrder)(spec, dst, h, work);
            scaled = true;  // the large-order routine scales its blocks itself
        }
    }
    const int32_t divide = Inverse ? spec->scaleInverse : spec->scaleForward;
    if (divide != 0 && !scaled) R.scale(spec->scaleFactor, dst, 2 * static_cast<int64_t>(n));
}

// Forward real transform of order >= 4 into Perm order in dst.
template <const BuildRoutines& R>
void forwardToPerm(const float* src, float* dst, const RealFftSpec* spec, uint8_t* work) {
    const int32_t h = spec->order - 1;
    complexTransform<R, false>(src, dst, spec, h, work);
    const float t0 = dst[0], t1 = dst[1];
    dst[0] = t0 + t1;
    dst[1] = t0 - t1;
    R.recombineForward(dst, int32_t{1} << h, spec->forwardSplitWeights);
}

// Inverse real transform of order >= 4 from the Perm or CCS spectrum in src
// (bins 1 .. N/2 - 1 at floats 2 .. N - 1); r0 and rHalf are R(0) and
// R(N/2). src may be dst.
template <const BuildRoutines& R>
void inverseFromBins(const float* src, float r0, float rHalf, float* dst, const RealFftSpec* spec, uint8_t* work) {
    const int32_t h = spec->order - 1;
    dst[0] = r0 + rHalf;
    dst[1] = r0 - rHalf;
    R.recombineInverse(src, dst, int32_t{1} << h, spec->inverseSplitTwiddles);
    complexTransform<R, true>(dst, dst, spec, h, work);
}

}  // namespace primitives
