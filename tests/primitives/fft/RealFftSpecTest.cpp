// The real FFT spec: statuses, allocation failures, buffer sizes, flags and
// records of other kinds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "FftTestSupport.h"
#include "TestHeap.h"
#include "primitives/fft/RealFftSpec.h"

namespace primitives::test {
namespace {

class RealFftSpecTest : public PerBuildTest {};

RealFftSpec_32f* const kUntouched = reinterpret_cast<RealFftSpec_32f*>(uintptr_t{0x5A5A5A50});

TEST_P(RealFftSpecTest, InitAllocStatusesInTheirOrder) {
    struct Case {
        bool nullOut;
        int32_t order, flag;
        PrimitiveStatus status;
    };
    const Case cases[] = {
        {true, 31, 0, -8},  {true, 5, 1, -8},   {false, -1, 1, -15}, {false, 31, 1, -15},
        {false, 31, 0, -15}, {false, 5, 0, -16}, {false, 0, 3, -16},  {false, 4, 5, -16},
        {false, 12, 6, -16}, {false, 3, 7, -16}, {false, 5, 9, -16},  {false, 17, 16, -16},
        {false, 5, -1, -16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "order " << c.order << ", flag " << c.flag);
        const int64_t live = TestHeap::liveBlocks();
        RealFftSpec_32f* spec = kUntouched;
        EXPECT_EQ(zaviFFTInitAlloc_R_32f(c.nullOut ? nullptr : &spec, c.order, c.flag, 0), c.status);
        EXPECT_EQ(spec, kUntouched);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
    }
}

TEST_P(RealFftSpecTest, GetBufSizeAndFreeStatuses) {
    FftSpec spec(5, fftNoDivision);
    ASSERT_EQ(spec.status(), 0);
    int32_t size = -77;
    EXPECT_EQ(zaviFFTGetBufSize_R_32f(nullptr, &size), -8);
    EXPECT_EQ(zaviFFTGetBufSize_R_32f(spec.get(), nullptr), -8);
    EXPECT_EQ(zaviFFTGetBufSize_R_32f(nullptr, nullptr), -8);
    EXPECT_EQ(size, -77);
    EXPECT_EQ(zaviFFTFree_R_32f(nullptr), -8);
}

// Records of other kinds (complex FFT 4, DFT 15, released 0) are refused by
// every entry that takes a spec and stay exactly as they were.
TEST_P(RealFftSpecTest, OtherKindsAreRefusedAndLeftIntact) {
    for (int32_t tag : {4, 15, 0}) {
        SCOPED_TRACE(testing::Message() << "tag " << tag);
        RealFftSpec record{};
        record.kindTag = tag;
        record.order = 5;
        record.workBufferBytes = 144;
        RealFftSpec copy = record;
        auto* spec = reinterpret_cast<RealFftSpec_32f*>(&record);
        int32_t size = -77;
        EXPECT_EQ(zaviFFTGetBufSize_R_32f(spec, &size), -17);
        EXPECT_EQ(size, -77);
        EXPECT_EQ(zaviFFTFree_R_32f(spec), -17);
        std::vector<float> src(34, 1.0f), dst(34, canary());
        EXPECT_EQ(zaviFFTFwd_RToPerm_32f(src.data(), dst.data(), spec, nullptr), -17);
        EXPECT_EQ(zaviFFTFwd_RToCCS_32f(nullptr, dst.data(), spec, nullptr), -17);
        EXPECT_EQ(zaviFFTInv_CCSToR_32f(src.data(), nullptr, spec, nullptr), -17);
        for (float v : dst) EXPECT_EQ(bitsOf(v), bitsOf(canary()));
        EXPECT_EQ(std::memcmp(&record, &copy, sizeof record), 0);
    }
}

// Each allocation of the set-up fails in turn: -9, *ppSpec unchanged and no
// block left behind.
TEST_P(RealFftSpecTest, EveryAllocationFailureIsReportedAndCleanedUp) {
    for (int32_t order : {0, 4, 11, 12, 14, 17, 18, 20, 22}) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int64_t live = TestHeap::liveBlocks();
        const int64_t before = TestHeap::requests();
        {
            FftSpec spec(order, fftDivideBySqrtN);
            ASSERT_EQ(spec.status(), 0);
        }
        const int64_t allocations = TestHeap::requests() - before;
        ASSERT_GE(allocations, 1);
        ASSERT_EQ(TestHeap::liveBlocks(), live);
        for (int64_t k = 1; k <= allocations; ++k) {
            RealFftSpec_32f* spec = kUntouched;
            {
                ScopedAllocationFailure failure(k);
                EXPECT_EQ(zaviFFTInitAlloc_R_32f(&spec, order, fftDivideBySqrtN, 0), -9) << "allocation " << k;
            }
            EXPECT_EQ(spec, kUntouched);
            EXPECT_EQ(TestHeap::liveBlocks(), live) << "allocation " << k;
        }
    }
}

// The sizes of every build and order, as the plan tables give them.
TEST_P(RealFftSpecTest, WorkBufferSizes) {
    const int64_t table[31][4] = {
        {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
        // orders 4..11: 0 on the generic build, 4N + 16 on the others
        {0, 80, 80, 80}, {0, 144, 144, 144}, {0, 272, 272, 272}, {0, 528, 528, 528},
        {0, 1040, 1040, 1040}, {0, 2064, 2064, 2064}, {0, 4112, 4112, 4112}, {0, 8208, 8208, 8208},
        {16, 8208, 16400, 16400}, {16, 8208, 32784, 32784},
        {1040, 9232, 65552, 65552}, {2064, 10256, 131088, 131088}, {4112, 12304, 262160, 262160},
        {8208, 16400, 266256, 524304}, {8208, 16400, 270352, 528400}, {8208, 16400, 270352, 532496},
        {32784, 40976, 327696, 532496}, {32784, 40976, 327696, 532496}, {32784, 40976, 327696, 589840},
        {32784, 40976, 393232, 786448}, {8208, 16400, 393232, 786448}, {8208, 16400, 393232, 786448},
        {32784, 40976, 393232, 786448}, {32784, 40976, 393232, 786448}, {32784, 40976, 393232, 786448},
        {32784, 40976, 393232, 786448}, {32784, 40976, 393232, 786448},
    };
    for (int32_t order = 0; order <= 30; ++order) {
        SCOPED_TRACE(testing::Message() << "order " << order);
        const int64_t expected = table[order][build() - 1];
        EXPECT_EQ(workBufferBytes(build(), order), expected);
        if (order <= kLargestTestedOrder) {
            FftSpec spec(order, fftDivideForwardByN);
            ASSERT_EQ(spec.status(), 0);
            EXPECT_EQ(spec.bufferBytes(), expected);
        }
    }
}

// Orders 29 and 30 need a table above the allocator's limit: -9 before any
// table is built (only the record was allocated, and it is released).
TEST_P(RealFftSpecTest, OrdersAboveTheAllocatorLimitFailAtOnce) {
    for (int32_t order : {29, 30}) {
        EXPECT_GT(realFftPlanSizes(build(), order).largestTableBytes, INT32_MAX);
        const int64_t live = TestHeap::liveBlocks();
        const int64_t before = TestHeap::requests();
        RealFftSpec_32f* spec = kUntouched;
        EXPECT_EQ(zaviFFTInitAlloc_R_32f(&spec, order, fftDivideBySqrtN, 0), -9);
        EXPECT_EQ(TestHeap::requests() - before, 1);
        EXPECT_EQ(TestHeap::liveBlocks(), live);
        EXPECT_EQ(spec, kUntouched);
    }
    EXPECT_LE(realFftPlanSizes(build(), 28).largestTableBytes, INT32_MAX);
    // Order 30 with flag 4 would scale by exactly 1/32768.
    EXPECT_EQ(static_cast<float>(1.0 / std::sqrt(std::ldexp(1.0, 30))), 1.0f / 32768.0f);
}

TEST_P(RealFftSpecTest, FlagsSetTheScaleExactly) {
    for (int32_t order : {0, 1, 3, 4, 7, 12, 17}) {
        const double n = std::ldexp(1.0, order);
        struct Case {
            int32_t flag, forward, inverse;
            float factor;
        };
        const Case cases[] = {
            {1, 1, 0, static_cast<float>(1.0 / n)},
            {2, 0, 1, static_cast<float>(1.0 / n)},
            {4, 1, 1, static_cast<float>(1.0 / std::sqrt(n))},
            {8, 0, 0, 0.0f},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "order " << order << ", flag " << c.flag);
            FftSpec spec(order, c.flag);
            ASSERT_EQ(spec.status(), 0);
            const RealFftSpec* record = specRecord(spec.get());
            EXPECT_EQ(record->kindTag, 6);
            EXPECT_EQ(record->order, order);
            EXPECT_EQ(record->scaleForward, c.forward);
            EXPECT_EQ(record->scaleInverse, c.inverse);
            EXPECT_EQ(bitsOf(record->scaleFactor), bitsOf(c.factor));
        }
    }
}

TEST_P(RealFftSpecTest, SmallOrdersHaveNoTables) {
    for (int32_t order = 0; order <= 3; ++order) {
        const int64_t before = TestHeap::requests();
        FftSpec spec(order, fftNoDivision);
        ASSERT_EQ(spec.status(), 0);
        EXPECT_EQ(TestHeap::requests() - before, 1);
        EXPECT_EQ(spec.bufferBytes(), 0);
        const RealFftSpec* record = specRecord(spec.get());
        EXPECT_EQ(record->bitReverseTable, nullptr);
        EXPECT_EQ(record->radixTwiddles, nullptr);
        EXPECT_EQ(record->forwardSplitWeights, nullptr);
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(RealFftSpecTest);

}  // namespace
}  // namespace primitives::test
