// The PMD-1208LS controller on the fake HID unit: the configuration reports
// byte for byte, the transfers of each read, blocks decoded against an
// independent Python packer (pmd_blocks.py), the calibration, the effects
// flag, rejected blocks (over range, bad status, short) that move nothing
// and are logged once per run, and the reader thread's start, stop and end
// (run also under AddressSanitizer and ThreadSanitizer).
#include "app/MixerParameters.h"
#include "app/PMD1208LS.h"
#include "platform/hid/FakeHid.h"

#include "Eventually.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

using namespace platform::hid;

namespace {

constexpr const char* unitPath = "/dev/fake-hid/pmd";

// What the unit must receive when it is found, in order, at its output
// report length of 9 bytes (zeros after the listed bytes).
const HidReport configuration[] = {
    {0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x0D, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x00, 0x0D, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    {0x00, 0x01, 0x04, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x08, 0x00, 0xFF, 0x03, 0x00, 0x00, 0x00, 0x00},
    {0x00, 0x08, 0x01, 0xFF, 0x03, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x07, 0x08, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D},
    {0x00, 0x07, 0x02, 0x8E, 0x8F, 0x00, 0x00, 0x00, 0x00},
};
const HidReport scanRequest = {0x00, 0x0E, 0x40, 0x00, 0x65, 0x04, 0x01, 0x00, 0x00};
const HidReport stopReport = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

constexpr int unchangedParameters[] = {MixerParameters::mainVolume, MixerParameters::deck0FilterMode,
                                       MixerParameters::deck1FilterMode};

// A block whose last scan reads the eight values (earlier scans at 0xFFF,
// which a reader of the wrong scan would take).
HidReport block(const std::array<std::uint16_t, 8>& lastScan, bool overRange = false, std::uint16_t status = 1) {
    std::array<std::uint16_t, 64> samples;
    samples.fill(0xFFF);
    std::copy(lastScan.begin(), lastScan.end(), samples.begin() + 56);
    return pmdFeatureReport(samples, overRange, status);
}

FakeHidUnit unitAnswering(std::vector<HidReport> blocks, int delayMs = 0) {
    FakeHidUnit unit = fakePmdUnit();
    unit.feature = [blocks](int n) { return blocks[std::min<std::size_t>(static_cast<std::size_t>(n), blocks.size() - 1)]; };
    unit.featureDelayMs = delayMs;
    return unit;
}

std::vector<HidReport> after(const std::vector<HidReport>& all, std::size_t skip) {
    return std::vector<HidReport>(all.begin() + static_cast<std::ptrdiff_t>(std::min(skip, all.size())), all.end());
}

std::size_t configurationCount() { return std::size(configuration); }

class Pmd1208lsTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::clearLog(); }

    std::unique_ptr<MixerParameters> mixer = std::make_unique<MixerParameters>();
};

TEST_F(Pmd1208lsTest, TheUnitIsConfiguredWithNineReportsByteForByte) {
    FakeHid fake;
    fake.units = {fakePmdUnit()};
    PMD1208LS pmd(mixer.get());
    ASSERT_TRUE(pmd.hasDevice());
    EXPECT_EQ(fake.written(unitPath), std::vector<HidReport>(std::begin(configuration), std::end(configuration)));
    // The calibration starts at the class's defaults, the effects flag off.
    for (int c = 0; c < PMD1208LS::inputCount; ++c) {
        EXPECT_EQ(pmd.minimum()[c], 1026.0f);
        EXPECT_EQ(pmd.maximum()[c], 1543.0f);
    }
    EXPECT_FALSE(pmd.effects());
}

TEST_F(Pmd1208lsTest, ReportsAreZeroPaddedToTheUnitsOutputLength) {
    FakeHid fake;
    FakeHidUnit unit = fakePmdUnit();
    unit.caps.outputReportLength = 16;
    fake.units = {unit};
    PMD1208LS pmd(mixer.get());
    const auto written = fake.written(unitPath);
    ASSERT_EQ(written.size(), configurationCount());
    for (std::size_t i = 0; i < written.size(); ++i) {
        HidReport expected = configuration[i];
        expected.resize(16, 0);
        EXPECT_EQ(written[i], expected) << "report " << i;
    }
}

