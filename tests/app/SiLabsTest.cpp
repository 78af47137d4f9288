// The SiLabs controller on the fake HID unit: the scaling of value 7 onto
// the crossfader through the reader thread, reports shorter and longer than
// 33 bytes, the exact search, no thread without a unit or when one cannot
// be created, an unplug, and a destructor that ends a blocked read (run
// also under AddressSanitizer and ThreadSanitizer).
#include "app/MixerParameters.h"
#include "app/SiLabs.h"
#include "platform/Thread.h"
#include "platform/hid/FakeHid.h"

#include "Eventually.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace platform::hid;

namespace {

constexpr const char* unitPath = "/dev/fake-hid/silabs";

// Value k at 0x100 + k, so that a position taken from the wrong value shows.
std::array<std::uint16_t, 16> spreadValues() {
    std::array<std::uint16_t, 16> values;
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<std::uint16_t>(0x100 + k);
    return values;
}

class SiLabsTest : public ::testing::Test {
protected:
    void SetUp() override { testing_support::clearLog(); }
    void TearDown() override { platform::Thread::setStartFault(nullptr); }

    int callCount(const std::string& call) const {
        const auto calls = fake.calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), call + " " + unitPath));
    }

    FakeHid fake;
    std::unique_ptr<MixerParameters> mixer = std::make_unique<MixerParameters>();
};

struct CrossfaderCase {
    std::uint8_t high;
    std::uint8_t low;
    double expected;
};

// Value 7's two bytes, big-endian, scaled by 1/1023 and clamped; each report
// reaches the crossfader through the reader thread, the other fifteen
// values are ignored.
TEST_F(SiLabsTest, TheEighthValueDrivesTheCrossfader) {
    const CrossfaderCase cases[] = {
        {0x03, 0xFF, 1.0},          {0x02, 0x00, 512.0 / 1023.0}, {0x00, 0x00, 0.0},
        {0x01, 0x00, 256.0 / 1023}, {0x00, 0x01, 1.0 / 1023.0},   {0x04, 0x00, 1.0},
        {0xFF, 0xFF, 1.0},          {0x00, 0x7B, 123.0 / 1023.0},
    };
    fake.units = {fakeSiLabsUnit()};
    SiLabs siLabs(mixer.get());
    ASSERT_TRUE(siLabs.hasDevice());
    EXPECT_EQ(siLabs.caps(), (HidCaps{33, 0, 0}));
    siLabs.startThread();
    ASSERT_TRUE(siLabs.isReading());

    int reads = 1;
    for (const CrossfaderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.high) << " " << int(c.low));
        // Queued only once the reader waits, since it drops what was queued
        // before its read.
        ASSERT_TRUE(testing_support::eventually([&] { return callCount("read") >= reads; }));
        HidReport report = siLabsReport(spreadValues());
        report[1 + 2 * SiLabs::crossfaderValue] = c.high;
        report[2 + 2 * SiLabs::crossfaderValue] = c.low;
        fake.queueInput(unitPath, report);
        ++reads;
        ASSERT_TRUE(testing_support::eventually([&] { return callCount("read") >= reads; }));
        if (c.expected == 1.0) EXPECT_EQ(mixer->position(MixerParameters::crossfader), 1.0f);
        else EXPECT_FLOAT_EQ(mixer->position(MixerParameters::crossfader), static_cast<float>(c.expected));
    }
    // Before every read the queue is flushed.
    EXPECT_EQ(callCount("flush"), callCount("read"));
    for (int index = 0; index < MixerParameters::count; ++index) {
        if (index == MixerParameters::crossfader) continue;
        MixerParameters untouched;
        EXPECT_EQ(mixer->position(index), untouched.position(index)) << index;
    }
}

struct ReportCase {
    const char* name;
    std::size_t length;  // of the report sent: bytes of spreadValues() and then 0xEE
};

// The read is bounded by the 33-byte report; what a short report leaves out
// reads 0.
TEST_F(SiLabsTest, ShortReportsReadZerosAndLongOnesAreBounded) {
    const ReportCase cases[] = {{"whole", 33}, {"id only", 1}, {"three values and a half", 8}, {"long", 64}};
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.name);
        HidReport full = siLabsReport(spreadValues());
        HidReport sent(c.length, 0xEE);
        std::copy_n(full.begin(), std::min(c.length, full.size()), sent.begin());
        FakeHidUnit unit = fakeSiLabsUnit();
        unit.produce = [sent](int) { return sent; };
        unit.produceIntervalMs = 1;
        fake.units = {unit};

        SiLabs siLabs(mixer.get());
        std::array<float, SiLabs::valueCount> positions;
        positions.fill(-1.0f);
        ASSERT_TRUE(siLabs.readValues(positions));
        for (std::size_t k = 0; k < positions.size(); ++k) {
            // The high byte alone gives 0x100 (the low byte then reads 0).
            const double expected = 2 + 2 * k < c.length   ? (0x100 + k) / 1023.0
                                    : 1 + 2 * k < c.length ? 0x100 / 1023.0
                                                           : 0.0;
            EXPECT_FLOAT_EQ(positions[k], static_cast<float>(expected)) << "value " << k;
        }
    }
}

