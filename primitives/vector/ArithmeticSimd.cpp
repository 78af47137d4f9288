// Element-wise arithmetic of the SSE, SSE2 and SSE3-class builds. One scheme
// for all three, with each kernel's store kinds, thresholds and prefetching:
//   - under 11 elements: one at a time;
//   - a destination off 4-byte alignment: blocks of 8 with unaligned stores;
//   - otherwise 1 to 3 single elements bring the destination to a 16-byte
//     boundary, then blocks of 8 with aligned or non-temporal stores, then
//     the last 0 to 7 singly.
// Sources are read with aligned loads where their address allows, so every
// combination has its own loop. All arithmetic is single precision, so the
// results equal the generic build's bit for bit (NaN payloads aside).
#include <immintrin.h>

#include "primitives/core/BuildSupport.h"
#include "primitives/vector/ArithmeticOps.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {
namespace {

using namespace arithmetic;

enum class Stores {
    aligned,
    streamed,
    // streamed when the source is off 16-byte alignment or the blocks exceed
    // streamAboveBlocks, else aligned
    streamedWhenMisalignedOrLarge,
};

enum class Prefetch {
    none,
    bothSources,       // 64 bytes ahead, to all cache levels
    firstSource,       // the non-destination source, 64 bytes ahead
    nextLineWhenLarge, // the next 32 bytes, non-temporal, above prefetchAboveElements
};

struct KernelShape {
    Stores stores;
    Prefetch prefetch;
    int64_t streamAboveBlocks = 0;
    int64_t prefetchAboveElements = 0;
};

enum class StoreKind { aligned, streamed, unaligned };

template <bool aligned>
inline __m128 load4(const float* p) {
    if constexpr (aligned) {
        return _mm_load_ps(p);
    } else {
        return _mm_loadu_ps(p);
    }
}

template <StoreKind kind>
inline void store4(float* p, __m128 v) {
    if constexpr (kind == StoreKind::aligned) {
        _mm_store_ps(p, v);
    } else if constexpr (kind == StoreKind::streamed) {
        _mm_stream_ps(p, v);
    } else {
        _mm_storeu_ps(p, v);
    }
}

inline void prefetchT0(const float* p) { _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0); }
inline void prefetchNta(const float* p) { _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_NTA); }

// a: the first vector argument; b: the second (srcDst for the in-place
// forms), unused by the constant forms, which use c.
template <typename Op, bool kConstant>
struct Operands {
    const float* a;
    const float* b;
    float c;

    float at(int64_t i) const {
        return kConstant ? Op::scalar(loadFloat(a + i), c) : Op::scalar(loadFloat(a + i), loadFloat(b + i));
    }
};

template <typename Op, bool kConstant, KernelShape kShape, StoreKind kStore, bool alignedA, bool alignedB>
void blockLoop(const Operands<Op, kConstant>& x, float* dst, int64_t begin, int64_t end, bool prefetchLarge) {
    // Local copies: the vector stores may alias anything, the operands
    // record included, and would force a reload per block.
    const float* const a = x.a;
    const float* const b = x.b;
    const __m128 c = _mm_set1_ps(x.c);
    for (int64_t i = begin; i < end; i += 8) {
        if constexpr (kShape.prefetch == Prefetch::bothSources) {
            prefetchT0(a + i + 16);
            prefetchT0(b + i + 16);
        } else if constexpr (kShape.prefetch == Prefetch::firstSource) {
            prefetchT0(a + i + 16);
        } else if constexpr (kShape.prefetch == Prefetch::nextLineWhenLarge) {
            if (prefetchLarge) prefetchNta(a + i + 8);
        }
        const __m128 a0 = load4<alignedA>(a + i);
        const __m128 a1 = load4<alignedA>(a + i + 4);
        __m128 r0;
        __m128 r1;
        if constexpr (kConstant) {
            r0 = Op::vector(a0, c);
            r1 = Op::vector(a1, c);
        } else {
            r0 = Op::vector(a0, load4<alignedB>(b + i));
            r1 = Op::vector(a1, load4<alignedB>(b + i + 4));
        }
        store4<kStore>(dst + i, r0);
        store4<kStore>(dst + i + 4, r1);
    }
}