// A failed write closes the unit: the reports after it are never sent and
// nothing is read.
TEST_F(Pmd1208lsTest, AFailedConfigurationWriteEndsTheSequence) {
    for (int k = 0; k < static_cast<int>(configurationCount()); ++k) {
        SCOPED_TRACE(k);
        testing_support::clearLog();
        FakeHid fake;  // a fresh record of writes per case
        FakeHidUnit unit = fakePmdUnit();
        unit.failWriteAt = k;
        fake.units = {unit};
        PMD1208LS pmd(mixer.get());
        EXPECT_FALSE(pmd.hasDevice());
        EXPECT_EQ(fake.openDevices(), 0);
        EXPECT_EQ(fake.written(unitPath), std::vector<HidReport>(configuration, configuration + k));
        const auto calls = fake.calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string("write ") + unitPath), k + 1);
        EXPECT_EQ(testing_support::logTextsWithoutLineNumbers().size(), 1u);  // the failed write's reason

        PMD1208LS::Readings raw;
        EXPECT_FALSE(pmd.readRaw(raw));
        pmd.startThread();
        EXPECT_FALSE(pmd.isReading());
        EXPECT_EQ(fake.calls(), calls);
    }
}

// Every read: the queued input dropped, the scan request, the block.
TEST_F(Pmd1208lsTest, EachReadFlushesAsksAndReadsTheBlock) {
    FakeHid fake;
    fake.units = {unitAnswering({block({1100, 1200, 1300, 1400, 1500, 1000, 1026, 1543})})};
    PMD1208LS pmd(mixer.get());
    const std::size_t start = fake.calls().size();
    for (int i = 0; i < 3; ++i) {
        PMD1208LS::Readings raw;
        ASSERT_TRUE(pmd.readRaw(raw));
        EXPECT_EQ(raw, (PMD1208LS::Readings{1100, 1200, 1300, 1400, 1500, 1000, 1026, 1543}));
    }
    std::vector<std::string> expected;
    for (int i = 0; i < 3; ++i) {
        for (const char* call : {"flush ", "write ", "feature "}) expected.push_back(call + std::string(unitPath));
    }
    const auto calls = fake.calls();
    EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(start), calls.end()), expected);
    EXPECT_EQ(after(fake.written(unitPath), configurationCount()),
              (std::vector<HidReport>{scanRequest, scanRequest, scanRequest}));
}

// Blocks packed by an independent Python packer: the last scan's eight
// samples, with the nibble order of each three-byte pair.
TEST_F(Pmd1208lsTest, BlocksDecodeAsThePythonPackerPacksThem) {
    for (const char* seed : {"0", "1", "2", "3", "4"}) {
        SCOPED_TRACE(seed);
        std::istringstream output(testing_support::runPython("app/pmd_blocks.py", {seed}));
        std::string hex;
        output >> hex;
        ASSERT_EQ(hex.size(), 2 * PMD1208LS::featureBytes);
        HidReport report;
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            report.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        }
        PMD1208LS::Readings expected;
        for (float& value : expected) ASSERT_TRUE(output >> value);

        FakeHid fake;
        fake.units = {unitAnswering({report})};
        PMD1208LS pmd(mixer.get());
        PMD1208LS::Readings raw;
        ASSERT_TRUE(pmd.readRaw(raw));
        EXPECT_EQ(raw, expected);
    }
}

struct PositionCase {
    float raw;
    float minimum;
    float maximum;
    double expected;
};

// Between the extremes, clamped outside them; equal extremes give 0 up to
// the minimum and 1 above it; reversed extremes read the other way.
TEST_F(Pmd1208lsTest, PositionsScaleBetweenTheCalibratedExtremes) {
    const PositionCase cases[] = {
        {1026, 1026, 1543, 0.0},     {1543, 1026, 1543, 1.0},  {1284.5f, 1026, 1543, 0.5},
        {1000, 1026, 1543, 0.0},     {4095, 1026, 1543, 1.0},  {1200, 1026, 1543, 174.0 / 517.0},
        {0, 1026, 1543, 0.0},        {1000, 1000, 1000, 0.0},  {999, 1000, 1000, 0.0},
        {1001, 1000, 1000, 1.0},     {1500, 2000, 1000, 0.5},  {2500, 2000, 1000, 0.0},
    };
    for (const PositionCase& c : cases) {
        EXPECT_FLOAT_EQ(PMD1208LS::positionOf(c.raw, c.minimum, c.maximum), static_cast<float>(c.expected))
            << c.raw << " in " << c.minimum << ".." << c.maximum;
    }
}

struct MappingCase {
    bool effects;
    int input3;  // the parameter inputs 3 and 6 move
    int input6;
    int still3;  // and those they leave
    int still6;
};

