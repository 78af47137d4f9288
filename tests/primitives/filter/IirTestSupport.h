// Shared by the IIR tests: filters as the create entries take them, running
// a signal through a state in chosen calls, and a double-precision
// reference of the same transposed direct form II.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "primitives.h"

namespace primitives::test {

// A filter as the create entries take it: for an arbitrary-order filter
// b0..bN, a0..aN; for a cascade b0, b1, b2, a0, a1, a2 per section.
struct IirFilter {
    int32_t order = 0;     // N; twice the section count for a cascade
    int32_t sections = 0;  // 0 for an arbitrary-order filter
    std::vector<float> taps;

    static IirFilter arbitrary(std::vector<float> taps);
    static IirFilter cascade(std::vector<float> taps);
    std::string describe() const;
};

// Creates a state with the selected build (the dispatch index as it is
// now): through zaviIIRInitAlloc_32f, or that build's section creator.
PrimitiveStatus createState(const IirFilter& filter, const float* initialDelay, IirState** state);

// Owns a state made by createState; fails the test when creation fails.
class ScopedIirState {
public:
    explicit ScopedIirState(const IirFilter& filter, const float* initialDelay = nullptr);
    ~ScopedIirState();
    ScopedIirState(const ScopedIirState&) = delete;
    ScopedIirState& operator=(const ScopedIirState&) = delete;
    IirState* get() const { return state_; }
    std::vector<float> delayLine() const;

private:
    IirState* state_ = nullptr;
    int32_t order_ = 0;
};

enum class CallKind {
    outOfPlace,   // zaviIIR_32f into another buffer
    sameBuffer,   // zaviIIR_32f with dst == src
    inPlaceEntry  // zaviIIR_32f_I
};

struct IirRun {
    std::vector<float> output;
    std::vector<float> delay;
};

// Filters `input` with a new state of the selected build, in consecutive
// calls of the given lengths (empty: one call), and reads the final delay
// line. Source and destination start the given number of bytes past a
// 32-byte boundary (one buffer for the in-place kinds, at srcOffset).
struct IirCallLayout {
    CallKind kind = CallKind::outOfPlace;
    int32_t srcOffset = 0;
    int32_t dstOffset = 0;
};
IirRun runIir(const IirFilter& filter, std::span<const float> input, std::span<const int32_t> calls = {},
              const float* initialDelay = nullptr, IirCallLayout layout = {});

// Call lengths that add up to `total`: between 2 and `maxCalls` calls cut at
// random positions; with `evenCuts`, every cut falls on an even position.
std::vector<int32_t> randomCalls(int32_t total, std::mt19937& random, int maxCalls = 6, bool evenCuts = false);

// The transposed direct form II in double precision with taps bk/a0, ak/a0
// (exact for the tests' filters), from an initial delay line (null: zeros).
// A cascade runs section by section. `signals`, when given, receives every
// section's output too.
struct IirReference {
    std::vector<double> output;
    std::vector<double> delay;
};
IirReference referenceIir(const IirFilter& filter, std::span<const float> input, const float* initialDelay = nullptr,
                          std::vector<std::vector<double>>* signals = nullptr);

struct ExactnessCheck {
    double bound = 0;
    bool quarters = true;
    IirReference reference;  // the case's reference, computed on the way
};

// The plain single-precision loop of the same form, sample by sample.
IirReference naiveFloatIir(const IirFilter& filter, std::span<const float> input);

inline bool sameBits(std::span<const float> a, std::span<const float> b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A stable filter with a0 = 1: poles of radius at most `maxRadius`, one in
// each slice of the upper half plane (and one real pole for an odd order),
// expanded in double and rounded to float taps; numerator taps uniform in
// [-1, 1).
IirFilter randomStableFilter(int32_t order, double maxRadius, std::mt19937& random);
// A cascade of biquads with a0 = 1, pole pairs of radius at most
// `maxRadius` spread in angle, each with a pair of zeros inside its poles
// near their angle.
IirFilter randomStableCascade(int32_t sections, double maxRadius, std::mt19937& random);

// Filters whose every intermediate value, in every build, is a multiple of
// 1/4 well inside float's exact range on inputs from smallIntegers: taps 0
// or a power of two in magnitude, a0 a power of two, integer normalised
// feedback taps of magnitude at most 2, and simple poles on the unit circle
// (products of distinct cyclotomic polynomials, combs 1 +- z^-N).
// Arbitrary orders 0-16, 31, 32 and 100, two filters each (one for order 0).
std::vector<IirFilter> exactArbitraryFilters(std::mt19937& random);
// Cascades of 1 to 6 sections with distinct poles.
std::vector<IirFilter> exactCascades(std::mt19937& random);
// A delay line for `filter` of multiples of 1/4 in [-4, 4].
std::vector<float> quarterSteps(std::size_t count, std::mt19937& random);
// A bound on the magnitude of every intermediate value of any build's
// computation on this case (products, partial sums, delay values, the
// recursion matrix's terms), and whether every value the reference meets is
// a multiple of 1/4. The exact tests require bound < 2^22 and multiples.
struct ExactnessCheck;
ExactnessCheck checkExactness(const IirFilter& filter, std::span<const float> input, const float* initialDelay);

// Integers in [-4, 4], as floats.
std::vector<float> smallIntegers(std::size_t count, std::mt19937& random);
// Uniform in [-1, 1).
std::vector<float> uniformSignal(std::size_t count, std::mt19937& random);

// The builds this processor runs, from `first` on.
std::vector<int32_t> runnableBuilds(int32_t first = 1);

}  // namespace primitives::test