template <typename Op, bool kConstant, KernelShape kShape, StoreKind kStore>
void blocks(const Operands<Op, kConstant>& x, float* dst, int64_t begin, int64_t end, bool prefetchLarge) {
    const bool alignedA = addressOf(x.a + begin) % 16 == 0;
    const bool alignedB = kConstant || addressOf(x.b + begin) % 16 == 0;
    if (alignedA && alignedB) {
        blockLoop<Op, kConstant, kShape, kStore, true, true>(x, dst, begin, end, prefetchLarge);
    } else if (alignedA) {
        blockLoop<Op, kConstant, kShape, kStore, true, false>(x, dst, begin, end, prefetchLarge);
    } else if (alignedB) {
        blockLoop<Op, kConstant, kShape, kStore, false, true>(x, dst, begin, end, prefetchLarge);
    } else {
        blockLoop<Op, kConstant, kShape, kStore, false, false>(x, dst, begin, end, prefetchLarge);
    }
}

template <typename Op, bool kConstant, KernelShape kShape>
void elementwise(const Operands<Op, kConstant>& x, float* dst, int64_t len) {
    int64_t i = 0;
    if (len >= 11) {
        if (addressOf(dst) % 4 != 0) {
            const int64_t end = len / 8 * 8;
            blocks<Op, kConstant, kShape, StoreKind::unaligned>(x, dst, 0, end, false);
            i = end;
        } else {
            for (; addressOf(dst + i) % 16 != 0; ++i) storeFloat(dst + i, x.at(i));
            const int64_t blockCount = (len - i) / 8;
            const int64_t end = i + blockCount * 8;
            const bool prefetchLarge = blockCount * 8 > kShape.prefetchAboveElements;
            bool stream = kShape.stores == Stores::streamed;
            if constexpr (kShape.stores == Stores::streamedWhenMisalignedOrLarge) {
                stream = addressOf(x.a + i) % 16 != 0 || blockCount > kShape.streamAboveBlocks;
            }
            if (stream) {
                blocks<Op, kConstant, kShape, StoreKind::streamed>(x, dst, i, end, prefetchLarge);
                // Another thread may read the block once this call returns.
                _mm_sfence();
            } else {
                blocks<Op, kConstant, kShape, StoreKind::aligned>(x, dst, i, end, prefetchLarge);
            }
            i = end;
        }
    }
    for (; i < len; ++i) storeFloat(dst + i, x.at(i));
}

constexpr KernelShape kMulOrSubVectors{Stores::streamed, Prefetch::bothSources};
constexpr KernelShape kVectorsInPlace{Stores::aligned, Prefetch::firstSource};
constexpr KernelShape kAddConst{Stores::aligned, Prefetch::none};
constexpr KernelShape kMulConstSse2{Stores::streamedWhenMisalignedOrLarge, Prefetch::none, 8192};
constexpr KernelShape kMulConstSse3{Stores::streamedWhenMisalignedOrLarge, Prefetch::none, 16384};
constexpr KernelShape kConstInPlaceSse2{Stores::aligned, Prefetch::nextLineWhenLarge, 0, 131072};
constexpr KernelShape kConstInPlaceSse3{Stores::aligned, Prefetch::nextLineWhenLarge, 0, 262144};

template <typename Op, KernelShape kShape>
void vectorsKernel(const float* src1, const float* src2, float* dst, int64_t len) {
    elementwise<Op, false, kShape>({src1, src2, 0.0f}, dst, len);
}

template <typename Op, KernelShape kShape>
void vectorsInPlaceKernel(const float* src, float* srcDst, int64_t len) {
    elementwise<Op, false, kShape>({src, srcDst, 0.0f}, srcDst, len);
}

template <typename Op, KernelShape kShape>
void constKernel(const float* src, float val, float* dst, int64_t len) {
    elementwise<Op, true, kShape>({src, nullptr, val}, dst, len);
}

template <typename Op, KernelShape kShape>
void constInPlaceKernel(float val, float* srcDst, int64_t len) {
    elementwise<Op, true, kShape>({srcDst, nullptr, val}, srcDst, len);
}

