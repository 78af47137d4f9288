// zaviIIR_32f and zaviIIR_32f_I on every build: argument checks, exact
// filters against a reference, the stretch and pair boundaries, in-place and
// misaligned use, threads, and the agreement of the three SIMD builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "IirTestSupport.h"
#include "primitives/filter/IirState.h"

namespace primitives {
namespace {

using test::CallKind;
using test::IirCallLayout;
using test::IirFilter;
using test::IirReference;
using test::IirRun;
using test::ScopedIirState;

class IirFiltering : public test::PerBuildTest {
protected:
    bool simd() const { return build() != buildGeneric; }
};

::testing::AssertionResult matchesExactly(const IirRun& run, const IirReference& reference) {
    if (run.output.size() != reference.output.size() || run.delay.size() != reference.delay.size()) {
        return ::testing::AssertionFailure() << "sizes differ";
    }
    for (std::size_t i = 0; i < run.output.size(); ++i) {
        if (double(run.output[i]) != reference.output[i]) {
            return ::testing::AssertionFailure()
                   << "output " << i << " is " << run.output[i] << ", expected " << reference.output[i];
        }
    }
    for (std::size_t i = 0; i < run.delay.size(); ++i) {
        if (double(run.delay[i]) != reference.delay[i]) {
            return ::testing::AssertionFailure()
                   << "delay element " << i << " is " << run.delay[i] << ", expected " << reference.delay[i];
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameRun(const IirRun& a, const IirRun& b) {
    if (!test::sameBits(a.output, b.output)) return ::testing::AssertionFailure() << "outputs differ";
    if (!test::sameBits(a.delay, b.delay)) return ::testing::AssertionFailure() << "delay lines differ";
    return ::testing::AssertionSuccess();
}

std::vector<int32_t> lengthsFor(int32_t order) {
    std::vector<int32_t> lengths = {1, 4 * order, 4 * order + 1, 1023, 1024, 1025, 2048, 5000};
    std::erase(lengths, 0);
    std::sort(lengths.begin(), lengths.end());
    lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
    return lengths;
}

// ---- Argument checks ---------------------------------------------------------------

struct FilterCheck {
    const char* what;
    bool nullState;
    uint32_t tag;  // kind tag of the record passed (a copy of a real state)
    bool nullSrc;
    bool nullDst;
    int32_t len;
    PrimitiveStatus expected;
};

constexpr uint32_t kArbitrary = kIirArbitraryOrderTag;
constexpr uint32_t kSwappedTag = 0x31304949;  // the arbitrary-order tag byte-swapped

const FilterCheck kFilterChecks[] = {
    {"null state", true, kArbitrary, false, false, 8, -8},
    {"null state, len 0", true, kArbitrary, false, false, 0, -8},
    {"null state, len -1", true, kArbitrary, false, false, -1, -8},
    {"null source", false, kArbitrary, true, false, 8, -8},
    {"null source, len 0", false, kArbitrary, true, false, 0, -8},
    {"null destination", false, kArbitrary, false, true, 8, -8},
    {"null destination, wrong tag", false, 0, false, true, 8, -8},
    {"len 0", false, kArbitrary, false, false, 0, -6},
    {"len -1", false, kArbitrary, false, false, -1, -6},
    {"len INT32_MIN", false, kArbitrary, false, false, INT32_MIN, -6},
    {"len 0, wrong tag", false, 0, false, false, 0, -6},
    {"tag 0", false, 0, false, false, 8, -17},
    {"tag 0x49493033", false, 0x49493033, false, false, 8, -17},
    {"byte-swapped tag", false, kSwappedTag, false, false, 8, -17},
};

TEST_P(IirFiltering, ChecksComeFirstAndTouchNothing) {
    const IirFilter filter = IirFilter::arbitrary({1, 2, 3, 4, 2, 0.5f, 0.25f, 0.125f});
    const std::vector<float> initial = {1.5f, -2.5f, 3.5f};
    for (bool inPlace : {false, true}) {
        for (const FilterCheck& check : kFilterChecks) {
            if (inPlace && check.nullDst) continue;
            SCOPED_TRACE(std::string(inPlace ? "zaviIIR_32f_I, " : "zaviIIR_32f, ") + check.what);
            ScopedIirState state(filter, initial.data());
            // A record that is the real state but for its tag: an entry that
            // skipped the tag check would filter with it.
            IirState record = *state.get();
            record.kindTag = check.tag;
            IirState* passed = check.nullState ? nullptr : &record;

            test::GuardedBuffer<float> src(8, 0x3C), dst(8);
            const PrimitiveStatus status =
                inPlace ? zaviIIR_32f_I(check.nullSrc ? nullptr : src.data(), check.len, passed)
                        : zaviIIR_32f(check.nullSrc ? nullptr : src.data(), check.nullDst ? nullptr : dst.data(),
                                      check.len, passed);
            EXPECT_EQ(status, check.expected);
            EXPECT_TRUE(src.untouched());
            EXPECT_TRUE(dst.untouched());
            EXPECT_TRUE(test::sameBits(state.delayLine(), initial));
            EXPECT_EQ(record.kindTag, check.tag);
        }
    }
}

// ---- Exact filters --------------------------------------------------------------------

// Every intermediate value is exact in float, so every build, in any call
// split, from a zero or a given delay line, equals the reference.
void expectExactCases(const std::vector<IirFilter>& filters, std::mt19937& random) {
    for (const IirFilter& filter : filters) {
        for (int32_t length : lengthsFor(filter.sections > 0 ? filter.sections : filter.order)) {
            SCOPED_TRACE(filter.describe() + ", length " + std::to_string(length));
            const std::vector<float> input = test::smallIntegers(length, random);
            const std::vector<float> initial = test::quarterSteps(filter.order, random);
            for (bool fromZero : {true, false}) {
                const float* delay = fromZero ? nullptr : initial.data();
                const test::ExactnessCheck exact = test::checkExactness(filter, input, delay);
                ASSERT_TRUE(exact.quarters);
                ASSERT_LT(exact.bound, 1 << 22);
                const IirReference& reference = exact.reference;
                const std::vector<int32_t> split = test::randomCalls(length, random);
                EXPECT_TRUE(matchesExactly(test::runIir(filter, input, {}, delay), reference))
                    << "one call, " << (fromZero ? "zero" : "given") << " delay line";
                EXPECT_TRUE(matchesExactly(test::runIir(filter, input, split, delay), reference))
                    << split.size() << " calls, " << (fromZero ? "zero" : "given") << " delay line";
            }
        }
    }
}

TEST_P(IirFiltering, ExactFiltersEqualTheReference) {
    std::mt19937 random(112);
    expectExactCases(test::exactArbitraryFilters(random), random);
}

TEST_P(IirFiltering, ExactCascadesEqualTheReference) {
    std::mt19937 random(113);
    expectExactCases(test::exactCascades(random), random);
}

// ---- Stretch and pair boundaries --------------------------------------------------------

std::vector<IirFilter> boundaryFilters(std::mt19937& random) {
    std::vector<IirFilter> filters;
    for (int32_t order : {1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 31}) filters.push_back(test::randomStableFilter(order, 0.9, random));
    for (int32_t sections : {1, 2, 3, 8}) filters.push_back(test::randomStableCascade(sections, 0.95, random));
    return filters;
}

TEST_P(IirFiltering, SimdStretchesRestartEvery1024Samples) {
    if (!simd()) GTEST_SKIP() << "the generic build has no stretches";
    std::mt19937 random(1024);
    for (const IirFilter& filter : boundaryFilters(random)) {
        SCOPED_TRACE(filter.describe());
        const std::vector<float> input = test::uniformSignal(2048, random);
        const std::vector<int32_t> halves = {1024, 1024};
        EXPECT_TRUE(sameRun(test::runIir(filter, input), test::runIir(filter, input, halves)));
    }
}

TEST_P(IirFiltering, SimdShortStretchRunsSampleBySample) {
    if (!simd()) GTEST_SKIP() << "the generic build has no stretches";
    std::mt19937 random(4);
    for (const IirFilter& filter : boundaryFilters(random)) {
        SCOPED_TRACE(filter.describe());
        const int32_t length = 4 * (filter.sections > 0 ? filter.sections : filter.order);
        const std::vector<float> input = test::uniformSignal(length, random);
        const std::vector<float> initial = test::uniformSignal(filter.order, random);
        const std::vector<int32_t> singles(length, 1);
        EXPECT_TRUE(sameRun(test::runIir(filter, input, {}, initial.data()),
                            test::runIir(filter, input, singles, initial.data())));
    }
}

TEST_P(IirFiltering, GenericKeepsItsBitsAcrossEvenSplits) {
    if (simd()) GTEST_SKIP() << "pairs are the generic build's";
    std::mt19937 random(2);
    for (const IirFilter& filter : boundaryFilters(random)) {
        SCOPED_TRACE(filter.describe());
        const std::vector<float> input = test::uniformSignal(3001, random);
        const IirRun whole = test::runIir(filter, input);
        for (int i = 0; i < 3; ++i) {
            const std::vector<int32_t> split = test::randomCalls(3001, random, 8, true);
            EXPECT_TRUE(sameRun(whole, test::runIir(filter, input, split)));
        }
    }
}

TEST_P(IirFiltering, OrderZeroIsTheBuildsMultiplyByConstant) {
    const float nan = std::bit_cast<float>(0x7FC01234u);
    const float signallingNan = std::bit_cast<float>(0x7F800001u);
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> input = {1.5f, -2.0f, 0.0f, -0.0f, inf, -inf, nan, signallingNan, 3e38f, 1e-40f, -7.25f};
    for (float b0 : {1.0f, 0.0f, -0.0f, 0.75f, std::numeric_limits<float>::quiet_NaN()}) {
        SCOPED_TRACE("b0 " + std::to_string(b0));
        const IirRun run = test::runIir(IirFilter::arbitrary({b0, 1.0f}), input);
        ASSERT_EQ(run.output.size(), input.size());
        EXPECT_TRUE(run.delay.empty());
        for (std::size_t i = 0; i < input.size(); ++i) {
            const float x = input[i], y = run.output[i];
            SCOPED_TRACE("x " + std::to_string(x));
            if (simd() && !(b0 < 1.0f || b0 > 1.0f)) {
                EXPECT_EQ(std::bit_cast<uint32_t>(y), std::bit_cast<uint32_t>(x)) << "1 or NaN copies";
            } else if (simd() && b0 == 0.0f) {
                EXPECT_EQ(std::bit_cast<uint32_t>(y), 0u) << "either zero writes +0";
            } else if (std::isnan(x * b0)) {
                EXPECT_TRUE(std::isnan(y));
            } else {
                EXPECT_EQ(std::bit_cast<uint32_t>(y), std::bit_cast<uint32_t>(x * b0)) << "a plain product";
            }
        }
    }
}

TEST_P(IirFiltering, LeadingTapIsTimesTheReciprocalOfA0) {
    // b0 * (1/3) rounds differently from b0 / 3 for some b0 when 1/3 is a
    // float (SIMD builds); the generic build keeps 1/3 and the product in
    // double and rounds once.
    std::vector<float> differing;
    for (int k = 1; k <= 200 && differing.size() < 8; ++k) {
        const float b0 = static_cast<float>(k);
        if (b0 * (1.0f / 3.0f) != b0 / 3.0f) differing.push_back(b0);
    }
    ASSERT_GE(differing.size(), 4u);
    for (float b0 : differing) {
        const float expected = simd() ? b0 * (1.0f / 3.0f) : static_cast<float>(double(b0) * (1.0 / 3.0));
        for (int32_t order : {0, 1, 4}) {
            std::vector<float> taps(2 * order + 2, 0.0f);
            taps[0] = b0;
            taps[order + 1] = 3.0f;
            if (order > 0) taps[order + 2] = 1.5f;  // a'1 = 1/2
            std::vector<float> impulse(64, 0.0f);
            impulse[0] = 1.0f;
            const IirRun run = test::runIir(IirFilter::arbitrary(taps), impulse);
            ASSERT_FALSE(run.output.empty());
            EXPECT_EQ(run.output[0], expected) << "b0 " << b0 << ", order " << order;
        }
    }
}

// ---- In place, alignment, threads ------------------------------------------------------

std::vector<IirFilter> mixedFilters(std::mt19937& random) {
    std::vector<IirFilter> filters = {IirFilter::arbitrary({0.75f, 1.0f})};
    for (int32_t order : {1, 2, 3, 4, 5, 8, 13, 32}) filters.push_back(test::randomStableFilter(order, 0.9, random));
    for (int32_t sections : {1, 3, 8}) filters.push_back(test::randomStableCascade(sections, 0.95, random));
    return filters;
}

TEST_P(IirFiltering, InPlaceFormsEqualTheOutOfPlaceCall) {
    std::mt19937 random(6);
    for (const IirFilter& filter : mixedFilters(random)) {
        SCOPED_TRACE(filter.describe());
        const std::vector<float> input = test::uniformSignal(3000, random);
        const std::vector<float> initial = test::uniformSignal(filter.order, random);
        const std::vector<int32_t> split = test::randomCalls(3000, random);
        const IirRun outOfPlace = test::runIir(filter, input, split, initial.data());
        EXPECT_TRUE(sameRun(outOfPlace,
                            test::runIir(filter, input, split, initial.data(), {CallKind::sameBuffer})));
        EXPECT_TRUE(sameRun(outOfPlace,
                            test::runIir(filter, input, split, initial.data(), {CallKind::inPlaceEntry})));
    }
}

TEST_P(IirFiltering, MisalignedBuffersChangeNothing) {
    std::mt19937 random(12);
    const IirCallLayout layouts[] = {
        {CallKind::outOfPlace, 4, 4},  {CallKind::outOfPlace, 8, 12}, {CallKind::outOfPlace, 12, 0},
        {CallKind::outOfPlace, 0, 8},  {CallKind::outOfPlace, 2, 1},  {CallKind::inPlaceEntry, 4, 4},
        {CallKind::inPlaceEntry, 12, 12}, {CallKind::sameBuffer, 8, 8},
    };
    for (const IirFilter& filter : mixedFilters(random)) {
        SCOPED_TRACE(filter.describe());
        const std::vector<float> input = test::uniformSignal(2100, random);
        const IirRun aligned = test::runIir(filter, input);
        for (const IirCallLayout& layout : layouts) {
            EXPECT_TRUE(sameRun(aligned, test::runIir(filter, input, {}, nullptr, layout)))
                << "source +" << layout.srcOffset << " bytes, destination +" << layout.dstOffset;
        }
    }
}

TEST_P(IirFiltering, ThreadsWithTheirOwnStatesMatchTheSerialRuns) {
    std::mt19937 random(44);
    const std::vector<IirFilter> filters = {test::randomStableFilter(3, 0.9, random),
                                            test::randomStableFilter(12, 0.9, random),
                                            test::randomStableCascade(4, 0.95, random),
                                            test::randomStableFilter(1, 0.9, random)};
    std::vector<std::vector<float>> inputs;
    std::vector<std::vector<int32_t>> splits;
    std::vector<IirRun> serial;
    for (const IirFilter& filter : filters) {
        inputs.push_back(test::uniformSignal(6000, random));
        splits.push_back(test::randomCalls(6000, random, 12));
        serial.push_back(test::runIir(filter, inputs.back(), splits.back()));
    }
    std::vector<IirRun> parallel(filters.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < filters.size(); ++i) {
        threads.emplace_back([&, i] {
            for (int repeat = 0; repeat < 4; ++repeat) parallel[i] = test::runIir(filters[i], inputs[i], splits[i]);
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < filters.size(); ++i) EXPECT_TRUE(sameRun(serial[i], parallel[i])) << filters[i].describe();
}

INSTANTIATE_PER_BUILD_TEST_SUITE(IirFiltering);

// ---- The SIMD builds agree -------------------------------------------------------------

// The SSE, SSE2 and SSE3-class builds give the same bits, outputs and delay
// lines, on random filters at the lengths, splits and layouts above.
TEST(IirSimdBuilds, GiveTheSameBits) {
    const std::vector<int32_t> builds = test::runnableBuilds(buildSse);
    if (builds.size() < 2) GTEST_SKIP() << "this processor runs fewer than two SIMD builds";
    std::mt19937 random(345);
    std::vector<IirFilter> filters = {IirFilter::arbitrary({0.75f, 1.0f}), IirFilter::arbitrary({0.0f, 1.0f})};
    for (int32_t order = 1; order <= 16; ++order) filters.push_back(test::randomStableFilter(order, 0.9, random));
    for (int32_t order : {31, 32, 100}) filters.push_back(test::randomStableFilter(order, 0.6, random));
    for (int32_t sections = 1; sections <= 8; ++sections) filters.push_back(test::randomStableCascade(sections, 0.97, random));
    const IirCallLayout layouts[] = {{}, {CallKind::inPlaceEntry, 4, 4}, {CallKind::sameBuffer, 8, 8}, {CallKind::outOfPlace, 12, 2}};

    int scenario = 0;
    for (const IirFilter& filter : filters) {
        for (int32_t length : lengthsFor(filter.sections > 0 ? filter.sections : filter.order)) {
            SCOPED_TRACE(filter.describe() + ", length " + std::to_string(length));
            const std::vector<float> input = test::uniformSignal(length, random);
            const std::vector<float> initial = test::uniformSignal(filter.order, random);
            const std::vector<int32_t> split = scenario % 2 == 0 ? std::vector<int32_t>{} : test::randomCalls(length, random);
            const IirCallLayout layout = layouts[scenario % 4];
            ++scenario;
            std::vector<IirRun> runs;
            for (int32_t build : builds) {
                test::ScopedBuildIndex selected(build);
                runs.push_back(test::runIir(filter, input, split, initial.data(), layout));
            }
            for (std::size_t b = 1; b < runs.size(); ++b) {
                EXPECT_TRUE(sameRun(runs[0], runs[b])) << test::buildName(builds[b]) << " against " << test::buildName(builds[0]);
            }
        }
    }
}

}  // namespace
}  // namespace primitives