// One block through update: each of the seven inputs moves its control by
// its own calibration; input 7 and the uncontrolled parameters stay.
TEST_F(Pmd1208lsTest, UpdateMovesTheSevenControlsAndTheEffectsFlagChoosesGainOrEffect) {
    const MappingCase cases[] = {
        {false, MixerParameters::deck0Gain, MixerParameters::deck1Gain, MixerParameters::deck0EffectLevel,
         MixerParameters::deck1EffectLevel},
        {true, MixerParameters::deck0EffectLevel, MixerParameters::deck1EffectLevel, MixerParameters::deck0Gain,
         MixerParameters::deck1Gain},
    };
    const std::array<std::uint16_t, 8> raws = {1026, 1543, 1284, 1300, 900, 2000, 1100, 1500};
    PMD1208LS::Readings minimum = {1026, 1026, 1000, 1026, 1026, 1026, 1100, 0};
    PMD1208LS::Readings maximum = {1543, 1543, 1568, 1543, 1543, 1543, 1100, 4095};
    for (const MappingCase& c : cases) {
        SCOPED_TRACE(c.effects);
        FakeHid fake;
        fake.units = {unitAnswering({block(raws)})};
        MixerParameters parameters;
        const MixerParameters defaults;
        PMD1208LS pmd(&parameters);
        pmd.setMinimum(minimum);
        pmd.setMaximum(maximum);
        pmd.setEffects(c.effects);
        pmd.update();

        const int targets[] = {MixerParameters::crossfader,       MixerParameters::deck0LowerCutoff,
                               MixerParameters::deck0UpperCutoff, c.input3,
                               MixerParameters::deck1LowerCutoff, MixerParameters::deck1UpperCutoff,
                               c.input6};
        for (int input = 0; input < 7; ++input) {
            const double span = maximum[input] - minimum[input];
            const double expected = span == 0 ? (raws[input] <= minimum[input] ? 0.0 : 1.0)
                                              : std::clamp((raws[input] - minimum[input]) / span, 0.0, 1.0);
            EXPECT_FLOAT_EQ(parameters.position(targets[input]), static_cast<float>(expected)) << "input " << input;
        }
        for (int still : {c.still3, c.still6}) EXPECT_EQ(parameters.position(still), defaults.position(still));
        for (int still : unchangedParameters) EXPECT_EQ(parameters.position(still), defaults.position(still));
    }
}

// Rejected blocks move nothing; each run of them leaves one log line, the
// first block's reason.
TEST_F(Pmd1208lsTest, RejectedBlocksMoveNothingAndEachRunIsLoggedOnce) {
    const std::array<std::uint16_t, 8> first = {1100, 1200, 1300, 1400, 1500, 1100, 1200, 0};
    const std::array<std::uint16_t, 8> second = {1500, 1400, 1300, 1200, 1100, 1500, 1400, 0};
    const std::vector<HidReport> blocks = {
        block(first),
        block(second, true),  // run 1: over range, then a bad status
        block(second, false, 0),
        block(second, true),
        block(second),
        block(first, false, 2),  // run 2: bad status, then over range
        block(first, true),
        block(first, false, 0x0101),  // only the status's low byte is 1
        block(first),
    };
    {
    FakeHid fake;
    fake.units = {unitAnswering(blocks)};
    PMD1208LS pmd(mixer.get());
    const std::vector<bool> accepted = {true, false, false, false, true, false, false, false, true};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        PMD1208LS::Readings raw;
        raw.fill(-1.0f);
        const bool read = pmd.readRaw(raw);
        EXPECT_EQ(read, accepted[i]) << "block " << i;
        if (!read) {
            EXPECT_TRUE(std::all_of(raw.begin(), raw.end(), [](float r) { return r == 0.0f; })) << "block " << i;
        }
    }
    EXPECT_EQ(testing_support::logTextsWithoutLineNumbers(),
              (std::vector<std::string>{"AI_DATA_OVERRANGE.", "File PMD1208LS.cpp, Line #: Weird shit is happening."}));
    }

    // The same through update: the controls keep the last accepted block.
    testing_support::clearLog();
    FakeHid fake;
    fake.units = {unitAnswering(blocks)};
    MixerParameters parameters;
    PMD1208LS updating(&parameters);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::array<std::uint16_t, 8>& shown = i < 4 ? first : i < 8 ? second : first;
        updating.update();
        EXPECT_FLOAT_EQ(parameters.position(MixerParameters::crossfader), PMD1208LS::positionOf(shown[0], 1026, 1543))
            << "block " << i;
        EXPECT_FLOAT_EQ(parameters.position(MixerParameters::deck0Gain), PMD1208LS::positionOf(shown[3], 1026, 1543))
            << "block " << i;
    }
    EXPECT_EQ(testing_support::logTextsWithoutLineNumbers().size(), 2u);
}

struct ShortCase {
    const char* name;
    std::uint16_t featureLength;  // the unit's caps
    std::size_t answered;         // bytes of the block it answers with
    bool accepted;
};

