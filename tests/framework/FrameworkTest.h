// The fixture of framework tests: fatal stops throw FatalStop, the log
// starts empty, and the support settings are restored afterwards.
#ifndef VELKARN_TESTS_FRAMEWORK_FRAMEWORKTEST_H
#define VELKARN_TESTS_FRAMEWORK_FRAMEWORKTEST_H

#include "TestEnvironment.h"
#include "framework/Log.h"
#include "framework/Support.h"

#include <gtest/gtest.h>

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = supportSettings();
        setFatalErrorHook(throwFatalStop);
        testing_support::clearLog();
    }
    void TearDown() override {
        setFatalErrorHook(nullptr);
        setVerboseLogging(false);
        supportSettings() = saved_;
    }

private:
    SupportSettings saved_;
};

// Expects a fatal stop with exactly this message.
#define EXPECT_FATAL(statement, text)                                   \
    do {                                                                \
        try {                                                           \
            statement;                                                  \
            ADD_FAILURE() << "no fatal stop: " #statement;              \
        } catch (const FatalStop& stop) {                               \
            EXPECT_EQ(std::string(stop.what()), std::string(text));     \
        }                                                               \
    } while (false)

// Expects a StringException with exactly this message.
#define EXPECT_STRING_EXCEPTION(statement, text)                        \
    do {                                                                \
        try {                                                           \
            statement;                                                  \
            ADD_FAILURE() << "nothing thrown: " #statement;             \
        } catch (const StringException& error) {                        \
            EXPECT_EQ(std::string(error.what()), std::string(text));    \
        }                                                               \
    } while (false)

#endif