struct AbsentCase {
    const char* name;
    std::vector<FakeHidUnit> units;
    std::vector<std::string> opened;
};

// Only 10C4:0000 is taken; without it there is no device and no thread, and
// readValues gives zeros.
TEST_F(SiLabsTest, WithoutTheUnitThereIsNoThread) {
    FakeHidUnit near = fakeSiLabsUnit();
    near.info = {"/dev/fake-hid/near", 0x10C4, 0x0001};
    FakeHidUnit other = fakeSiLabsUnit();
    other.info = {"/dev/fake-hid/keyboard", 0x046D, 0x0000};
    FakeHidUnit broken = fakeSiLabsUnit();
    broken.failOpen = true;
    const AbsentCase cases[] = {
        {"no units", {}, {}},
        {"product 1 and another vendor's product 0", {near, other}, {}},
        {"the unit fails to open", {broken}, {"open /dev/fake-hid/silabs"}},
    };
    for (const AbsentCase& c : cases) {
        SCOPED_TRACE(c.name);
        fake.units = c.units;
        const std::size_t before = fake.calls().size();
        {
            SiLabs siLabs(mixer.get());
            EXPECT_FALSE(siLabs.hasDevice());
            siLabs.startThread();
            EXPECT_FALSE(siLabs.isReading());
            std::array<float, SiLabs::valueCount> positions;
            positions.fill(-1.0f);
            EXPECT_FALSE(siLabs.readValues(positions));
            EXPECT_TRUE(std::all_of(positions.begin(), positions.end(), [](float p) { return p == 0.0f; }));
        }
        const auto calls = fake.calls();
        EXPECT_EQ(std::vector<std::string>(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end()), c.opened);
        EXPECT_EQ(fake.openDevices(), 0);
    }
}

TEST_F(SiLabsTest, AThreadThatCannotBeCreatedIsLogged) {
    fake.units = {fakeSiLabsUnit()};
    SiLabs siLabs(mixer.get());
    platform::Thread::setStartFault([] { return true; });
    siLabs.startThread();
    EXPECT_FALSE(siLabs.isReading());
    EXPECT_EQ(testing_support::logTextsWithoutLineNumbers(),
              std::vector<std::string>{"File SiLabs.cpp, Line #: Thread creation failed."});
    // Once threads can be made again, the next start works.
    platform::Thread::setStartFault(nullptr);
    siLabs.startThread();
    EXPECT_TRUE(siLabs.isReading());
}

// A failed read (the unit unplugged) closes the device and ends the reader;
// the crossfader keeps the last position it was given.
TEST_F(SiLabsTest, AnUnplugEndsTheReaderAndTheCrossfaderStays) {
    fake.units = {fakeSiLabsUnit()};
    SiLabs siLabs(mixer.get());
    siLabs.startThread();
    ASSERT_TRUE(testing_support::eventually([&] { return callCount("read") >= 1; }));
    std::array<std::uint16_t, 16> values = spreadValues();
    values[SiLabs::crossfaderValue] = 900;
    fake.queueInput(unitPath, siLabsReport(values));
    ASSERT_TRUE(testing_support::eventually([&] { return callCount("read") >= 2; }));
    const float kept = mixer->position(MixerParameters::crossfader);
    EXPECT_FLOAT_EQ(kept, 900.0f / 1023.0f);

    fake.unplug(unitPath);
    ASSERT_TRUE(testing_support::eventually([&] { return !siLabs.isReading(); }));
    EXPECT_FALSE(siLabs.hasDevice());
    EXPECT_EQ(fake.openDevices(), 0);
    EXPECT_EQ(mixer->position(MixerParameters::crossfader), kept);
    EXPECT_EQ(callCount("read"), 2);
    // No second reader is started for a unit that is gone.
    siLabs.startThread();
    EXPECT_FALSE(siLabs.isReading());
}

// The reader blocked in a read without reports: the destructor cancels it,
// joins the reader and only then closes the device. The mixer is deleted
// right after, so a reader that still ran would be caught by the
// sanitizers.
TEST_F(SiLabsTest, TheDestructorEndsABlockedReadBeforeClosing) {
    fake.units = {fakeSiLabsUnit()};
    auto siLabs = std::make_unique<SiLabs>(mixer.get());
    siLabs->startThread();
    ASSERT_TRUE(testing_support::eventually([&] { return callCount("read") >= 1; }));
    const float before = mixer->position(MixerParameters::crossfader);
    siLabs.reset();
    EXPECT_EQ(mixer->position(MixerParameters::crossfader), before);  // a cancelled read moves nothing
    mixer.reset();
    const auto calls = fake.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.back(), std::string("close ") + unitPath);
    EXPECT_EQ(calls[calls.size() - 2], std::string("read ") + unitPath);
    EXPECT_EQ(fake.openDevices(), 0);
}

}  // namespace
