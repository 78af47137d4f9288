// Test mode of the HID services: while a FakeHid exists, HidService.h lists
// and opens its scripted units. Input reports are queued by the test or
// produced at a scripted rate; feature reports come from a script after a
// scripted delay (so a reader that asks again and again is paced by the
// unit, as by a real one); every output report is logged; opens, reads (an
// unplug), writes and feature reads fail where the test says.
//
// A child process gets a fake with VELKARN_HID=fake: a SiLabs-like unit
// that reports every value at 512 every 10 ms, and a PMD-like unit that
// answers each feature read after 10 ms with every sample at 1284.
//
// Delays and rates run on monotonicMs() (the virtual clock's when it is on,
// which the reader then waits for in real-time slices).
#ifndef VELKARN_PLATFORM_HID_FAKEHID_H
#define VELKARN_PLATFORM_HID_FAKEHID_H

#include "platform/hid/HidService.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::hid {

using HidReport = std::vector<std::uint8_t>;

struct FakeHidUnit {
    HidDeviceInfo info;
    HidCaps caps;
    bool failOpen = false;
    // Input: reports queued with FakeHid::queueInput come first; with a
    // producer and an interval, a new report is ready every interval ms
    // from the open (report n from produce(n)). Neither: a read waits until
    // it is cancelled.
    std::function<HidReport(int)> produce;
    int produceIntervalMs = 0;
    // Feature reads: report n from feature(n), each after featureDelayMs.
    std::function<HidReport(int)> feature;
    int featureDelayMs = 0;
    // The n-th call of its kind (0 the first) fails; -1 never. A failed
    // read unplugs the unit: every later call fails too.
    int failReadAt = -1;
    int failWriteAt = -1;
    int failFeatureAt = -1;
};

// The two units the program drives. Reports with all values (SiLabs) or
// samples (PMD) at the given reading.
FakeHidUnit fakeSiLabsUnit(std::uint16_t value = 512, int intervalMs = 0);
FakeHidUnit fakePmdUnit(std::uint16_t sample = 1284, int delayMs = 0);

// A SiLabs input report of sixteen values, big-endian after the ID byte.
HidReport siLabsReport(const std::array<std::uint16_t, 16>& values);
// A PMD feature report of 104 bytes: 64 twelve-bit samples packed two to
// three bytes, the over-range flag at 97 and the status at 102, 103.
HidReport pmdFeatureReport(const std::array<std::uint16_t, 64>& samples, bool overRange, std::uint16_t status);

class FakeHid {
public:
    FakeHid();   // installs it; one at a time
    ~FakeHid();  // uninstalls it; close its devices first

    FakeHid(const FakeHid&) = delete;
    FakeHid& operator=(const FakeHid&) = delete;

    // Script before the code under test enumerates or opens.
    std::vector<FakeHidUnit> units;

    // Any thread. For the unit at that path.
    void queueInput(const std::string& path, HidReport report);
    void unplug(const std::string& path);  // wakes a blocked read, which then fails
    std::vector<HidReport> written(const std::string& path) const;
    // Every call, one line each: "open <path>", "flush <path>", "read
    // <path>", "write <path>", "feature <path>", "close <path>".
    std::vector<std::string> calls() const;
    int openDevices() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace platform::hid

#endif