// A block must hold all 104 bytes: a shorter answer, or a unit whose
// feature reports are said to be shorter, is rejected as a bad status; a
// longer answer is cut at 104.
TEST_F(Pmd1208lsTest, AShortBlockIsRejected) {
    const ShortCase cases[] = {
        {"whole", 104, 104, true},          {"four bytes short", 104, 100, false},
        {"one byte short", 104, 103, false}, {"caps of 64 bytes", 64, 104, false},
        {"longer answer", 104, 130, true},   {"caps longer than the block", 200, 104, true},
    };
    for (const ShortCase& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::clearLog();
        HidReport answer = block({1100, 1200, 1300, 1400, 1500, 1100, 1200, 0});
        answer.resize(c.answered, 0x01);  // bytes past the block are not 0
        FakeHid fake;
        FakeHidUnit unit = unitAnswering({answer});
        unit.caps.featureReportLength = c.featureLength;
        fake.units = {unit};
        MixerParameters parameters;
        const float before = parameters.position(MixerParameters::crossfader);
        PMD1208LS pmd(&parameters);
        pmd.update();
        if (c.accepted) {
            EXPECT_FLOAT_EQ(parameters.position(MixerParameters::crossfader), PMD1208LS::positionOf(1100, 1026, 1543));
            EXPECT_TRUE(testing_support::logTextsWithoutLineNumbers().empty());
        } else {
            EXPECT_EQ(parameters.position(MixerParameters::crossfader), before);
            EXPECT_EQ(testing_support::logTextsWithoutLineNumbers(),
                      std::vector<std::string>{"File PMD1208LS.cpp, Line #: Weird shit is happening."});
        }
        EXPECT_TRUE(pmd.hasDevice());
    }
}

// The reader moves the mixer block after block; stopping it joins it and
// then sends the stop report, after which no scan request follows. It can
// be started again, and the destructor stops it the same way.
TEST_F(Pmd1208lsTest, TheReaderStopsBeforeTheStopReportAndStartsAgain) {
    FakeHid fake;
    fake.units = {unitAnswering({block({1543, 1026, 1026, 1026, 1026, 1026, 1026, 0})}, 2)};
    auto pmd = std::make_unique<PMD1208LS>(mixer.get());
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        const std::size_t writtenBefore = fake.written(unitPath).size();
        pmd->startThread();
        ASSERT_TRUE(pmd->isReading());
        ASSERT_TRUE(testing_support::eventually([&] { return fake.written(unitPath).size() >= writtenBefore + 3; }));
        EXPECT_EQ(mixer->position(MixerParameters::crossfader), 1.0f);
        pmd->stopThread();
        EXPECT_FALSE(pmd->isReading());
        const auto written = after(fake.written(unitPath), writtenBefore);
        ASSERT_GE(written.size(), 2u);
        EXPECT_EQ(written.back(), stopReport);
        EXPECT_EQ(std::count(written.begin(), written.end(), scanRequest), static_cast<long>(written.size() - 1));
        mixer->setPosition(MixerParameters::crossfader, 0.25f);
    }
    // Stopping a stopped reader sends nothing.
    const std::size_t writtenBefore = fake.written(unitPath).size();
    pmd->stopThread();
    EXPECT_EQ(fake.written(unitPath).size(), writtenBefore);

    pmd->startThread();
    ASSERT_TRUE(testing_support::eventually([&] { return fake.written(unitPath).size() >= writtenBefore + 2; }));
    pmd.reset();
    mixer.reset();  // a reader still running would be caught by the sanitizers
    const auto written = after(fake.written(unitPath), writtenBefore);
    EXPECT_EQ(written.back(), stopReport);
    EXPECT_EQ(std::count(written.begin(), written.end(), stopReport), 1);
    const auto calls = fake.calls();
    EXPECT_EQ(calls.back(), std::string("close ") + unitPath);
    EXPECT_EQ(calls[calls.size() - 2], std::string("write ") + unitPath);
}

// A failed transfer closes the unit and ends the reader; nothing is sent
// afterwards, not even the stop report.
TEST_F(Pmd1208lsTest, AFailedTransferEndsTheReader) {
    struct FailureCase {
        const char* name;
        int failWriteAt;
        int failFeatureAt;
    };
    const FailureCase cases[] = {{"feature read", -1, 3}, {"scan request", 12, -1}};
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHid fake;
        FakeHidUnit unit = unitAnswering({block({1300, 1026, 1026, 1026, 1026, 1026, 1026, 0})}, 1);
        unit.failWriteAt = c.failWriteAt;
        unit.failFeatureAt = c.failFeatureAt;
        fake.units = {unit};
        MixerParameters parameters;
        PMD1208LS pmd(&parameters);
        pmd.startThread();
        ASSERT_TRUE(testing_support::eventually([&] { return !pmd.isReading(); }));
        EXPECT_FALSE(pmd.hasDevice());
        EXPECT_EQ(fake.openDevices(), 0);
        EXPECT_FLOAT_EQ(parameters.position(MixerParameters::crossfader), PMD1208LS::positionOf(1300, 1026, 1543));
        const auto calls = fake.calls();
        pmd.stopThread();
        EXPECT_EQ(fake.calls(), calls);
        EXPECT_EQ(fake.written(unitPath).back(), scanRequest);
    }
}

}  // namespace
