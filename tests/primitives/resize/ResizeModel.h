// What the resize tests share: a case description, buffers for it, the
// build's drivers, and an independent model of the resize.
//
// The model follows the written rules per destination value: it maps each
// destination row and column to source positions (stepped by repeated
// addition), applies the edge rules, and evaluates the interpolation for that
// one value from the source elements: the intermediate values it needs are
// recomputed from the source each time, Lanczos rows and columns clamped to
// the image by index. It keeps no intermediate rows, no row window and uses
// no code of the library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

// The arithmetic of a build family, which decides the model's rounding:
//   doublePrecision  the generic build: double precision, rounded to float
//                    where a float is stored (and, in cubic, where a3 is held)
//   sse              single precision; cubic multi-channel horizontal values
//                    in groups of four pixels and a scalar tail
//   sse2Class        single precision; cubic multi-channel horizontal values
//                    one pixel per step; Lanczos 8/16-bit vertical sums in
//                    double
// Linear float results are the same for sse and sse2Class.
enum class ModelArithmetic { doublePrecision, sse, sse2Class };

ModelArithmetic arithmeticOf(int32_t build);

// The method that a case runs after the small-source lowering (on the whole
// image: below 8 pixels Lanczos becomes cubic, below 4 cubic becomes
// linear, below 2 anything becomes nearest).
int32_t modelMethod(const ResizeCase& c);

// The model's own building blocks, exposed so that they can be checked
// against closed forms.
// The cubic through (-1, p0), (0, p1), (1, p2), (2, p3) at t, in double.
double modelCubic(double p0, double p1, double p2, double p3, double t);
// The kernel table (302 entries) and the six weights of a fraction.
const std::vector<float>& modelLanczosTable();
void modelLanczosWeights(float fraction, ModelArithmetic arithmetic, float weights[6]);

// The destination planes after the call, from the model.
std::vector<std::vector<uint8_t>> modelResize(const ResizeCase& c, const ResizeBuffers& before, ModelArithmetic arithmetic);

// The program's two-call stretch of a packed BGRA image (see
// stretchTwice): the model of the first call on the image, then of the
// second on both images one byte on. Returns the destination after both.
std::vector<uint8_t> modelStretchTwice(const std::vector<uint8_t>& src, int32_t srcWidth, int32_t srcHeight,
                                       const std::vector<uint8_t>& dst, int32_t dstWidth, int32_t dstHeight,
                                       int32_t interpolation, ModelArithmetic arithmetic);

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

// A random valid cubic or Lanczos case: images of 4 to 40 pixels per axis,
// region origins 0, 1, 2 or 5 (or 1 to 3 pixels before the image's end),
// regions ending at the image's edge, inside it or overhanging it,
// destinations of 1 to 67 pixels, factors 0.05 to 20 or destination over
// region size, every data type and layout, planar, factor mode 0 and
// shifts.
ResizeCase randomInterpolatingCase(std::mt19937_64& random);

// The number of cases of a seeded sweep: a quarter in sanitizer builds,
// whose purpose is memory and arithmetic faults, not coverage of values.
constexpr int sweepCases(int cases) {
#ifdef VELKARN_SANITIZED_TESTS
    return cases / 4;
#else
    return cases;
#endif
}

// An element of any type at an unaligned byte address.
template <typename T>
T readElement(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void writeElement(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// Random helpers for seeded sweeps.
int32_t randomInt(std::mt19937_64& random, int32_t low, int32_t high);  // low ... high
double randomDouble(std::mt19937_64& random, double low, double high);

}  // namespace primitives::test
