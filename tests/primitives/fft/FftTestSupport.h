// Helpers shared by the FFT tests: a spec that releases itself, guarded
// canary buffers and a fixture over (build, order).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "BuildTest.h"
#include "primitives.h"

namespace primitives::test {

// Largest order the transform tests run. The sanitizer build stops at 22:
// orders 23 and 24 take minutes under instrumentation and reach no road that
// the smaller orders and the small test plans of FftCoreTest do not.
#ifdef __SANITIZE_ADDRESS__
inline constexpr int32_t kLargestTestedOrder = 22;
#else
inline constexpr int32_t kLargestTestedOrder = 24;
#endif

// A spec made through the current build's entry; released at scope end.
class FftSpec {
public:
    FftSpec(int32_t order, int32_t flag) { status_ = zaviFFTInitAlloc_R_32f(&spec_, order, flag, 0); }
    ~FftSpec() {
        if (spec_ != nullptr) zaviFFTFree_R_32f(spec_);
    }
    FftSpec(const FftSpec&) = delete;
    FftSpec& operator=(const FftSpec&) = delete;

    PrimitiveStatus status() const { return status_; }
    RealFftSpec_32f* get() const { return spec_; }
    int32_t bufferBytes() const {
        int32_t size = -1;
        zaviFFTGetBufSize_R_32f(spec_, &size);
        return size;
    }

private:
    RealFftSpec_32f* spec_ = nullptr;
    PrimitiveStatus status_;
};

// The bit pattern of a float, for exact comparisons of zeros.
inline uint32_t bitsOf(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    return bits;
}

inline float canary() {
    const uint32_t bits = 0x7FC0BEEFu;  // a quiet NaN with a payload
    float x;
    std::memcpy(&x, &bits, 4);
    return x;
}

// The scale a spec of `flag` applies to the forward or inverse direction.
double forwardScale(int32_t flag, int32_t order);
double inverseScale(int32_t flag, int32_t order);

// Parameter (build, order); the build is selected for the test's life.
class BuildOrderTest : public ::testing::TestWithParam<std::tuple<int32_t, int32_t>> {
protected:
    void SetUp() override {
        if (!hostRunsBuild(build())) GTEST_SKIP() << "this processor cannot run the " << buildName(build()) << " build";
        scoped_.emplace_back(std::make_unique<ScopedBuildIndex>(build()));
    }
    void TearDown() override { scoped_.clear(); }
    int32_t build() const { return std::get<0>(GetParam()); }
    int32_t order() const { return std::get<1>(GetParam()); }

private:
    std::vector<std::unique_ptr<ScopedBuildIndex>> scoped_;
};

std::string buildOrderName(const ::testing::TestParamInfo<std::tuple<int32_t, int32_t>>& info);

}  // namespace primitives::test
