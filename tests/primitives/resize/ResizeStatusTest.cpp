// Statuses of the entry in the order of its checks, and a destination left
// untouched by every failed call.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "BuildTest.h"
#include "GuardedBuffer.h"
#include "ResizeModel.h"
#include "TestHeap.h"

namespace primitives::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A valid call: the region (1, 1, 5, 4) of an 8 x 6 image, doubled into a
// 10 x 8 destination.
struct EntryCall {
    const uint8_t* src = nullptr;
    ImageSize srcSize{8, 6};
    int32_t srcStep = 40;
    ImageRect roi{1, 1, 5, 4};
    uint8_t* dst = nullptr;
    int32_t dstStep = 44;
    ImageSize dstSize{10, 8};
    double xFactor = 2.0;
    double yFactor = 2.0;
    int32_t interpolation = resizeInterpolationLinear;

    PrimitiveStatus operator()() const {
        return zuzuZivere_8d_OZ4O(src, srcSize, srcStep, roi, dst, dstStep, dstSize, xFactor, yFactor, interpolation);
    }
};

struct StatusRow {
    const char* what;
    std::function<void(EntryCall&)> change;
    PrimitiveStatus expected;
};

const StatusRow kRows[] = {
    {"valid call", [](EntryCall&) {}, primitiveStatusOk},
    {"nearest", [](EntryCall& c) { c.interpolation = resizeInterpolationNearest; }, primitiveStatusOk},
    {"cubic", [](EntryCall& c) { c.interpolation = resizeInterpolationCubic; }, primitiveStatusOk},
    {"Lanczos", [](EntryCall& c) { c.interpolation = resizeInterpolationLanczos; }, primitiveStatusOk},
    {"Lanczos on an 8 x 8 image",
     [](EntryCall& c) {
         c.interpolation = resizeInterpolationLanczos;
         c.srcSize.height = 8;
     },
     primitiveStatusOk},
    // 1: pointers
    {"null source", [](EntryCall& c) { c.src = nullptr; }, primitiveStatusNullPointer},
    {"null destination", [](EntryCall& c) { c.dst = nullptr; }, primitiveStatusNullPointer},
    {"null pointer before every other check",
     [](EntryCall& c) {
         c.src = nullptr;
         c.srcSize.width = 0;
         c.srcStep = 0;
         c.xFactor = kNaN;
         c.interpolation = 3;
     },
     primitiveStatusNullPointer},
    // 2: source size
    {"source width 0", [](EntryCall& c) { c.srcSize.width = 0; }, primitiveStatusBadSize},
    {"source height negative", [](EntryCall& c) { c.srcSize.height = -3; }, primitiveStatusBadSize},
    // 3: steps
    {"source step 0", [](EntryCall& c) { c.srcStep = 0; }, primitiveStatusBadRowStep},
    {"destination step negative", [](EntryCall& c) { c.dstStep = -44; }, primitiveStatusBadRowStep},
    {"step before the region",
     [](EntryCall& c) {
         c.srcStep = 0;
         c.roi.width = 0;
     },
     primitiveStatusBadRowStep},
    // 4: region
    {"region x negative", [](EntryCall& c) { c.roi.x = -1; }, primitiveStatusBadSize},
    {"region y negative", [](EntryCall& c) { c.roi.y = -1; }, primitiveStatusBadSize},
    {"region width 0", [](EntryCall& c) { c.roi.width = 0; }, primitiveStatusBadSize},
    {"region height negative", [](EntryCall& c) { c.roi.height = -2; }, primitiveStatusBadSize},
    {"region size before its origin",
     [](EntryCall& c) {
         c.roi.width = 0;
         c.roi.x = 8;
     },
     primitiveStatusBadSize},
    // 5: origin outside the source (warning)
    {"region x at the source's width", [](EntryCall& c) { c.roi.x = 8; }, primitiveStatusNoRoiIntersection},
    {"region y past the source", [](EntryCall& c) { c.roi.y = 9; }, primitiveStatusNoRoiIntersection},
    {"origin outside before the destination's size",
     [](EntryCall& c) {
         c.roi.x = 8;
         c.dstSize.width = 0;
     },
     primitiveStatusNoRoiIntersection},
    // 6: destination size
    {"destination width 0", [](EntryCall& c) { c.dstSize.width = 0; }, primitiveStatusBadSize},
    {"destination height negative", [](EntryCall& c) { c.dstSize.height = -1; }, primitiveStatusBadSize},
    // 7: factors
    {"x factor 0", [](EntryCall& c) { c.xFactor = 0.0; }, primitiveStatusBadResizeFactor},
    {"y factor negative", [](EntryCall& c) { c.yFactor = -1.0; }, primitiveStatusBadResizeFactor},
    {"y factor -0", [](EntryCall& c) { c.yFactor = -0.0; }, primitiveStatusBadResizeFactor},
    {"x factor NaN", [](EntryCall& c) { c.xFactor = kNaN; }, primitiveStatusBadResizeFactor},
    {"factor before the interpolation",
     [](EntryCall& c) {
         c.xFactor = 0.0;
         c.interpolation = 3;
     },
     primitiveStatusBadResizeFactor},
    // 8: interpolation
    {"interpolation 3", [](EntryCall& c) { c.interpolation = 3; }, primitiveStatusBadInterpolation},
    {"interpolation 0", [](EntryCall& c) { c.interpolation = 0; }, primitiveStatusBadInterpolation},
    {"interpolation 32", [](EntryCall& c) { c.interpolation = 32; }, primitiveStatusBadInterpolation},
    {"interpolation 5", [](EntryCall& c) { c.interpolation = 5; }, primitiveStatusBadInterpolation},
    {"interpolation 17", [](EntryCall& c) { c.interpolation = 17; }, primitiveStatusBadInterpolation},
    {"interpolation -2", [](EntryCall& c) { c.interpolation = -2; }, primitiveStatusBadInterpolation},
    // Super-sampling goes to the general driver unless both factors are at most 1.
    {"super-sampling with a factor above 1",
     [](EntryCall& c) {
         c.interpolation = resizeInterpolationSuperSampling;
         c.xFactor = 0.5;
         c.yFactor = 1.5;
     },
     primitiveStatusBadInterpolation},
    {"super-sampling with a factor above 1 and a null pointer",
     [](EntryCall& c) {
         c.interpolation = resizeInterpolationSuperSampling;
         c.src = nullptr;
     },
     primitiveStatusNullPointer},
    {"super-sampling with a NaN factor",
     [](EntryCall& c) {
         c.interpolation = resizeInterpolationSuperSampling;
         c.xFactor = 0.5;
         c.yFactor = kNaN;
     },
     primitiveStatusBadResizeFactor},
    {"super-sampling with a negative factor",
     [](EntryCall& c) {
         c.interpolation = resizeInterpolationSuperSampling;
         c.xFactor = -0.5;
         c.yFactor = 0.5;
     },
     primitiveStatusBadResizeFactor},
    {"super-sampling with the origin outside",
     [](EntryCall& c) {
         c.interpolation = resizeInterpolationSuperSampling;
         c.xFactor = 0.5;
         c.yFactor = 1.0;
         c.roi.y = 6;
     },
     primitiveStatusNoRoiIntersection},
};