// The named kernels. The SSE build's differ from the SSE2 ones only in
// instruction scheduling, the SSE3-class ones only in their thresholds.

void mulVectorsKernel_sse(const float* a, const float* b, float* d, int64_t n) {
    vectorsKernel<Multiply, kMulOrSubVectors>(a, b, d, n);
}
void mulVectorsKernel_sse2(const float* a, const float* b, float* d, int64_t n) {
    vectorsKernel<Multiply, kMulOrSubVectors>(a, b, d, n);
}
void subVectorsKernel_sse(const float* a, const float* b, float* d, int64_t n) {
    vectorsKernel<SubtractFirst, kMulOrSubVectors>(a, b, d, n);
}
void subVectorsKernel_sse2(const float* a, const float* b, float* d, int64_t n) {
    vectorsKernel<SubtractFirst, kMulOrSubVectors>(a, b, d, n);
}

void mulVectorsInPlaceKernel_sse(const float* s, float* sd, int64_t n) {
    vectorsInPlaceKernel<Multiply, kVectorsInPlace>(s, sd, n);
}
void mulVectorsInPlaceKernel_sse2(const float* s, float* sd, int64_t n) {
    vectorsInPlaceKernel<Multiply, kVectorsInPlace>(s, sd, n);
}
void addVectorsInPlaceKernel_sse(const float* s, float* sd, int64_t n) {
    vectorsInPlaceKernel<Add, kVectorsInPlace>(s, sd, n);
}
void addVectorsInPlaceKernel_sse2(const float* s, float* sd, int64_t n) {
    vectorsInPlaceKernel<Add, kVectorsInPlace>(s, sd, n);
}
void subVectorsInPlaceKernel_sse(const float* s, float* sd, int64_t n) {
    vectorsInPlaceKernel<SubtractFirst, kVectorsInPlace>(s, sd, n);
}
void subVectorsInPlaceKernel_sse2(const float* s, float* sd, int64_t n) {
    vectorsInPlaceKernel<SubtractFirst, kVectorsInPlace>(s, sd, n);
}

void mulConstKernel_sse(const float* s, float v, float* d, int64_t n) { constKernel<Multiply, kMulConstSse2>(s, v, d, n); }
void mulConstKernel_sse2(const float* s, float v, float* d, int64_t n) { constKernel<Multiply, kMulConstSse2>(s, v, d, n); }
void mulConstKernel_sse3(const float* s, float v, float* d, int64_t n) { constKernel<Multiply, kMulConstSse3>(s, v, d, n); }
void addConstKernel_sse(const float* s, float v, float* d, int64_t n) { constKernel<Add, kAddConst>(s, v, d, n); }
void addConstKernel_sse2(const float* s, float v, float* d, int64_t n) { constKernel<Add, kAddConst>(s, v, d, n); }

void mulConstInPlaceKernel_sse(float v, float* sd, int64_t n) { constInPlaceKernel<Multiply, kConstInPlaceSse2>(v, sd, n); }
void mulConstInPlaceKernel_sse2(float v, float* sd, int64_t n) { constInPlaceKernel<Multiply, kConstInPlaceSse2>(v, sd, n); }
void mulConstInPlaceKernel_sse3(float v, float* sd, int64_t n) { constInPlaceKernel<Multiply, kConstInPlaceSse3>(v, sd, n); }
void addConstInPlaceKernel_sse(float v, float* sd, int64_t n) { constInPlaceKernel<Add, kConstInPlaceSse2>(v, sd, n); }
void addConstInPlaceKernel_sse2(float v, float* sd, int64_t n) { constInPlaceKernel<Add, kConstInPlaceSse2>(v, sd, n); }
void addConstInPlaceKernel_sse3(float v, float* sd, int64_t n) { constInPlaceKernel<Add, kConstInPlaceSse3>(v, sd, n); }

}  // namespace

