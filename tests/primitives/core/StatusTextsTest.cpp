#include "primitives/core/StatusTexts.h"

#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <map>
#include <string>

#include "BuildTest.h"
#include "primitives/core/DispatchRecords.h"

namespace primitives {
namespace {

// Every status and its text, one "code<TAB>text" line each.
std::map<PrimitiveStatus, std::string> loadExpectedTexts() {
    std::map<PrimitiveStatus, std::string> texts;
    std::ifstream file(VELKARN_TEST_DATA_DIR "/status_texts.tsv");
    std::string line;
    while (std::getline(file, line)) {
        const auto tab = line.find('\t');
        texts.emplace(std::stoi(line.substr(0, tab)), line.substr(tab + 1));
    }
    return texts;
}

const std::map<PrimitiveStatus, std::string>& expectedTexts() {
    static const auto texts = loadExpectedTexts();
    return texts;
}

constexpr const char* kUnknown = "Unknown Status Code";

// Every test here walks the fixture file; without it they would pass
// having checked nothing.
class StatusTexts : public test::PerBuildTest {
protected:
    void SetUp() override {
        test::PerBuildTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(expectedTexts().size(), 203u) << "status_texts.tsv is missing or incomplete";
    }
};

TEST_P(StatusTexts, EveryDefinedCodeHasItsText) {
    const auto text = body(duvAduZurideVizide_dispatch);
    for (const auto& [code, expected] : expectedTexts()) {
        EXPECT_STREQ(text(code), expected.c_str()) << "status " << code;
        EXPECT_STREQ(duvAduZurideVizide(code), expected.c_str()) << "status " << code << " through the stub";
    }
}

TEST_P(StatusTexts, EveryOtherCodeIsUnknown) {
    const auto text = body(duvAduZurideVizide_dispatch);
    for (int32_t code = -10001; code <= 1001; ++code) {
        if (expectedTexts().count(code) == 0) {
            EXPECT_STREQ(text(code), kUnknown) << "status " << code;
        }
    }
    for (int32_t code : {INT32_MIN, INT32_MIN + 1, -100000, 100000, INT32_MAX}) {
        EXPECT_STREQ(text(code), kUnknown) << "status " << code;
    }
}

TEST_P(StatusTexts, CodesWithoutTextOfTheirOwn) {
    const auto text = body(duvAduZurideVizide_dispatch);
    for (int32_t code : {-1, -3, -68, -84, -85, -86, -87, -88, -89, -165, 32, 1000, -10000, -180, -9997}) {
        EXPECT_STREQ(text(code), kUnknown) << "status " << code;
    }
    EXPECT_STREQ(text(0), "No error, it's OK");
    EXPECT_STREQ(text(20), "The target cpu is not recognised");
    EXPECT_STREQ(text(-9998), "The target cpu is not supported");
    for (auto [a, b] : {std::pair{-73, -99}, {-74, -100}, {-75, -101}}) {
        EXPECT_STREQ(text(a), text(b));
    }
}

TEST_P(StatusTexts, SameCodeGivesTheSamePointerInEveryBuild) {
    for (const auto& [code, expected] : expectedTexts()) {
        const char* first = duvAduZurideVizide(code);
        for (int32_t b = 0; b <= kLastBuild; ++b) EXPECT_EQ(duvAduZurideVizide_dispatch.table[b](code), first);
    }
    EXPECT_EQ(duvAduZurideVizide(12345), duvAduZurideVizide(-12345));
}

INSTANTIATE_PER_BUILD_TEST_SUITE(StatusTexts);

}  // namespace
}  // namespace primitives
