// The four builds of the Layer III signal steps. The drivers are written
// once (Mp3InverseMdct.h, Mp3Synthesis.h); the generic and SSE builds plug in
// the integer transforms, the SSE2 and SSE3-class builds the double-precision
// ones, and each build its own memory kernels.
#include "primitives/mp3/Mp3SignalBodies.h"

#include "primitives/mp3/Mp3DoubleTransforms.h"
#include "primitives/mp3/Mp3InverseMdct.h"
#include "primitives/mp3/Mp3Requantization.h"
#include "primitives/mp3/Mp3Synthesis.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {

#define VELKARN_MP3_SIGNAL_BUILD(build, targetAttribute, imdct, synthesis, band)                              \
    namespace build {                                                                                        \
    namespace {                                                                                              \
    struct ImdctKernels : mp3::imdct {                                                                       \
        static void fillWords(int32_t* dst, int32_t count) { fillWords32Kernel_##build(0, dst, count); }     \
    };                                                                                                       \
    struct RequantizationKernels {                                                                           \
        static PrimitiveStatus requantizeBand(const int32_t* src, int32_t* dst, int32_t count, int32_t a) {  \
            return mp3::band(src, dst, count, a);                                                            \
        }                                                                                                    \
        static void zeroBytes(void* dst, int32_t bytes) { zeroBytesKernel_##build(dst, bytes); }             \
        static void copyBytes(const void* src, void* dst, int32_t bytes) {                                   \
            copyBytesKernel_##build(src, dst, bytes);                                                        \
        }                                                                                                    \
        static void fillWords(int32_t* dst, int32_t count) { fillWords32Kernel_##build(0, dst, count); }     \
    };                                                                                                       \
    }                                                                                                        \
    targetAttribute PrimitiveStatus zaviReQuantize_MP3_32s_I(int32_t* spectrum, int32_t* nonzeroBounds,      \
                                                             const int8_t* scaleFactors,                     \
                                                             const MP3SideInfo* sideInfo,                    \
                                                             const MP3FrameHeader* header, int32_t* work) {  \
        return mp3::requantizeGranule<RequantizationKernels>(spectrum, nonzeroBounds, scaleFactors, sideInfo, \
                                                             header, work);                                  \
    }                                                                                                        \
    targetAttribute PrimitiveStatus requantizeBand(const int32_t* src, int32_t* dst, int32_t count,          \
                                                   int32_t exponent) {                                       \
        return mp3::band(src, dst, count, exponent);                                                         \
    }                                                                                                        \
    targetAttribute PrimitiveStatus zaviMDCTInv_MP3_32s(int32_t* spectrum, int32_t* subbandSamples,          \
                                                        int32_t* overlap, int32_t nonzeroBound,              \
                                                        int32_t* previousCount, int32_t blockType,           \
                                                        int32_t mixedBlockFlag) {                            \
        return mp3::inverseMdct<ImdctKernels>(spectrum, subbandSamples, overlap, nonzeroBound, previousCount, \
                                              blockType, mixedBlockFlag);                                    \
    }                                                                                                        \
    targetAttribute PrimitiveStatus zaviSynthPQMF_MP3_32s16s(const int32_t* subbandSamples, int16_t* pcm,    \
                                                             int32_t* history, int32_t* ringPosition,        \
                                                             int32_t mode) {                                 \
        return mp3::synthesizeSlot<mp3::synthesis>(subbandSamples, pcm, history, ringPosition, mode);        \
    }                                                                                                        \
    }

VELKARN_MP3_SIGNAL_BUILD(generic, , IntegerImdct, IntegerSynthesis, requantizeBandByPolynomial)
VELKARN_MP3_SIGNAL_BUILD(sse, __attribute__((target("sse"))), IntegerImdct, IntegerSynthesis,
                         requantizeBandByPolynomial)
VELKARN_MP3_SIGNAL_BUILD(sse2, __attribute__((target("sse2"))), DoubleImdct, DoubleSynthesis,
                         requantizeBandByTable)
VELKARN_MP3_SIGNAL_BUILD(sse3, __attribute__((target("sse3"))), DoubleImdct, DoubleSynthesis,
                         requantizeBandByTable)

#undef VELKARN_MP3_SIGNAL_BUILD

}  // namespace primitives
