// What the resize tests share: a case description, buffers for it, the
// build's drivers, and an independent model of the resize.
//
// The model follows the written rules per destination pixel: it maps each
// destination row and column to source positions (stepped by repeated
// addition), applies the edge rules, and evaluates the interpolation for that
// one pixel from the source elements. It keeps no intermediate rows and uses
// no code of the library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "primitives/resize/ResizeParameters.h"

namespace primitives::test {

// One call of a general driver, steps in bytes.
struct ResizeCase {
    int32_t dataType = resizeData8u;
    int32_t channels = 4;
    int32_t layout = 3;
    bool planar = false;
    int32_t interpolation = resizeInterpolationLinear;
    int32_t factorMode = 1;
    int32_t srcWidth = 0, srcHeight = 0, srcStep = 0;
    int32_t roiX = 0, roiY = 0, roiWidth = 0, roiHeight = 0;
    int32_t dstWidth = 0, dstHeight = 0, dstStep = 0;
    double xFactor = 1.0, yFactor = 1.0;
    double xShift = 0.0, yShift = 0.0;

    int32_t elementSize() const;
    int32_t planes() const;          // 1 for interleaved images
    // Whether the entry can express the case (8-bit, 4 elements, 3 processed,
    // interleaved, factor mode 1, no shifts).
    bool entryShaped() const;
    ResizeParameters parameters(const void* src, void* dst) const;
    std::string describe() const;
};

// A whole-image case with rows packed without padding and the factors
// dstWidth / srcWidth and dstHeight / srcHeight.
ResizeCase packedResizeCase(int32_t dataType, int32_t channels, int32_t layout, int32_t interpolation,
                            int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight);

// Source and destination planes of a case (one plane when interleaved).
struct ResizeBuffers {
    std::vector<std::vector<uint8_t>> src;
    std::vector<std::vector<uint8_t>> dst;
    std::vector<const void*> srcPlanes;
    std::vector<void*> dstPlanes;

    // Sizes from the case; random source elements (finite floats) and a
    // random destination fill that the call must leave where it writes
    // nothing.
    ResizeBuffers(const ResizeCase& c, std::mt19937_64& random);
    ResizeBuffers(const ResizeBuffers& other);
    ResizeBuffers& operator=(const ResizeBuffers&) = delete;

    // What the driver takes: the image, or the array of plane pointers.
    const void* srcArgument() const;
    void* dstArgument();

private:
    void pointPlanes();
};

// Float linear results: single precision (SSE-class builds) or double
// precision rounded once per stored value (generic build).
enum class FloatModel { single, doublePrecision };

FloatModel floatModelOf(int32_t build);

// The destination planes after the call, from the model.
std::vector<std::vector<uint8_t>> modelResize(const ResizeCase& c, const ResizeBuffers& before, FloatModel floats);

// Destination planes compared element by element. With floatUlps > 0, float
// elements may differ by that many units in the last place (NaN matches NaN).
::testing::AssertionResult sameDestination(const ResizeCase& c, const std::vector<std::vector<uint8_t>>& expected,
                                           const std::vector<std::vector<uint8_t>>& actual, int floatUlps = 0);

// The general driver of a build (1 generic ... 4 SSE3-class).
using GeneralDriverFunction = PrimitiveStatus (*)(const ResizeParameters&);
GeneralDriverFunction generalDriverOf(int32_t build);

// A random valid case for seeded sweeps: 8-bit, 16-bit or float data, every
// layout and planar, nearest or linear, both factor modes, sometimes shifts;
// regions of 1 to 67 pixels per axis inside larger images, at their right and
// bottom edges or overhanging them; factors as destination over region size
// or random between 0.02 and 20; destinations above and below the clipped
// size.
ResizeCase randomResizeCase(std::mt19937_64& random);

// The number of cases of a seeded sweep: a quarter in sanitizer builds,
// whose purpose is memory and arithmetic faults, not coverage of values.
constexpr int sweepCases(int cases) {
#ifdef VELKARN_SANITIZED_TESTS
    return cases / 4;
#else
    return cases;
#endif
}

// Random helpers for seeded sweeps.
int32_t randomInt(std::mt19937_64& random, int32_t low, int32_t high);  // low ... high
double randomDouble(std::mt19937_64& random, double low, double high);

}  // namespace primitives::test
