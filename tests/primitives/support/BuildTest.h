// Running a test once per build of the primitives.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "primitives/core/Dispatcher.h"

namespace primitives::test {

// "generic", "sse", "sse2" or "sse3" for builds 1 to 4.
const char* buildName(int32_t build);

// Whether this machine can execute the instructions of a build.
bool hostRunsBuild(int32_t build);

// The build index as it was when the test program started, before any test
// or start-up code could change it.
int32_t buildIndexAtProgramStart();

// Selects a build index for the life of the object and restores the old one.
class ScopedBuildIndex {
public:
    explicit ScopedBuildIndex(int32_t index)
        : saved_(CpuDispatchIndex.exchange(index, std::memory_order_relaxed)) {}
    ~ScopedBuildIndex() { CpuDispatchIndex.store(saved_, std::memory_order_relaxed); }
    ScopedBuildIndex(const ScopedBuildIndex&) = delete;
    ScopedBuildIndex& operator=(const ScopedBuildIndex&) = delete;

private:
    int32_t saved_;
};

// A fixture parameterised over the build index 1..4. Each test runs with its
// build selected (so entries called through their stubs take that build) and
// is skipped on a host that cannot run the build. body() gives the build's
// own body of an entry, to call it without the stub.
class PerBuildTest : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
        if (!hostRunsBuild(build())) GTEST_SKIP() << "this processor cannot run the " << buildName(build()) << " build";
        saved_ = CpuDispatchIndex.exchange(build(), std::memory_order_relaxed);
    }
    void TearDown() override {
        if (saved_ >= 0) CpuDispatchIndex.store(saved_, std::memory_order_relaxed);
    }

    int32_t build() const { return GetParam(); }

    template <typename Function>
    Function* body(const DispatchRecord<Function>& record) const {
        return record.table[build()];
    }

private:
    int32_t saved_ = -1;
};

}  // namespace primitives::test

// Instantiates a PerBuildTest suite for the four builds, named after them.
#define INSTANTIATE_PER_BUILD_TEST_SUITE(Suite)                                          \
    INSTANTIATE_TEST_SUITE_P(Builds, Suite,                                              \
                             ::testing::Range(::primitives::kFirstBuild,                 \
                                              ::primitives::kLastBuild + 1),             \
                             [](const ::testing::TestParamInfo<int32_t>& info) {         \
                                 return std::string(::primitives::test::buildName(info.param)); \
                             })