class ResizeStatus : public PerBuildTest {};

TEST_P(ResizeStatus, ChecksRunInOrderAndFailuresWriteNothing) {
    std::vector<uint8_t> src(8 * 40);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7);
    for (const StatusRow& row : kRows) {
        SCOPED_TRACE(row.what);
        GuardedBuffer<uint8_t> dst(8 * 44);
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

TEST_P(ResizeStatus, SmallSourcesLowerTheMethod) {
    // Lowering goes by the whole image: below 8 pixels Lanczos runs as
    // cubic, below 4 cubic as linear, below 2 anything as nearest. The
    // model's method is pinned to the expected one, and the entry's result
    // must equal that model.
    struct Row {
        int32_t width, height, asked, runs;
    };
    const Row rows[] = {
        {7, 100, resizeInterpolationLanczos, resizeInterpolationCubic},
        {100, 7, resizeInterpolationLanczos, resizeInterpolationCubic},
        {8, 8, resizeInterpolationLanczos, resizeInterpolationLanczos},
        {4, 4, resizeInterpolationCubic, resizeInterpolationCubic},
        {3, 100, resizeInterpolationCubic, resizeInterpolationLinear},
        {3, 100, resizeInterpolationLanczos, resizeInterpolationLinear},
        {1, 100, resizeInterpolationLanczos, resizeInterpolationNearest},
        {1, 100, resizeInterpolationCubic, resizeInterpolationNearest},
    };
    std::mt19937_64 random(30);
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.width << "x" << row.height << " asked " << row.asked);
        const ResizeCase c = packedResizeCase(resizeData8u, 4, 3, row.asked, row.width, row.height,
                                              row.width * 3 / 2 + 1, row.height * 3 / 2 + 1);
        ASSERT_EQ(modelMethod(c), row.runs);
        ResizeBuffers buffers(c, random);
        const auto expected = modelResize(c, buffers, arithmeticOf(build()));
        ASSERT_EQ(zuzuZivere_8d_OZ4O(buffers.src[0].data(), {c.srcWidth, c.srcHeight}, c.srcStep,
                                     {0, 0, c.srcWidth, c.srcHeight}, buffers.dst[0].data(), c.dstStep,
                                     {c.dstWidth, c.dstHeight}, c.xFactor, c.yFactor, row.asked),
                  primitiveStatusOk);
        EXPECT_TRUE(sameDestination(c, expected, buffers.dst));
    }
}

TEST_P(ResizeStatus, AllocationFailureIsReportedAndWritesNothing) {
    std::vector<uint8_t> src(6 * 40, 9);
    GuardedBuffer<uint8_t> dst(8 * 44);
    EntryCall call;
    call.src = src.data();
    call.dst = dst.data();
    ScopedAllocationFailure failure(1);
    EXPECT_EQ(call(), primitiveStatusAllocationFailed);
    EXPECT_TRUE(dst.untouched());
}

INSTANTIATE_PER_BUILD_TEST_SUITE(ResizeStatus);

}  // namespace
}  // namespace primitives::test
