#include "scope/Frequency.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Input {
    const char* kind;  // "hz" through setHz, "note" through setNote
    float value;
};

// The texts the reference script computes for the inputs, in order.
std::vector<std::string> referenceTexts(const std::vector<Input>& inputs) {
    std::vector<std::string> arguments;
    for (const auto& input : inputs) {
        std::ostringstream value;
        value.precision(9);
        value << input.value;
        arguments.push_back(input.kind);
        arguments.push_back(value.str());
    }
    std::istringstream lines(testing_support::runPython("scope/frequency_reference.py", arguments));
    std::vector<std::string> texts;
    for (std::string line; std::getline(lines, line);) texts.push_back(line.substr(1, line.size() - 2));
    return texts;
}

std::string textOf(const Input& input) {
    Frequency frequency;
    if (std::string(input.kind) == "hz") {
        frequency.setHz(input.value);
    } else {
        frequency.setNote(input.value);
    }
    return frequency.text();
}

TEST(FrequencyText, MatchesTheMidiFormula) {
    const float infinity = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Input> inputs = {
        {"hz", 0.0f},      {"hz", -5.0f},    {"hz", 15.9f},   {"note", 12.0f},  {"note", 11.999f},
        {"hz", 440.0f},    {"note", 60.5f},  {"hz", 16.35f},  {"hz", 27.5f},    {"hz", 261.63f},
        {"hz", 1000.0f},   {"hz", 4186.0f},  {"hz", 20000.0f}, {"hz", 452.0f},  {"hz", 455.0f},
        {"note", 69.99f},  {"note", 1211.5f}, {"note", 1212.0f}, {"hz", infinity}, {"hz", nan},
        {"hz", 1e30f},
    };
    const std::vector<std::string> expected = referenceTexts(inputs);
    ASSERT_EQ(expected.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(textOf(inputs[i]), expected[i]) << inputs[i].kind << " " << inputs[i].value;
    }
    // The named cases, as the reference also says.
    EXPECT_EQ(textOf({"hz", 440.0f}), "A  4. 0");
    EXPECT_EQ(textOf({"note", 60.5f}), "C  4.50");
    EXPECT_EQ(textOf({"note", 12.0f}), "C  0. 0");
    EXPECT_EQ(textOf({"hz", 0.0f}), "       ");
    EXPECT_EQ(textOf({"hz", 15.9f}), "       ");
}

TEST(FrequencyText, HzIsNeverBelowTheFloorAndNotesFollowIt) {
    const struct {
        float hz;
        float stored;
        float note;  // octaves of A: 12 notes apart
    } cases[] = {
        {440.0f, 440.0f, 69.0f}, {880.0f, 880.0f, 81.0f}, {55.0f, 55.0f, 33.0f}, {27.5f, 27.5f, 21.0f},
    };
    for (const auto& c : cases) {
        Frequency frequency;
        frequency.setHz(c.hz);
        EXPECT_EQ(frequency.hz(), c.stored) << c.hz;
        EXPECT_NEAR(frequency.note(), c.note, 1e-4) << c.hz;
    }
    for (float hz : {0.0f, -3.0f, 1e-9f}) {
        Frequency frequency;
        frequency.setHz(hz);
        EXPECT_EQ(frequency.hz(), 1e-6f) << hz;
        EXPECT_LT(frequency.note(), -200.0f) << hz;
    }
    // setNote keeps the note exactly and sets the Hz it stands for.
    Frequency frequency;
    frequency.setNote(57.0f);
    EXPECT_EQ(frequency.note(), 57.0f);
    EXPECT_NEAR(frequency.hz(), 220.0f, 1e-4f);
}

TEST(FrequencyText, ATextIsBuiltOncePerHzValue) {
    Frequency frequency;
    frequency.setHz(440.0f);
    const std::string first = frequency.text();
    EXPECT_EQ(frequency.text(), first);
    EXPECT_EQ(frequency.textsBuilt(), 1);
    frequency.setHz(440.0f);  // the same value: still built
    frequency.text();
    EXPECT_EQ(frequency.textsBuilt(), 1);
    frequency.setHz(880.0f);
    EXPECT_EQ(std::string(frequency.text()), "A  5. 0");
    EXPECT_EQ(frequency.textsBuilt(), 2);
    frequency.setNote(60.5f);
    EXPECT_EQ(std::string(frequency.text()), "C  4.50");
    EXPECT_EQ(frequency.textsBuilt(), 3);
}

}  // namespace
