// How far each build's IIR results lie from a double-precision run of the
// same float taps, measured against a plain single-precision loop:
//
//   |y - y_ref| <= 16 * max|y_naive - y_ref| + 32 * eps * max|y_ref|
//
// for every output and for the final delay line (eps = 2^-24), the naive
// error taken over outputs and delay line alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "BuildTest.h"
#include "IirTestSupport.h"

namespace primitives {
namespace {

using test::IirFilter;

class IirAccuracy : public test::PerBuildTest {};

template <typename A, typename B>
double largestDifference(const std::vector<A>& a, const std::vector<B>& b) {
    double largest = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        largest = std::max(largest, std::fabs(double(a[i]) - double(b[i])));
    }
    return largest;
}

double largestMagnitude(const std::vector<double>& values) {
    double largest = 0;
    for (double v : values) largest = std::max(largest, std::fabs(v));
    return largest;
}

void expectWithinBound(const IirFilter& filter, std::mt19937& random) {
    SCOPED_TRACE(filter.describe());
    const int32_t length = 20000;
    const std::vector<float> input = test::uniformSignal(length, random);
    const std::vector<int32_t> calls = test::randomCalls(length, random, 12);
    const test::IirRun run = test::runIir(filter, input, calls);
    const test::IirReference reference = test::referenceIir(filter, input);
    const test::IirReference naive = test::naiveFloatIir(filter, input);
    ASSERT_EQ(run.output.size(), reference.output.size());
    ASSERT_EQ(run.delay.size(), reference.delay.size());

    const double eps = std::ldexp(1.0, -24);
    const double peak = largestMagnitude(reference.output);
    const double naiveError =
        std::max(largestDifference(naive.output, reference.output), largestDifference(naive.delay, reference.delay));
    const double bound = 16 * naiveError + 32 * eps * peak;
    EXPECT_LT(bound, 1e-3 * peak) << "the bound is too loose to mean anything";

    const double outputError = largestDifference(run.output, reference.output);
    const double delayError = largestDifference(run.delay, reference.delay);
    EXPECT_LE(outputError, bound) << "naive error " << naiveError << ", peak " << peak;
    EXPECT_LE(delayError, bound) << "naive error " << naiveError << ", peak " << peak;
}

TEST_P(IirAccuracy, RandomStableFiltersStayWithinTheBound) {
    std::mt19937 random(1200);
    for (int32_t order = 1; order <= 12; ++order) {
        for (int repeat = 0; repeat < 3; ++repeat) expectWithinBound(test::randomStableFilter(order, 0.9, random), random);
    }
}

TEST_P(IirAccuracy, RandomCascadesStayWithinTheBound) {
    std::mt19937 random(800);
    for (int32_t sections = 1; sections <= 8; ++sections) {
        for (int repeat = 0; repeat < 3; ++repeat) expectWithinBound(test::randomStableCascade(sections, 0.98, random), random);
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(IirAccuracy);

}  // namespace
}  // namespace primitives
