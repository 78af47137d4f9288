// Shared by the audio building-block tests: fatal stops that throw, and
// counts of heap requests (global new, and the primitives' test heap).
#ifndef VELKARN_TESTS_AUDIO_AUDIOTESTHELPERS_H
#define VELKARN_TESTS_AUDIO_AUDIOTESTHELPERS_H

#include "framework/Log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// Fatal stops throw FatalStop while in scope.
class ScopedFatalStops {
public:
    ScopedFatalStops() { setFatalErrorHook(throwFatalStop); }
    ~ScopedFatalStops() { setFatalErrorHook(nullptr); }
    ScopedFatalStops(const ScopedFatalStops&) = delete;
    ScopedFatalStops& operator=(const ScopedFatalStops&) = delete;
};

// Expects a fatal stop with exactly this message.
#define EXPECT_FATAL(statement, text)                               \
    do {                                                            \
        ScopedFatalStops fatalStops_;                               \
        try {                                                       \
            statement;                                              \
            ADD_FAILURE() << "no fatal stop: " #statement;          \
        } catch (const FatalStop& stop) {                           \
            EXPECT_EQ(std::string(stop.what()), std::string(text)); \
        }                                                           \
    } while (false)

// Calls of the global operator new (every form) in this program so far.
std::int64_t globalNewCalls();
// The same on the calling thread only.
std::int64_t threadNewCalls();
// The largest single request since the last call.
std::size_t takeLargestGlobalNew();

#endif
