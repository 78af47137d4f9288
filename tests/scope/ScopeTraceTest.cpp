// The scope's drawing: trace columns against the NumPy model, incremental
// updates, the trigger, the mouse read-outs, and the spectrum's loudest
// note.
#include "ScopeTestSupport.h"

#include "framework/GUIButton.h"
#include "framework/GUIGraph.h"
#include "framework/GUIIndicator.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUINumberSlider.h"
#include "framework/ResponseCurves.h"
#include "scope/GUINote.h"
#include "audio/DFT.h"
#include "scope/ScopeTap.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <numbers>

namespace {

using scope_test::sampleRate;
using scope_test::ScopeTest;

float spanAtOneSamplePerColumn(const Scope& scope) {
    return static_cast<float>(scope.columns()) * 1000.0f / static_cast<float>(sampleRate);
}

// A press and release at the button's centre, as the mouse gives them.
void click(GUIButton* button) {
    const GUIPoint centre((button->x0 + button->x1) / 2, (button->y0 + button->y1) / 2);
    button->mouseDown(centre, false);
    button->mouseUp(centre);
}

std::function<float(long)> tone(double hz, double amplitude, double phase = 0.0) {
    return [=](long t) {
        return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(t) /
                                                           sampleRate + phase));
    };
}

// Something that is not periodic, so that a misplaced column shows.
float noise(long t) {
    const unsigned long x = static_cast<unsigned long>(t) * 2654435761ul;
    return static_cast<float>((x >> 8) % 2001) / 1000.0f - 1.0f;
}

