// Statuses of the entry with code 8 and both factors at most 1, in the order
// of the super-sampling driver's checks; a destination left untouched by
// every call that fails.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "SuperSamplingModel.h"

namespace primitives::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A valid call: the region (1, 1, 6, 4) of an 8 x 6 BGRA image, halved into
// a 3 x 2 destination.
struct EntryCall {
    const uint8_t* src = nullptr;
    ImageSize srcSize{8, 6};
    int32_t srcStep = 32;
    ImageRect roi{1, 1, 6, 4};
    uint8_t* dst = nullptr;
    int32_t dstStep = 12;
    ImageSize dstSize{3, 2};
    double xFactor = 0.5;
    double yFactor = 0.5;

    PrimitiveStatus operator()() const {
        return zuzuZivere_8d_OZ4O(src, srcSize, srcStep, roi, dst, dstStep, dstSize, xFactor, yFactor,
                                  resizeInterpolationSuperSampling);
    }
};

struct StatusRow {
    const char* what;
    std::function<void(EntryCall&)> change;
    PrimitiveStatus expected;
};

const StatusRow kRows[] = {
    {"valid call", [](EntryCall&) {}, primitiveStatusOk},
    {"factors 0.5 and 1.0", [](EntryCall& c) { c.yFactor = 1.0; }, primitiveStatusOk},
    {"smallest factors", [](EntryCall& c) { c.xFactor = c.yFactor = 5e-324; }, primitiveStatusOk},
    // 1: pointers
    {"null source", [](EntryCall& c) { c.src = nullptr; }, primitiveStatusNullPointer},
    {"null destination", [](EntryCall& c) { c.dst = nullptr; }, primitiveStatusNullPointer},
    // 2: source size
    {"source width 0", [](EntryCall& c) { c.srcSize.width = 0; }, primitiveStatusBadSize},
    {"source height negative", [](EntryCall& c) { c.srcSize.height = -1; }, primitiveStatusBadSize},
    // 3: steps
    {"source step 0", [](EntryCall& c) { c.srcStep = 0; }, primitiveStatusBadRowStep},
    {"destination step negative", [](EntryCall& c) { c.dstStep = -12; }, primitiveStatusBadRowStep},
    {"step before a negative region origin",
     [](EntryCall& c) {
         c.srcStep = 0;
         c.roi.x = -1;
     },
     primitiveStatusBadRowStep},
    // 4: region
    {"region x negative", [](EntryCall& c) { c.roi.x = -1; }, primitiveStatusBadSize},
    {"region y negative", [](EntryCall& c) { c.roi.y = -2; }, primitiveStatusBadSize},
    {"region width 0", [](EntryCall& c) { c.roi.width = 0; }, primitiveStatusBadSize},
    {"region height negative", [](EntryCall& c) { c.roi.height = -4; }, primitiveStatusBadSize},
    // 5: origin outside the source (a warning; nothing written)
    {"region x at the source's width", [](EntryCall& c) { c.roi.x = 8; }, primitiveStatusNoRoiIntersection},
    {"region y past the source", [](EntryCall& c) { c.roi.y = 7; }, primitiveStatusNoRoiIntersection},
    {"origin outside before a zero factor",
     [](EntryCall& c) {
         c.roi.x = 8;
         c.xFactor = 0.0;
     },
     primitiveStatusNoRoiIntersection},
    {"origin outside before the destination's size",
     [](EntryCall& c) {
         c.roi.x = 8;
         c.dstSize.width = 0;
     },
     primitiveStatusNoRoiIntersection},
    // 6: destination size
    {"destination width 0", [](EntryCall& c) { c.dstSize.width = 0; }, primitiveStatusBadSize},
    {"destination height negative", [](EntryCall& c) { c.dstSize.height = -2; }, primitiveStatusBadSize},
    // 7: factors
    {"x factor 0", [](EntryCall& c) { c.xFactor = 0.0; }, primitiveStatusBadResizeFactor},
    {"y factor negative", [](EntryCall& c) { c.yFactor = -0.5; }, primitiveStatusBadResizeFactor},
    {"x factor -0", [](EntryCall& c) { c.xFactor = -0.0; }, primitiveStatusBadResizeFactor},
    {"y factor NaN", [](EntryCall& c) { c.yFactor = kNaN; }, primitiveStatusBadResizeFactor},
    // A factor above 1 is no reduction: the general driver refuses code 8.
    {"factors 0.5 and 1.5", [](EntryCall& c) { c.yFactor = 1.5; }, primitiveStatusBadInterpolation},
};

class SuperSamplingStatus : public PerBuildTest {};

TEST_P(SuperSamplingStatus, ChecksRunInOrderAndFailuresWriteNothing) {
    std::vector<uint8_t> src(6 * 32);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 13);
    for (const StatusRow& row : kRows) {
        SCOPED_TRACE(row.what);
        GuardedBuffer<uint8_t> dst(2 * 12);
        EntryCall call;
        call.src = src.data();
        call.dst = dst.data();
        row.change(call);
        EXPECT_EQ(call(), row.expected);
        if (row.expected == primitiveStatusOk) {
            EXPECT_FALSE(dst.untouched());
            EXPECT_TRUE(dst.guardsIntact());
        } else {
            EXPECT_TRUE(dst.untouched());
        }
    }
}

TEST_P(SuperSamplingStatus, ReductionsReachTheSuperSamplingDriver) {
    // Through the entry and through the build's driver with the entry's
    // pixel format, the same bytes.
    std::vector<uint8_t> src(6 * 32);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 29 + 3);
    for (const auto& [xFactor, yFactor] : {std::pair{0.5, 1.0}, std::pair{0.5, 0.5}, std::pair{0.7, 0.3}}) {
        std::vector<uint8_t> viaEntry(2 * 12 * 4, 0x11);
        std::vector<uint8_t> viaDriver(viaEntry);
        EntryCall call;
        call.src = src.data();
        call.dst = viaEntry.data();
        call.xFactor = xFactor;
        call.yFactor = yFactor;
        call.dstSize = {6, 4};
        call.dstStep = 24;
        ASSERT_EQ(call(), primitiveStatusOk);
        const SuperSamplingParameters p{src.data(), 8, 6, 32, 1, 1, 6, 4, viaDriver.data(), 24, 6, 4,
                                        xFactor, yFactor, 4, 3, resizeData8u, 0};
        ASSERT_EQ(superSamplingDriverOf(build())(p), primitiveStatusOk);
        EXPECT_EQ(viaEntry, viaDriver) << xFactor << " x " << yFactor;
    }
}

INSTANTIATE_PER_BUILD_TEST_SUITE(SuperSamplingStatus);

}  // namespace
}  // namespace primitives::test
