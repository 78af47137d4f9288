#include <gtest/gtest.h>

#include "primitives.h"

namespace {

constexpr uint32_t kPrecisionControl = 0x0300;  // x87 control word bits 8-9; 00 is 24-bit
constexpr uint32_t kZeroDivideFlag = 0x0004;
constexpr uint32_t kFlushToZeroAndDenormalsAreZero = 0x8040;
constexpr uint32_t kSseExceptionFlags = 0x003F;  // sticky: set by the arithmetic below

// Restores both control registers however a test ends.
class ProcessorControl : public ::testing::Test {
protected:
    void SetUp() override {
        x87Control_ = getX87ControlWord();
        sseControl_ = getSseControl();
    }
    void TearDown() override {
        setX87ControlWord(x87Control_, 0xFFFF);
        setSseControl(sseControl_, 0xFFFF);
        clearX87Exceptions();
    }
    uint32_t x87Control_ = 0;
    uint32_t sseControl_ = 0;
};

TEST_F(ProcessorControl, X87PrecisionFieldChangesRounding) {
    volatile long double one = 1.0L, tiny = 0x1p-30L;
    ASSERT_NE(one + tiny, one) << "the default precision keeps 2^-30";

    EXPECT_EQ(setX87ControlWord(0, kPrecisionControl), x87Control_);
    EXPECT_EQ(getX87ControlWord(), x87Control_ & ~kPrecisionControl);
    EXPECT_EQ(one + tiny, one) << "24-bit precision loses 2^-30";

    EXPECT_EQ(setX87ControlWord(x87Control_, 0xFFFF), x87Control_ & ~kPrecisionControl);
    EXPECT_EQ(getX87ControlWord(), x87Control_);
    EXPECT_EQ(setX87ControlWord(0xFFFF, 0), x87Control_) << "an empty mask changes nothing";
    EXPECT_EQ(getX87ControlWord(), x87Control_);
}

TEST_F(ProcessorControl, ClearingX87ExceptionsReturnsTheFlagsItClears) {
    clearX87Exceptions();
    volatile long double zero = 0.0L;
    volatile long double infinite = 1.0L / zero;
    (void)infinite;
    ASSERT_NE(getX87StatusWord() & kZeroDivideFlag, 0u);
    EXPECT_NE(clearX87Exceptions() & kZeroDivideFlag, 0u);
    EXPECT_EQ(getX87StatusWord() & 0x3F, 0u);
}

TEST_F(ProcessorControl, SseControlSetAndReset) {
    volatile float denormal = 1e-40f, one = 1.0f;
    ASSERT_NE(denormal * one, 0.0f) << "denormals are kept by default";

    const uint32_t old = setSseControl(kFlushToZeroAndDenormalsAreZero, kFlushToZeroAndDenormalsAreZero);
    EXPECT_EQ(old & ~kSseExceptionFlags, sseControl_ & ~kSseExceptionFlags);
    EXPECT_EQ(denormal * one, 0.0f);
    EXPECT_EQ(getSseControl() & kFlushToZeroAndDenormalsAreZero, kFlushToZeroAndDenormalsAreZero);

    EXPECT_EQ(resetSseControl() & kFlushToZeroAndDenormalsAreZero, kFlushToZeroAndDenormalsAreZero);
    EXPECT_EQ(getSseControl(), 0x1F80u);
    EXPECT_NE(denormal * one, 0.0f);
}

TEST_F(ProcessorControl, ReservedSseControlBitsAreNeverLoaded) {
    // Loading a reserved bit would fault; the setter leaves them alone.
    const uint32_t before = getSseControl();
    EXPECT_EQ(setSseControl(0xFFFF0000u, 0xFFFF0000u), before);
    EXPECT_EQ(getSseControl(), before);
}

TEST(TimeStampCounter, Advances) {
    const uint64_t first = readTimeStampCounter();
    volatile uint64_t sink = 0;
    for (int i = 0; i < 100000; ++i) sink = sink + i;
    EXPECT_GT(readTimeStampCounter(), first);
}

}  // namespace