void expectColumns(const Scope& scope, const scope_test::ModelColumns& model, int from = 0) {
    ASSERT_EQ(static_cast<int>(model.maxima.size()), scope.columns() - from);
    int wrong = 0;
    for (int c = from; c < scope.columns(); ++c) {
        const auto m = static_cast<std::size_t>(c - from);
        if (scope.columnMinima()[c] != model.minima[m] || scope.columnMaxima()[c] != model.maxima[m]) {
            if (++wrong <= 5) {
                ADD_FAILURE() << "column " << c << ": " << scope.columnMinima()[c] << ".." << scope.columnMaxima()[c]
                              << ", model " << model.minima[m] << ".." << model.maxima[m];
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(ScopeTest, TraceColumnsFollowTheModelForEveryTimeBaseAcrossTheRingsEnd) {
    Scope& scope = open();
    const float one = spanAtOneSamplePerColumn(scope);
    const struct {
        const char* name;
        float timeSpanMs;
    } cases[] = {{"fewer samples than columns", 5.0f},
                 {"one sample per column", one},
                 {"a few samples per column", 40.0f},
                 {"a fractional count per column", 37.3f},
                 {"the whole second", 1000.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scope.timeSpanSlider()->setValue(c.timeSpanMs);
        // More than a ring, so the window lies across the ring's end.
        feed(sampleRate + 12345, 441, noise, [](long t) { return 0.25f * noise(t + 7); });
        scope.update();
        EXPECT_EQ(scope.samplesPerColumn() == 1.0f, c.timeSpanMs == one);
        expectColumns(scope, model(scope.samplesPerColumn(), 0));
    }
}

TEST_F(ScopeTest, IncrementalUpdatesGiveTheColumnsOfAFullRecompute) {
    Scope& scope = open();
    const float one = spanAtOneSamplePerColumn(scope);
    // Blocks whose length is a whole number of columns at these time bases.
    const struct {
        float timeSpanMs;
        int block;
    } cases[] = {{one, 441}, {2 * one, 882}, {8 * one, 2048}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.timeSpanMs);
        scope.timeSpanSlider()->setValue(c.timeSpanMs);
        feed(sampleRate, c.block, noise, noise);
        scope.update();
        const int before = scope.incrementalUpdateCount();
        for (int i = 0; i < 30; ++i) {
            feed(c.block, c.block, noise, [](long t) { return -0.5f * noise(t); });
            scope.update();
        }
        EXPECT_EQ(scope.incrementalUpdateCount() - before, 30);
        expectColumns(scope, model(scope.samplesPerColumn(), 0));
    }
}

TEST_F(ScopeTest, AShiftOfMoreThanTheGraphRecomputesEveryColumn) {
    Scope& scope = open();
    // At 1 ms a 40 ms refresh moves the trace by about 20 000 columns.
    scope.timeSpanSlider()->setValue(1.0f);
    feed(sampleRate, 1764, noise, noise);
    scope.update();
    const int incremental = scope.incrementalUpdateCount();
    for (int i = 0; i < 3; ++i) {
        feed(1764, 1764, noise, noise);
        scope.update();
        expectColumns(scope, model(scope.samplesPerColumn(), 0));
    }
    EXPECT_EQ(scope.incrementalUpdateCount(), incremental);
}

TEST_F(ScopeTest, TheTriggerStartsTheWindowAtTheNewestRisingCrossingOrLightsWhenLost) {
    Scope& scope = open();
    click(scope.triggerButton());
    ASSERT_TRUE(scope.isTriggered());
    EXPECT_TRUE(scope.triggerLostIndicator()->isEnabled());
    const struct {
        const char* name;
        float levelPercent;
        bool found;
    } cases[] = {{"level inside the signal", 50.0f, true},
                 {"level at zero", 0.0f, true},
                 {"level above the peak", 90.0f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scope.triggerLevelSlider()->setValue(c.levelPercent);
        // 0.8 at the peak after the summing of both channels.
        feed(sampleRate / 2 + 777, 441, tone(97.0, 0.6, 0.3), tone(97.0, 0.2, 0.3));
        scope.update();
        const scope_test::ModelColumns expected = model(scope.samplesPerColumn(), 0, c.levelPercent / 100.0f);
        EXPECT_EQ(expected.found, c.found);
        EXPECT_EQ(scope.triggerLostIndicator()->isOn(), !c.found);
        EXPECT_EQ(scope.lastWindowStart(), expected.start);
        expectColumns(scope, expected);
        if (!c.found) {
            // The window ends at the newest sample, as without a trigger.
            const double window = scope.columns() * static_cast<double>(scope.samplesPerColumn());
            EXPECT_EQ(scope.lastWindowStart(), scope.tap()->readPosition() - window - 1.0);
        } else {
            const auto at = static_cast<int>(expected.start);
            EXPECT_LE(scope.signal()[at - 1], c.levelPercent / 100.0f);
            EXPECT_GT(scope.signal()[at], c.levelPercent / 100.0f);
        }
    }
    click(scope.triggerButton());
    EXPECT_FALSE(scope.isTriggered());
    EXPECT_FALSE(scope.triggerLostIndicator()->isEnabled());
}

TEST_F(ScopeTest, ATriggerSearchInARingWithoutCrossingsEndsAfterOneRing) {
    Scope& scope = open();
    feed(sampleRate, 4410, [](long) { return 0.3f; }, [](long) { return 0.0f; });
    scope.update();
    for (std::int32_t latest : {0, 1, sampleRate / 2, sampleRate - 1}) {
        EXPECT_EQ(scope.findTrigger(latest, 0.5f), -1);
        EXPECT_EQ(scope.findTrigger(latest, 0.1f), -1) << "a constant never rises";
    }
}

TEST_F(ScopeTest, TheMouseReadsTimeAndLevelOrFrequencyAndDecibels) {
    Scope& scope = open();
    scope.timeSpanSlider()->setValue(40.0f);
    scope.lowFrequencySlider()->setValue(0.0f);
    scope.highFrequencySlider()->setValue(22050.0f);
    const float logLow = 100.0f;
    const struct {
        const char* name;
        bool spectrum;
        bool logScale;
        float low;
        int column;
        int row;
        float x;
        float y;
    } cases[] = {
        {"trace, middle", false, false, 0.0f, 256, 100, 20.0f, 0.0f},
        {"trace, top left", false, false, 0.0f, 0, 0, 0.0f, 100.0f},
        {"trace, quarter", false, false, 0.0f, 128, 150, 10.0f, -50.0f},
        {"spectrum, linear", true, false, 0.0f, 128, 100, 5512.5f, -45.0f},
        {"spectrum, linear from 100 Hz", true, false, logLow, 256, 199, 100.0f + (22050.0f - 100.0f) * 0.5f, -89.55f},
        {"spectrum, logarithmic", true, true, logLow, 256, 40,
         interpolateOnLogScale(0.5f, logLow / 22050.0f, 1.0f) * 22050.0f, -18.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (scope.isSpectrumMode() != c.spectrum) click(scope.frequencyButton());
        if (scope.logFreqScaleButton()->isDown() != c.logScale) click(scope.logFreqScaleButton());
        scope.lowFrequencySlider()->setValue(c.low);
        scope.graph()->mouseMove(GUIPoint(c.column, c.row));
        EXPECT_TRUE(scope.xReadOut()->isVisible());
        EXPECT_TRUE(scope.yReadOut()->isVisible());
        EXPECT_NEAR(scope.xReadOut()->value(), c.x, std::abs(c.x) * 1e-6f + 1e-4f);
        EXPECT_NEAR(scope.yReadOut()->value(), c.y, 1e-4f);
        scope.graph()->mouseLeave();
        EXPECT_FALSE(scope.xReadOut()->isVisible());
        EXPECT_FALSE(scope.yReadOut()->isVisible());
    }
    // With the loudest frequency labelled the spectrum's read-outs stay away.
    click(scope.labelMaxButton());
    scope.graph()->mouseMove(GUIPoint(10, 10));
    EXPECT_FALSE(scope.xReadOut()->isVisible());
    EXPECT_FALSE(scope.yReadOut()->isVisible());
}

TEST_F(ScopeTest, SpectrumColumnsFollowTheModelOfTheWindowLinearAndLogarithmic) {
    Scope& scope = open();
    click(scope.frequencyButton());
    const struct {
        const char* name;
        float timeSpanMs;
        float low;
        float high;
        bool logScale;
    } cases[] = {
        {"the whole range, linear, one second", 1000.0f, 0.0f, 22050.0f, false},
        {"the whole range, logarithmic", 1000.0f, 0.0f, 22050.0f, true},
        {"a band, linear, 40 ms", 40.0f, 500.0f, 5000.0f, false},
        {"a band, logarithmic, fractional span", 37.3f, 20.0f, 20000.0f, true},
        {"a narrow band, 250 ms", 250.0f, 300.0f, 600.0f, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scope.timeSpanSlider()->setValue(c.timeSpanMs);
        scope.lowFrequencySlider()->setValue(c.low);
        scope.highFrequencySlider()->setValue(c.high);
        if (scope.logFreqScaleButton()->isDown() != c.logScale) click(scope.logFreqScaleButton());
        // The newest sample lands half a window past the ring's start.
        const int window = static_cast<int>(scope.columns() * scope.samplesPerColumn());
        int frames = (sampleRate - scope.tap()->readPosition() + std::max(1, window / 2)) % sampleRate;
        if (frames < 441) frames += sampleRate;
        feed(frames, 441, tone(440.0, 0.4), [](long t) { return 0.1f * noise(t) + tone(3150.0, 0.2)(t); });
        scope.update();

        testing_support::TemporaryDirectory directory;
        const int ring = scope.tap()->ringSize();
        testing_support::writeFile(directory.file("ring.f32"),
                                   std::string(reinterpret_cast<const char*>(scope.signal()),
                                               static_cast<std::size_t>(ring) * sizeof(float)));
        const int columns = scope.columns() - 1;
        testing_support::writeFile(directory.file("table.i32"),
                                   std::string(reinterpret_cast<const char*>(scope.analyser()->columnTable()),
                                               static_cast<std::size_t>(columns + 1) * sizeof(std::int32_t)));
        const int start = static_cast<int>(scope.lastWindowStart());
        EXPECT_EQ(scope.lastSpectrumLength(), static_cast<int>(scope.columns() * scope.samplesPerColumn()));
        EXPECT_GT(start + scope.lastSpectrumLength(), ring) << "the window lies across the ring's end";
        std::istringstream text(testing_support::runPython(
            "scope/scope_model.py", {"spectrum", directory.file("ring.f32"), std::to_string(start),
                                     std::to_string(scope.lastSpectrumLength()), directory.file("table.i32")}));
        std::vector<double> expected;
        for (double value = 0.0; text >> value;) expected.push_back(value);
        ASSERT_EQ(static_cast<int>(expected.size()), scope.columns());
        const double largest = *std::max_element(expected.begin(), expected.end());
        int wrong = 0;
        for (int column = 0; column < scope.columns(); ++column) {
            // Back from the decibel mapping, 1 + (4/9) log10(v).
            const double drawn = std::pow(10.0, (scope.columnMaxima()[column] - 1.0) * 9.0 / 4.0);
            const double wanted = std::max(expected[static_cast<std::size_t>(column)], 1e-6);
            if (std::abs(drawn - wanted) > 1e-5 * largest && ++wrong <= 5) {
                ADD_FAILURE() << "column " << column << ": " << drawn << ", model " << wanted;
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(ScopeTest, TheSpectrumNamesTheLoudestTone) {
    Scope& scope = open();
    click(scope.frequencyButton());
    click(scope.labelMaxButton());
    ASSERT_TRUE(scope.isSpectrumMode());
    ASSERT_TRUE(scope.noteReadOut()->isVisible());
    ASSERT_TRUE(scope.frequencyReadOut()->isVisible());
    const struct {
        double hz;
        double level;
        double otherHz;  // 0: none
        double otherLevel;
        float timeSpanMs;
        const char* note;
        double tolerance;  // Hz
    } cases[] = {
        {440.0, 0.5, 0.0, 0.0, 1000.0f, "A  4", 1.0},
        {440.0, 0.5, 0.0, 0.0, 40.0f, "A  4", 21.5},
        {261.63, 0.5, 0.0, 0.0, 1000.0f, "C  4", 1.0},
        {466.16, 0.5, 0.0, 0.0, 1000.0f, "A# 4", 1.0},
        {1000.0, 0.5, 0.0, 0.0, 1000.0f, "B  5", 1.0},
        {55.0, 0.5, 0.0, 0.0, 1000.0f, "A  1", 1.0},
        {440.0, 0.5, 1000.0, 0.2, 1000.0f, "A  4", 1.0},
        {440.0, 0.1, 1000.0, 0.4, 1000.0f, "B  5", 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hz << " Hz over " << c.timeSpanMs << " ms");
        scope.timeSpanSlider()->setValue(c.timeSpanMs);
        feed(sampleRate, 441, tone(c.hz, c.level), tone(c.otherHz, c.otherLevel));
        scope.update();
        const double loudest = c.level >= c.otherLevel ? c.hz : c.otherHz;
        EXPECT_EQ(noteText().substr(3), c.note);
        EXPECT_NEAR(scope.lastPeakHz(), loudest, c.tolerance);
        EXPECT_NEAR(scope.frequencyReadOut()->value(), scope.lastPeakHz(), 1e-3);
        // Every column is drawn up from the bottom.
        for (int column = 0; column < scope.columns(); ++column) ASSERT_EQ(scope.columnMinima()[column], -1.0f);
    }
    click(scope.frequencyButton());
    EXPECT_FALSE(scope.noteReadOut()->isVisible());
    EXPECT_FALSE(scope.frequencyReadOut()->isVisible());
}

}  // namespace