namespace sse {

PrimitiveStatus zaviMul_32f(const float* src1, const float* src2, float* dst, int32_t len) {
    return twoVectors<mulVectorsKernel_sse>(src1, src2, dst, len);
}
PrimitiveStatus zaviMul_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<mulVectorsInPlaceKernel_sse>(src, srcDst, len);
}
PrimitiveStatus zaviAdd_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<addVectorsInPlaceKernel_sse>(src, srcDst, len);
}
PrimitiveStatus zaviSub_32f(const float* src1, const float* src2, float* dst, int32_t len) {
    return twoVectors<subVectorsKernel_sse>(src1, src2, dst, len);
}
PrimitiveStatus zaviSub_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<subVectorsInPlaceKernel_sse>(src, srcDst, len);
}
PrimitiveStatus zaviMulC_32f(const float* src, float val, float* dst, int32_t len) {
    return mulConstOutOfPlace<dezoRide_32d, zaviZero_32f, mulConstKernel_sse>(src, val, dst, len);
}
PrimitiveStatus zaviMulC_32f_I(float val, float* srcDst, int32_t len) {
    return mulConstInPlace<zaviZero_32f, mulConstInPlaceKernel_sse>(val, srcDst, len);
}
PrimitiveStatus zaviAddC_32f(const float* src, float val, float* dst, int32_t len) {
    return addConstOutOfPlace<dezoRide_32d, addConstKernel_sse>(src, val, dst, len);
}
PrimitiveStatus zaviAddC_32f_I(float val, float* srcDst, int32_t len) {
    return addConstInPlace<addConstInPlaceKernel_sse>(val, srcDst, len);
}

}  // namespace sse

// The two-vector bodies serve the SSE3-class build as well.
namespace sse2 {

PrimitiveStatus zaviMul_32f(const float* src1, const float* src2, float* dst, int32_t len) {
    return twoVectors<mulVectorsKernel_sse2>(src1, src2, dst, len);
}
PrimitiveStatus zaviMul_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<mulVectorsInPlaceKernel_sse2>(src, srcDst, len);
}
PrimitiveStatus zaviAdd_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<addVectorsInPlaceKernel_sse2>(src, srcDst, len);
}
PrimitiveStatus zaviSub_32f(const float* src1, const float* src2, float* dst, int32_t len) {
    return twoVectors<subVectorsKernel_sse2>(src1, src2, dst, len);
}
PrimitiveStatus zaviSub_32f_I(const float* src, float* srcDst, int32_t len) {
    return twoVectorsInPlace<subVectorsInPlaceKernel_sse2>(src, srcDst, len);
}
PrimitiveStatus zaviMulC_32f(const float* src, float val, float* dst, int32_t len) {
    return mulConstOutOfPlace<dezoRide_32d, zaviZero_32f, mulConstKernel_sse2>(src, val, dst, len);
}
PrimitiveStatus zaviMulC_32f_I(float val, float* srcDst, int32_t len) {
    return mulConstInPlace<zaviZero_32f, mulConstInPlaceKernel_sse2>(val, srcDst, len);
}
PrimitiveStatus zaviAddC_32f(const float* src, float val, float* dst, int32_t len) {
    return addConstOutOfPlace<dezoRide_32d, addConstKernel_sse2>(src, val, dst, len);
}
PrimitiveStatus zaviAddC_32f_I(float val, float* srcDst, int32_t len) {
    return addConstInPlace<addConstInPlaceKernel_sse2>(val, srcDst, len);
}

}  // namespace sse2

namespace sse3 {

PrimitiveStatus zaviMulC_32f(const float* src, float val, float* dst, int32_t len) {
    return mulConstOutOfPlace<dezoRide_32d, zaviZero_32f, mulConstKernel_sse3>(src, val, dst, len);
}
PrimitiveStatus zaviMulC_32f_I(float val, float* srcDst, int32_t len) {
    return mulConstInPlace<zaviZero_32f, mulConstInPlaceKernel_sse3>(val, srcDst, len);
}
PrimitiveStatus zaviAddC_32f(const float* src, float val, float* dst, int32_t len) {
    return addConstOutOfPlace<dezoRide_32d, addConstKernel_sse2>(src, val, dst, len);
}
PrimitiveStatus zaviAddC_32f_I(float val, float* srcDst, int32_t len) {
    return addConstInPlace<addConstInPlaceKernel_sse3>(val, srcDst, len);
}

}  // namespace sse3
}  // namespace primitives
