#include "FrameworkTest.h"

#include "framework/StringException.h"

#include <csignal>

namespace {

class FatalError : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(FatalError, StopsWithExitStatus255AfterLoggingTheMessage) {
    setFatalErrorHook(nullptr);
    EXPECT_EXIT(fatalError("Too many beats in this song.", "/src/Beats.cpp", 321), ::testing::ExitedWithCode(255),
                "Fatal Application Error");
    // The box could not be shown on the headless screen; the log has both
    // the message and the unshown box.
    std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_GE(texts.size(), 1u);
    EXPECT_EQ(texts[0], "File Beats.cpp, Line 321: Too many beats in this song.");
}

TEST_F(FatalError, TheHookTurnsTheStopIntoAnExceptionAfterLogging) {
    try {
        fatalError("Could not create thread.", "Dialog.cpp", 9);
        FAIL() << "returned";
    } catch (const FatalStop& stop) {
        EXPECT_STREQ(stop.what(), "Could not create thread.");
        EXPECT_EQ(stop.source, "Dialog.cpp");
        EXPECT_EQ(stop.line, 9);
    }
    EXPECT_EQ(testing_support::logTexts(), (std::vector<std::string>{"File Dialog.cpp, Line 9: Could not create thread."}));
}

TEST_F(FatalError, AHookThatReturnsStillStops) {
    setFatalErrorHook([](const std::string&, const char*, int) {});
    EXPECT_EXIT(fatalError("x", "A.cpp", 1), ::testing::ExitedWithCode(255), "");
}

}  // namespace
