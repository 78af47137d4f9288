// Creating, reading and releasing IIR states on every build: the create,
// free and delay-line entries and the section creator, their checks, their
// allocations and the layout they leave.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "IirTestSupport.h"
#include "TestHeap.h"
#include "primitives/filter/IirState.h"

namespace primitives {
namespace {

using test::IirFilter;
using test::TestHeap;

IirState* const kUntouched = reinterpret_cast<IirState*>(std::uintptr_t{0x5EED0000});

class IirStateEntries : public test::PerBuildTest {
protected:
    using Creator = PrimitiveStatus (*)(IirState**, int32_t, const float*, const float*);
    Creator sectionCreator() const {
        static constexpr Creator creators[] = {nullptr, iirCreateSectionsState_generic, iirCreateSectionsState_sse,
                                               iirCreateSectionsState_sse2, iirCreateSectionsState_sse3};
        return creators[build()];
    }
};

bool sameRecord(const IirState& a, const IirState& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- zaviIIRInitAlloc_32f -------------------------------------------------------------

struct CreateCheck {
    const char* what;
    bool nullResult;
    bool nullTaps;
    int32_t order;
    float a0;
    bool allocationFails;
    PrimitiveStatus expected;
};

const CreateCheck kCreateChecks[] = {
    {"null result", true, false, 2, 1.0f, false, -8},
    {"null taps", false, true, 2, 1.0f, false, -8},
    {"null taps, order -1", false, true, -1, 1.0f, false, -8},
    {"null result, allocation failing", true, false, 2, 0.0f, true, -8},
    {"order -1", false, false, -1, 1.0f, false, -25},
    {"order INT32_MIN", false, false, INT32_MIN, 0.0f, false, -25},
    {"order -1, allocation failing", false, false, -1, 1.0f, true, -25},
    {"allocation failing, a0 0", false, false, 2, 0.0f, true, -9},
};

TEST_P(IirStateEntries, CreateChecksInOrderAndWritesNothingOnFailure) {
    for (const CreateCheck& check : kCreateChecks) {
        SCOPED_TRACE(check.what);
        std::vector<float> taps = {1, 2, 3, 1, 0.5f, 0.25f};
        if (check.order >= 0) taps[check.order + 1] = check.a0;
        const std::vector<float> tapsBefore = taps;
        const int64_t live = TestHeap::liveBlocks();
        IirState* result = kUntouched;
        PrimitiveStatus status;
        {
            test::ScopedAllocationFailure fail(check.allocationFails ? 1 : 0);
            status = zaviIIRInitAlloc_32f(check.nullResult ? nullptr : &result, check.nullTaps ? nullptr : taps.data(),
                                          check.order, nullptr);
        }
        EXPECT_EQ(status, check.expected);
        EXPECT_EQ(result, kUntouched);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
        EXPECT_EQ(taps, tapsBefore);
    }
}

TEST_P(IirStateEntries, FailedAllocationGivesMinus9AndLeavesNoBlock) {
    for (int32_t order : {0, 1, 4, 11, 100}) {
        SCOPED_TRACE("order " + std::to_string(order));
        std::vector<float> taps(2 * order + 2, 1.0f);
        const std::vector<float> delay(order, 0.5f);
        const int64_t live = TestHeap::liveBlocks();
        IirState* result = kUntouched;
        test::ScopedAllocationFailure fail(1);
        EXPECT_EQ(zaviIIRInitAlloc_32f(&result, taps.data(), order, delay.data()), -9);
        EXPECT_EQ(result, kUntouched);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
}

TEST_P(IirStateEntries, RequestsBeyondInt32AreRefusedBeforeAllocatingOrReadingTaps) {
    // Far fewer taps than the orders need: reading any beyond the fourth is
    // caught by the address sanitizer.
    const auto taps = std::make_unique<float[]>(4);
    for (int i = 0; i < 4; ++i) taps[i] = 1.0f;
    for (int32_t order : {1 << 28, INT32_MAX}) {
        SCOPED_TRACE("order " + std::to_string(order));
        ASSERT_GT(iirStateBytes(build(), order), int64_t{INT32_MAX});
        const int64_t requests = TestHeap::requests();
        IirState* result = kUntouched;
        EXPECT_EQ(zaviIIRInitAlloc_32f(&result, taps.get(), order, nullptr), -9);
        EXPECT_EQ(TestHeap::requests(), requests) << "the allocator was not called";
        EXPECT_EQ(result, kUntouched);
    }
}

TEST_P(IirStateEntries, ZeroOrNanA0HandsOutALoadedStateToFree) {
    const float a0s[] = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN()};
    for (float a0 : a0s) {
        for (int32_t order : {0, 3}) {
            SCOPED_TRACE("a0 " + std::to_string(a0) + ", order " + std::to_string(order));
            std::vector<float> taps(2 * order + 2, 1.0f);
            taps[order + 1] = a0;
            const std::vector<float> delay = {0.25f, -1.5f, 7.0f};
            const int64_t live = TestHeap::liveBlocks();
            IirState* state = kUntouched;
            EXPECT_EQ(zaviIIRInitAlloc_32f(&state, taps.data(), order, delay.data()), -10);
            ASSERT_NE(state, kUntouched);
            ASSERT_NE(state, nullptr);
            EXPECT_EQ(state->kindTag, kIirArbitraryOrderTag);
            EXPECT_EQ(state->owned, 1);
            EXPECT_EQ(state->order, order);
            EXPECT_EQ(TestHeap::liveBlocks(), live + 1);
            std::vector<float> read(order + 1, 99.0f);
            EXPECT_EQ(zaviIIRGetDlyLine_32f(state, read.data()), 0);
            read.resize(order);
            EXPECT_TRUE(test::sameBits(read, std::span(delay).first(order)));
            EXPECT_EQ(zaviIIRFree_32f(state), 0);
            EXPECT_EQ(TestHeap::liveBlocks(), live);
        }
    }
}

TEST_P(IirStateEntries, InitialDelayLineIsCopiedBitForBitOrZeroed) {
    const std::vector<float> given = {std::bit_cast<float>(0x7FC01234u), -0.0f, std::numeric_limits<float>::infinity(),
                                      1e-42f, -3.5f, std::bit_cast<float>(0x7F800001u)};
    for (bool sections : {false, true}) {
        SCOPED_TRACE(sections ? "cascade" : "arbitrary order");
        const IirFilter filter =
            sections ? IirFilter::cascade({1, 2, 3, 1, 0.5f, 0.25f, 1, 2, 3, 1, 0.5f, 0.25f, 1, 2, 3, 1, 0.5f, 0.25f})
                     : IirFilter::arbitrary({1, 0.5f, 0.25f, 0, 0, 0, 0, 1, 0.5f, 0.25f, 0, 0, 0, 0});
        ASSERT_EQ(filter.order, 6);
        {
            test::ScopedIirState state(filter, given.data());
            EXPECT_TRUE(test::sameBits(state.delayLine(), given));
            EXPECT_EQ(state.get()->delayLine[6], 0.0f) << "the element past the last stays 0";
        }
        {
            test::ScopedIirState state(filter, nullptr);
            for (float z : state.delayLine()) EXPECT_EQ(std::bit_cast<uint32_t>(z), 0u);
            EXPECT_EQ(state.get()->delayLine[6], 0.0f);
        }
    }
}

TEST_P(IirStateEntries, LayoutKeepsAreasAlignedApartAndInsideTheRequest) {
    const bool simd = build() != buildGeneric;
    std::mt19937 random(7);
    std::vector<IirFilter> filters;
    for (int32_t order : {0, 1, 5, 100}) filters.push_back(test::randomStableFilter(order, 0.5, random));
    for (int32_t sections : {1, 4}) filters.push_back(test::randomStableCascade(sections, 0.5, random));
    for (const IirFilter& filter : filters) {
        SCOPED_TRACE(filter.describe());
        test::ScopedIirState scoped(filter);
        const IirState* state = scoped.get();
        ASSERT_NE(state, nullptr);
        const int32_t sections = filter.sections;
        EXPECT_EQ(state->kindTag, sections > 0 ? kIirSectionsTag : kIirArbitraryOrderTag);
        EXPECT_EQ(state->order, filter.order);
        EXPECT_EQ(state->sectionCount, sections);
        EXPECT_EQ(state->owned, 1);
        EXPECT_EQ(state->secondScratch, nullptr);

        // Each present area: [start, end) in bytes; they follow one another.
        const auto base = reinterpret_cast<std::uintptr_t>(state);
        const int64_t size = sections > 0 ? iirSectionsStateBytes(build(), sections) : iirStateBytes(build(), filter.order);
        struct Area {
            const float* start;
            int64_t bytes;
        };
        std::vector<Area> areas = {{state->taps, 4 * (sections > 0 ? 5 * sections : 2 * filter.order + 1)},
                                   {state->delayLine, 4 * (filter.order + 1)}};
        if (simd) {
            if (sections > 0) areas.push_back({state->sectionVectors, 32 * sections});
            areas.push_back({state->numeratorRows, sections > 0 ? 48 * sections : 16 * (filter.order + 1)});
            areas.push_back({state->recursionMatrix, sections > 0 ? 80 * sections : 16 * (filter.order + 3)});
            areas.push_back({state->scratch, 4 * kIirStretch});
        } else {
            EXPECT_EQ(state->numeratorRows, nullptr);
            EXPECT_EQ(state->recursionMatrix, nullptr);
            EXPECT_EQ(state->scratch, nullptr);
        }
        if (!simd || sections == 0) {
            EXPECT_EQ(state->sectionVectors, nullptr);
        }
        std::uintptr_t previousEnd = base + sizeof(IirState);
        for (const Area& area : areas) {
            const auto start = reinterpret_cast<std::uintptr_t>(area.start);
            EXPECT_EQ(start % 16, 0u);
            EXPECT_GE(start, previousEnd);
            previousEnd = start + area.bytes;
        }
        EXPECT_LE(previousEnd, base + static_cast<std::uintptr_t>(size));
    }
}

// ---- zaviIIRFree_32f and zaviIIRGetDlyLine_32f -----------------------------------------

IirState handMadeRecord(uint32_t tag, float* delay) {
    IirState record{};
    record.kindTag = tag;
    record.delayLine = delay;
    record.order = 3;
    record.owned = 1;
    return record;
}

TEST_P(IirStateEntries, FreeChecksTheRecordAndReleasesOnlyOwnedOnes) {
    EXPECT_EQ(zaviIIRFree_32f(nullptr), -8);
    float delay[4] = {1, 2, 3, 0};
    for (uint32_t tag : {0u, 0x49493033u, 0x31304949u}) {
        IirState record = handMadeRecord(tag, delay);
        const IirState before = record;
        const int64_t live = TestHeap::liveBlocks();
        EXPECT_EQ(zaviIIRFree_32f(&record), -17) << std::hex << tag;
        EXPECT_TRUE(sameRecord(record, before));
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
    for (uint32_t tag : {kIirArbitraryOrderTag, kIirSectionsTag}) {
        IirState record = handMadeRecord(tag, delay);
        record.owned = 0;
        const IirState before = record;
        const int64_t live = TestHeap::liveBlocks();
        EXPECT_EQ(zaviIIRFree_32f(&record), 0) << std::hex << tag;
        EXPECT_TRUE(sameRecord(record, before));
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
    // Both kinds made by the library go back to the allocator.
    std::vector<float> taps = {1, 2, 3, 2, 1, 0.5f};
    const int64_t live = TestHeap::liveBlocks();
    IirState* state = nullptr;
    ASSERT_EQ(zaviIIRInitAlloc_32f(&state, taps.data(), 2, nullptr), 0);
    EXPECT_EQ(zaviIIRFree_32f(state), 0);
    ASSERT_EQ(sectionCreator()(&state, 1, taps.data(), nullptr), 0);
    EXPECT_EQ(state->kindTag, kIirSectionsTag);
    EXPECT_EQ(zaviIIRFree_32f(state), 0);
    EXPECT_EQ(TestHeap::liveBlocks(), live);
}

TEST_P(IirStateEntries, DelayLineReadChecksAndCopiesOnlyTheOrder) {
    const std::vector<float> initial = {1.25f, -2.5f, 3.75f};
    test::ScopedIirState state(IirFilter::arbitrary({1, 2, 3, 4, 1, 0.5f, 0.25f, 0.125f}), initial.data());
    test::GuardedBuffer<float> out(3);
    EXPECT_EQ(zaviIIRGetDlyLine_32f(nullptr, out.data()), -8);
    EXPECT_EQ(zaviIIRGetDlyLine_32f(state.get(), nullptr), -8);
    EXPECT_EQ(zaviIIRGetDlyLine_32f(nullptr, nullptr), -8);
    for (uint32_t tag : {0u, 0x49493033u, 0x31304949u}) {
        IirState record = *state.get();
        record.kindTag = tag;
        EXPECT_EQ(zaviIIRGetDlyLine_32f(&record, out.data()), -17) << std::hex << tag;
    }
    EXPECT_TRUE(out.untouched());

    EXPECT_EQ(zaviIIRGetDlyLine_32f(state.get(), out.data()), 0);
    EXPECT_TRUE(test::sameBits(std::span(out.data(), 3), initial));
    EXPECT_TRUE(out.guardsIntact());

    // Order 0: nothing to copy, and still success.
    test::ScopedIirState gain(IirFilter::arbitrary({3, 2}));
    test::GuardedBuffer<float> none(1);
    EXPECT_EQ(zaviIIRGetDlyLine_32f(gain.get(), none.data()), 0);
    EXPECT_TRUE(none.untouched());
}

TEST_P(IirStateEntries, FilteringAndReadingAllocateNothing) {
    std::mt19937 random(9);
    for (const IirFilter& filter : {test::randomStableFilter(6, 0.9, random), test::randomStableCascade(3, 0.9, random),
                                    IirFilter::arbitrary({0.5f, 1.0f})}) {
        test::ScopedIirState state(filter);
        std::vector<float> signal = test::uniformSignal(3000, random);
        std::vector<float> out(signal.size());
        std::vector<float> delay(filter.order + 1);
        const int64_t requests = TestHeap::requests();
        {
            // Any allocation now would fail (and be counted).
            test::ScopedAllocationFailure fail(1);
            EXPECT_EQ(zaviIIR_32f(signal.data(), out.data(), 3000, state.get()), 0);
            EXPECT_EQ(zaviIIR_32f_I(signal.data(), 3000, state.get()), 0);
            EXPECT_EQ(zaviIIRGetDlyLine_32f(state.get(), delay.data()), 0);
        }
        EXPECT_EQ(TestHeap::requests(), requests);
    }
}

// ---- The section creator --------------------------------------------------------------

struct SectionsCheck {
    const char* what;
    bool nullResult;
    bool nullTaps;
    int32_t sections;
    int badSection;  // index of the section whose a0 is `badA0`, or -1
    float badA0;
    bool allocationFails;
    PrimitiveStatus expected;
};

const SectionsCheck kSectionsChecks[] = {
    {"null result", true, false, 2, -1, 0, false, -8},
    {"null taps", false, true, 2, -1, 0, false, -8},
    {"null taps, no sections", false, true, 0, -1, 0, false, -8},
    {"no sections", false, false, 0, -1, 0, false, -25},
    {"-1 sections", false, false, -1, -1, 0, false, -25},
    {"first a0 0", false, false, 3, 0, 0.0f, false, -10},
    {"last a0 -0", false, false, 3, 2, -0.0f, false, -10},
    {"middle a0 NaN", false, false, 3, 1, std::numeric_limits<float>::quiet_NaN(), false, -10},
    {"a0 0, allocation failing", false, false, 3, 1, 0.0f, true, -10},
    {"allocation failing", false, false, 3, -1, 0, true, -9},
};

TEST_P(IirStateEntries, SectionCreatorChecksBeforeAllocating) {
    for (const SectionsCheck& check : kSectionsChecks) {
        SCOPED_TRACE(check.what);
        std::vector<float> taps;
        for (int s = 0; s < 3; ++s) taps.insert(taps.end(), {1, 2, 1, 2, 0.5f, 0.25f});
        if (check.badSection >= 0) taps[6 * check.badSection + 3] = check.badA0;
        const int64_t live = TestHeap::liveBlocks();
        const int64_t requests = TestHeap::requests();
        IirState* result = kUntouched;
        PrimitiveStatus status;
        {
            test::ScopedAllocationFailure fail(check.allocationFails ? 1 : 0);
            status = sectionCreator()(check.nullResult ? nullptr : &result, check.sections,
                                      check.nullTaps ? nullptr : taps.data(), nullptr);
        }
        EXPECT_EQ(status, check.expected);
        EXPECT_EQ(result, kUntouched);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
        if (check.expected != -9) {
            EXPECT_EQ(TestHeap::requests(), requests) << "nothing was asked of the heap";
        }
    }
    // A cascade too large to request is refused before its taps are read.
    const auto taps = std::make_unique<float[]>(6);
    IirState* result = kUntouched;
    const int64_t requests = TestHeap::requests();
    EXPECT_EQ(sectionCreator()(&result, 1 << 28, taps.get(), nullptr), -9);
    EXPECT_EQ(TestHeap::requests(), requests);
    EXPECT_EQ(result, kUntouched);
}

INSTANTIATE_PER_BUILD_TEST_SUITE(IirStateEntries);

}  // namespace
}  // namespace primitives
