// Every vector entry called through its stub with each build selected: the
// wiring from the public name to a working body. The maths is tested build
// by build elsewhere.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "BuildTest.h"
#include "primitives.h"

namespace primitives::test {
namespace {

class VectorStubs : public PerBuildTest {};

TEST_P(VectorStubs, EveryEntryAnswersThroughItsStub) {
    const float a[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const float b[12] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, -20};
    float d[12];
    float v = 0, w = 0;
    int32_t index = -1;
    auto sameAs = [&](std::function<float(int)> want) {
        for (int i = 0; i < 12; ++i) {
            if (d[i] != want(i)) return false;
        }
        return true;
    };
    auto reset = [&] { std::copy(a, a + 12, d); };
    struct Call {
        const char* name;
        std::function<bool()> run;  // calls the stub and checks its status and result
    };
    const Call calls[] = {
        {"zaviZero_32f", [&] { return zaviZero_32f(d, 12) == 0 && sameAs([](int) { return 0.0f; }); }},
        {"zaviSet_32f", [&] { return zaviSet_32f(-3.0f, d, 12) == 0 && sameAs([](int) { return -3.0f; }); }},
        {"dezoRide_32d", [&] { return dezoRide_32d(a, d, 12) == 0 && sameAs([&](int i) { return a[i]; }); }},
        {"zaviCopy_8u",
         [&] {
             return zaviCopy_8u(reinterpret_cast<const uint8_t*>(b), reinterpret_cast<uint8_t*>(d), 48) == 0 &&
                    sameAs([&](int i) { return b[i]; });
         }},
        {"zaviVectorRamp_32f",
         [&] { return zaviVectorRamp_32f(d, 12, 1.0f, 0.5f) == 0 && sameAs([](int i) { return 1.0f + 0.5f * i; }); }},
        {"zaviMul_32f", [&] { return zaviMul_32f(a, b, d, 12) == 0 && sameAs([&](int i) { return a[i] * b[i]; }); }},
        {"zaviMulC_32f", [&] { return zaviMulC_32f(a, 3.0f, d, 12) == 0 && sameAs([&](int i) { return a[i] * 3; }); }},
        {"zaviMul_32f_I",
         [&] { return (reset(), zaviMul_32f_I(b, d, 12)) == 0 && sameAs([&](int i) { return a[i] * b[i]; }); }},
        {"zaviMulC_32f_I",
         [&] { return (reset(), zaviMulC_32f_I(0.5f, d, 12)) == 0 && sameAs([&](int i) { return a[i] / 2; }); }},
        {"zaviAdd_32f_I",
         [&] { return (reset(), zaviAdd_32f_I(b, d, 12)) == 0 && sameAs([&](int i) { return a[i] + b[i]; }); }},
        {"zaviAddC_32f", [&] { return zaviAddC_32f(a, 1.0f, d, 12) == 0 && sameAs([&](int i) { return a[i] + 1; }); }},
        {"zaviAddC_32f_I",
         [&] { return (reset(), zaviAddC_32f_I(-1.0f, d, 12)) == 0 && sameAs([&](int i) { return a[i] - 1; }); }},
        {"zaviSub_32f", [&] { return zaviSub_32f(a, b, d, 12) == 0 && sameAs([&](int i) { return b[i] - a[i]; }); }},
        {"zaviSub_32f_I",
         [&] { return (reset(), zaviSub_32f_I(b, d, 12)) == 0 && sameAs([&](int i) { return a[i] - b[i]; }); }},
        {"zaviAbs_32f", [&] { return zaviAbs_32f(b, d, 12) == 0 && sameAs([&](int i) { return std::fabs(b[i]); }); }},
        {"zaviSqr_32f", [&] { return zaviSqr_32f(a, d, 12) == 0 && sameAs([&](int i) { return a[i] * a[i]; }); }},
        {"zaviFlip_32f_I", [&] { return (reset(), zaviFlip_32f_I(d, 12)) == 0 && sameAs([&](int i) { return a[11 - i]; }); }},
        {"zaviThreshold_LT_32f_I",
         [&] {
             return (reset(), zaviThreshold_LT_32f_I(d, 12, 6.5f)) == 0 &&
                    sameAs([&](int i) { return std::max(a[i], 6.5f); });
         }},
        {"zaviLn_32f_I",
         [&] {
             d[0] = 1.0f;
             d[1] = 0.0f;
             return zaviLn_32f_I(d, 2) == 7 && d[0] == 0.0f && d[1] == -INFINITY;
         }},
        {"zaviMax_32f", [&] { return zaviMax_32f(b, 12, &v) == 0 && v == 2.0f; }},
        {"zaviMin_32f", [&] { return zaviMin_32f(b, 12, &v) == 0 && v == -20.0f; }},
        {"zaviMaxIndx_32f", [&] { return zaviMaxIndx_32f(a, 12, &v, &index) == 0 && v == 12.0f && index == 11; }},
        {"zaviMinIndx_32f", [&] { return zaviMinIndx_32f(b, 12, &v, &index) == 0 && v == -20.0f && index == 11; }},
        {"zaviMinMax_32f", [&] { return zaviMinMax_32f(a, 12, &v, &w) == 0 && v == 1.0f && w == 12.0f; }},
        {"zaviSum_32f", [&] { return zaviSum_32f(a, 12, &v, 1) == 0 && v == 78.0f; }},
    };
    for (const Call& call : calls) EXPECT_TRUE(call.run()) << call.name;
}

INSTANTIATE_PER_BUILD_TEST_SUITE(VectorStubs);

}  // namespace
}  // namespace primitives::test
