// The vector primitives inside the library: each build's bodies of the
// vector entries, its memory-mover kernels and its checked byte zero fill.
//
// Code of one build calls these directly, never through a dispatch stub:
// the transform set-ups, the MP3 steps, the resize and the filters use the
// zero, fill and copy kernels, zeroBytes_* and the zero, copy and
// multiply-by-constant bodies of their own build.
//
// Kernel contract: counts are 64-bit; a count of 0 or below writes nothing;
// every kernel returns dst. The copy kernels move forward and need source
// and destination ranges that do not overlap (the entries dezoRide_32d and
// zaviCopy_8u accept overlapping ranges). The fill kernels store a 32-bit
// pattern at any byte alignment. Kernels that write with non-temporal stores
// end them with a store fence.
#pragma once

#include <cstdint>

#include "primitives.h"

namespace primitives {

// ---- Kernels --------------------------------------------------------------

void* zeroBytesKernel_generic(void* dst, int64_t n);
void* zeroBytesKernel_sse(void* dst, int64_t n);
void* zeroBytesStreamKernel_sse(void* dst, int64_t n);
void* zeroBytesKernel_sse2(void* dst, int64_t n);
void* zeroBytesKernel_sse3(void* dst, int64_t n);

void* fillWords32Kernel_generic(uint32_t value, void* dst, int64_t n);
void* fillWords32Kernel_sse(uint32_t value, void* dst, int64_t n);
void* fillWords32StreamKernel_sse(uint32_t value, void* dst, int64_t n);
void* fillWords32Kernel_sse2(uint32_t value, void* dst, int64_t n);
void* fillWords32Kernel_sse3(uint32_t value, void* dst, int64_t n);

void* copyBytesKernel_generic(const void* src, void* dst, int64_t n);
void* copyBytesKernel_sse(const void* src, void* dst, int64_t n);
void* copyBytesStreamKernel_sse(const void* src, void* dst, int64_t n);
void* copyBytesPagedKernel_sse(const void* src, void* dst, int64_t n);
void* copyBytesKernel_sse2(const void* src, void* dst, int64_t n);
void* copyBytesKernel_sse3(const void* src, void* dst, int64_t n);

// Reads ahead over n bytes from address (touching and prefetching each
// 4096-byte page); writes nothing.
void prefetchPages_sse(const void* address, int64_t n);

// ---- Checked byte zero fill -----------------------------------------------

// len bytes at dst = 0. -8 for a null dst, -6 for len <= 0 (nothing written),
// else 0.
PrimitiveStatus zeroBytes_generic(void* dst, int64_t len);
PrimitiveStatus zeroBytes_sse(void* dst, int64_t len);
PrimitiveStatus zeroBytes_sse2(void* dst, int64_t len);
PrimitiveStatus zeroBytes_sse3(void* dst, int64_t len);

// ---- Entry bodies ---------------------------------------------------------
// Every build declares the same list; VECTOR_BODIES is expanded once per
// build namespace. zaviMul_32f, zaviMul_32f_I, zaviAdd_32f_I, zaviSub_32f
// and zaviSub_32f_I have one body for the SSE2 and SSE3-class builds (the
// sse2 one).

#define VECTOR_MOVER_BODIES                                                                    \
    PrimitiveStatus zaviZero_32f(float* dst, int32_t len);                                    \
    PrimitiveStatus zaviSet_32f(float val, float* dst, int32_t len);                          \
    PrimitiveStatus dezoRide_32d(const float* src, float* dst, int32_t len);                  \
    PrimitiveStatus zaviCopy_8u(const uint8_t* src, uint8_t* dst, int32_t len);               \
    PrimitiveStatus zaviVectorRamp_32f(float* dst, int32_t len, float offset, float slope);

#define VECTOR_CONSTANT_ARITHMETIC_BODIES                                                      \
    PrimitiveStatus zaviMulC_32f(const float* src, float val, float* dst, int32_t len);       \
    PrimitiveStatus zaviMulC_32f_I(float val, float* srcDst, int32_t len);                     \
    PrimitiveStatus zaviAddC_32f(const float* src, float val, float* dst, int32_t len);       \
    PrimitiveStatus zaviAddC_32f_I(float val, float* srcDst, int32_t len);

#define VECTOR_VECTOR_ARITHMETIC_BODIES                                                        \
    PrimitiveStatus zaviMul_32f(const float* src1, const float* src2, float* dst, int32_t len); \
    PrimitiveStatus zaviMul_32f_I(const float* src, float* srcDst, int32_t len);               \
    PrimitiveStatus zaviAdd_32f_I(const float* src, float* srcDst, int32_t len);               \
    PrimitiveStatus zaviSub_32f(const float* src1, const float* src2, float* dst, int32_t len); \
    PrimitiveStatus zaviSub_32f_I(const float* src, float* srcDst, int32_t len);

#define VECTOR_FUNCTION_AND_STATISTICS_BODIES                                                  \
    PrimitiveStatus zaviAbs_32f(const float* src, float* dst, int32_t len);                    \
    PrimitiveStatus zaviSqr_32f(const float* src, float* dst, int32_t len);                    \
    PrimitiveStatus zaviFlip_32f_I(float* srcDst, int32_t len);                                \
    PrimitiveStatus zaviThreshold_LT_32f_I(float* srcDst, int32_t len, float level);          \
    PrimitiveStatus zaviLn_32f_I(float* srcDst, int32_t len);                                  \
    PrimitiveStatus zaviMax_32f(const float* src, int32_t len, float* pMax);                   \
    PrimitiveStatus zaviMin_32f(const float* src, int32_t len, float* pMin);                   \
    PrimitiveStatus zaviMaxIndx_32f(const float* src, int32_t len, float* pMax, int32_t* pIndex); \
    PrimitiveStatus zaviMinIndx_32f(const float* src, int32_t len, float* pMin, int32_t* pIndex); \
    PrimitiveStatus zaviMinMax_32f(const float* src, int32_t len, float* pMin, float* pMax);   \
    PrimitiveStatus zaviSum_32f(const float* src, int32_t len, float* pSum, int32_t hint);

namespace generic {
VECTOR_MOVER_BODIES
VECTOR_CONSTANT_ARITHMETIC_BODIES
VECTOR_VECTOR_ARITHMETIC_BODIES
VECTOR_FUNCTION_AND_STATISTICS_BODIES
}  // namespace generic

namespace sse {
VECTOR_MOVER_BODIES
VECTOR_CONSTANT_ARITHMETIC_BODIES
VECTOR_VECTOR_ARITHMETIC_BODIES
VECTOR_FUNCTION_AND_STATISTICS_BODIES
}  // namespace sse

namespace sse2 {
VECTOR_MOVER_BODIES
VECTOR_CONSTANT_ARITHMETIC_BODIES
VECTOR_VECTOR_ARITHMETIC_BODIES
VECTOR_FUNCTION_AND_STATISTICS_BODIES
}  // namespace sse2

namespace sse3 {
VECTOR_MOVER_BODIES
VECTOR_CONSTANT_ARITHMETIC_BODIES
VECTOR_FUNCTION_AND_STATISTICS_BODIES
}  // namespace sse3

#undef VECTOR_MOVER_BODIES
#undef VECTOR_CONSTANT_ARITHMETIC_BODIES
#undef VECTOR_VECTOR_ARITHMETIC_BODIES
#undef VECTOR_FUNCTION_AND_STATISTICS_BODIES

}  // namespace primitives
