// The main of the test programs: every run gets its own data directory, a
// headless screen and, in the programs that use windows, the platform
// layer on the offscreen screen.
#include "TestEnvironment.h"

#include "platform/EventLoop.h"
#ifdef VELKARN_TEST_WITH_QT
#include "platform/Platform.h"
#endif

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Death tests run this program again: the child keeps its parent's
    // data directory, so that the parent can read what the child logged.
    static std::optional<testing_support::TemporaryDirectory> home;
    if (std::getenv("VELKARN_TEST_HOME") == nullptr) {
        home.emplace();
        ::setenv("VELKARN_TEST_HOME", home->path().c_str(), 1);
    }
    ::setenv("VELKARN_HOME", std::getenv("VELKARN_TEST_HOME"), 1);
    ::setenv("XDG_RUNTIME_DIR", std::getenv("VELKARN_TEST_HOME"), 1);
    platform::setUiThread();
#ifdef VELKARN_TEST_WITH_QT
    if (!platform::initializePlatform(argc, argv)) return 1;
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
