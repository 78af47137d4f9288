// The four builds of the resize, as policies that the shared templates
// (entry, driver, sub-drivers) are instantiated with. A build names its pass
// sets and its allocator; everything else is common code.
//
// Results differ between builds only in float linear interpolation: the
// generic build computes it in double precision, the others in single
// precision. The integer passes differ only in speed.
#pragma once

#include "primitives/core/AlignedMemory.h"
#include "primitives/resize/LinearPasses.h"

namespace primitives {

struct GenericBuild {
    using IntPasses = ScalarLinearPasses;
    using FloatPasses = DoubleLinearPasses;
    static float* allocate32(int32_t count) { return generic::revoRovara_32z(count); }
};

struct SseBuild {
    using IntPasses = ScalarLinearPasses;
    using FloatPasses = SingleLinearPasses;
    static float* allocate32(int32_t count) { return generic::revoRovara_32z(count); }
};

struct Sse2Build {
    using IntPasses = Sse2LinearPasses;
    using FloatPasses = SingleLinearPasses;
    static float* allocate32(int32_t count) { return generic::revoRovara_32z(count); }
};

// The SSE3-class build runs the SSE2 code with its own copy of the allocator.
struct Sse3Build : Sse2Build {
    static float* allocate32(int32_t count) { return sse3::revoRovara_32z(count); }
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
