// Waiting in tests for what another thread brings about.
#ifndef VELKARN_TESTS_SUPPORT_EVENTUALLY_H
#define VELKARN_TESTS_SUPPORT_EVENTUALLY_H

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Polls the condition every millisecond; false when it still fails after
// boundMs.
inline bool eventually(const std::function<bool()>& condition, int boundMs = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace testing_support

#endif
