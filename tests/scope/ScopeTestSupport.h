// The scope window's test fixture: an empty data directory (settings store
// included), the program's own skin from the built-in archive, scripted
// boxes, the virtual clock and fatal stops thrown; a scope on a stereo
// 44.1 kHz format fed directly through its sink, and the NumPy model of its
// drawing.
#ifndef VELKARN_TESTS_SCOPE_SCOPETESTSUPPORT_H
#define VELKARN_TESTS_SCOPE_SCOPETESTSUPPORT_H

#include "TestEnvironment.h"
#include "scope/Scope.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace scope_test {

constexpr int sampleRate = 44100;

// Columns as the model computes them.
struct ModelColumns {
    double start = 0.0;
    bool found = true;
    std::vector<float> minima;
    std::vector<float> maxima;
};

class ScopeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A scope without a device, from whatever the settings store holds.
    Scope& open();
    // Feeds `frames` frames through the sink in blocks of `block`: channel
    // 0 gets left(t), channel 1 right(t), t counting frames fed so far.
    void feed(int frames, int block, const std::function<float(long)>& left,
              const std::function<float(long)>& right);
    // The model's columns for the scope's signal copy and read position.
    ModelColumns model(float samplesPerColumn, int kept, std::optional<float> triggerLevel = std::nullopt) const;
    // The note read-out's seven cells as text (letters, digits, '#', 'b',
    // ' ').
    std::string noteText() const;

    std::optional<testing_support::TemporaryDirectory> home;
    std::optional<testing_support::ScopedEnvironment> homeVariable;
    std::unique_ptr<Scope> scope;
    long fed = 0;
};

}  // namespace scope_test

#endif
