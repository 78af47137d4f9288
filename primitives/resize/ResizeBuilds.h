// The four builds of the resize, as policies that the shared templates
// (entry, driver, sub-drivers) are instantiated with. A build names its pass
// sets, its Lanczos weight builder, its allocator and its row copy (the
// build's own dezoRide_32d body, with which the Lanczos window repeats the
// image's first or last row; its lengths are at least 1 and its buffers
// never null, so its status is not looked at); everything else is common
// code.
//
// Linear results differ between builds only in float data: the generic
// build computes it in double precision, the others in single precision.
// Cubic and Lanczos arithmetic is double precision in the generic build and
// single precision in the others, with the differences that CubicPasses.h
// and LanczosPasses.h describe; the SSE2-class builds agree bit for bit.
//
// Super-sampling: zeroBytes is the build's own checked zero fill;
// columnSumsStore says whether the case-BothWhole column sums are written
// over the accumulator (SSE2 class) or added to it; floatColumnTailInDouble
// whether the one-channel float column sums take their last count mod 16
// columns in double precision, rounded once: the only place where the
// super-sampling results of the two pairs of builds differ.
#pragma once

#include "primitives/core/AlignedMemory.h"
#include "primitives/resize/CubicPasses.h"
#include "primitives/resize/LanczosPasses.h"
#include "primitives/resize/LanczosWeights.h"
#include "primitives/resize/LinearPasses.h"
#include "primitives/vector/VectorBuilds.h"

namespace primitives {

struct GenericBuild {
    using IntPasses = ScalarLinearPasses;
    using FloatPasses = DoubleLinearPasses;
    using Cubic = CubicDouble;
    using LanczosWeights = WeightsDouble;
    using Lanczos = LanczosDouble;
    static float* allocate32(int32_t count) { return generic::revoRovara_32z(count); }
    static void copyRow(const float* from, float* to, int32_t count) { generic::dezoRide_32d(from, to, count); }
    static void zeroBytes(void* dst, int64_t bytes) { zeroBytes_generic(dst, bytes); }
    static constexpr bool columnSumsStore = false;
    static constexpr bool floatColumnTailInDouble = false;
};

struct SseBuild {
    using IntPasses = ScalarLinearPasses;
    using FloatPasses = SingleLinearPasses;
    using Cubic = CubicSingle<GroupsOfFourPixels>;
    using LanczosWeights = WeightsSingle;
    using Lanczos = LanczosSingle;
    static float* allocate32(int32_t count) { return generic::revoRovara_32z(count); }
    static void copyRow(const float* from, float* to, int32_t count) { sse::dezoRide_32d(from, to, count); }
    static void zeroBytes(void* dst, int64_t bytes) { zeroBytes_sse(dst, bytes); }
    static constexpr bool columnSumsStore = false;
    static constexpr bool floatColumnTailInDouble = false;
};

struct Sse2Build {
    using IntPasses = Sse2LinearPasses;
    using FloatPasses = SingleLinearPasses;
    using Cubic = CubicSingle<PixelPerStep>;
    using LanczosWeights = WeightsSingle;
    using Lanczos = LanczosSingleRowsDoubleColumns;
    static float* allocate32(int32_t count) { return generic::revoRovara_32z(count); }
    static void copyRow(const float* from, float* to, int32_t count) { sse2::dezoRide_32d(from, to, count); }
    static void zeroBytes(void* dst, int64_t bytes) { zeroBytes_sse2(dst, bytes); }
    static constexpr bool columnSumsStore = true;
    static constexpr bool floatColumnTailInDouble = true;
};

// The SSE3-class build runs the SSE2 code with its own copies of the
// allocator, the row copy and the zero fill.
struct Sse3Build : Sse2Build {
    static float* allocate32(int32_t count) { return sse3::revoRovara_32z(count); }
    static void copyRow(const float* from, float* to, int32_t count) { sse3::dezoRide_32d(from, to, count); }
    static void zeroBytes(void* dst, int64_t bytes) { zeroBytes_sse3(dst, bytes); }
};

// The pass set, intermediate element and weight types of a data type.
template <typename T, typename Build>
struct LinearPassesOf {
    using Passes = typename Build::IntPasses;
    using Intermediate = uint16_t;
    using RowWeight = uint16_t;
    using ColWeight = LinearWeightPairQ14;
};

template <typename Build>
struct LinearPassesOf<float, Build> {
    using Passes = typename Build::FloatPasses;
    using Intermediate = float;
    using RowWeight = float;
    using ColWeight = float;
};

}  // namespace primitives
