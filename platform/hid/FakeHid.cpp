#include "platform/hid/FakeHid.h"

#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/hid/HidBackend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace platform::hid {

struct FakeHid::State {
    struct Unit {
        std::deque<HidReport> queued;
        std::vector<HidReport> written;
        bool unplugged = false;
        int reads = 0;
        int writes = 0;
        int features = 0;
        int produced = 0;
        std::uint64_t openMs = 0;
        std::uint64_t consumedMs = 0;  // reports due up to here are taken or flushed
    };
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::map<std::string, Unit> units;
    std::vector<std::string> calls;
    int open = 0;
};

namespace {

using State = FakeHid::State;

void copyReport(const HidReport& report, std::uint8_t* buffer, std::size_t size, std::size_t& length) {
    length = std::min(size, report.size());
    if (length > 0) std::memcpy(buffer, report.data(), length);
}

class FakeDevice : public HidDevice {
public:
    FakeDevice(std::shared_ptr<State> state, FakeHidUnit unit) : state_(std::move(state)), unit_(std::move(unit)) {}
    ~FakeDevice() override {
        std::lock_guard lock(state_->mutex);
        state_->calls.push_back("close " + path());
        --state_->open;
    }

    HidCaps caps() const override { return unit_.caps; }

    bool flush() override {
        std::lock_guard lock(state_->mutex);
        state_->calls.push_back("flush " + path());
        State::Unit& unit = runtime();
        if (unit.unplugged) return gone();
        unit.queued.clear();
        unit.consumedMs = std::max(unit.consumedMs, monotonicMs());
        return true;
    }

    HidReadResult read(std::uint8_t* buffer, std::size_t size, std::size_t& length,
                       const std::atomic<bool>& cancel) override {
        length = 0;
        std::unique_lock lock(state_->mutex);
        state_->calls.push_back("read " + path());
        State::Unit& unit = runtime();
        if (unit.reads++ == unit_.failReadAt) unit.unplugged = true;
        for (;;) {
            if (unit.unplugged) {
                gone();
                return HidReadResult::failed;
            }
            if (cancel.load()) return HidReadResult::cancelled;
            if (!unit.queued.empty()) {
                copyReport(unit.queued.front(), buffer, size, length);
                unit.queued.pop_front();
                return HidReadResult::ok;
            }
            auto wait = std::chrono::milliseconds(hidReadSliceMs);
            if (unit_.produce && unit_.produceIntervalMs > 0) {
                const auto interval = static_cast<std::uint64_t>(unit_.produceIntervalMs);
                const std::uint64_t due = unit.openMs + ((unit.consumedMs - unit.openMs) / interval + 1) * interval;
                const std::uint64_t now = monotonicMs();
                if (now >= due) {
                    copyReport(unit_.produce(unit.produced++), buffer, size, length);
                    unit.consumedMs = due;
                    return HidReadResult::ok;
                }
                wait = std::min(wait, std::chrono::milliseconds(due - now));
            }
            state_->changed.wait_for(lock, wait);
        }
    }

    bool write(const std::uint8_t* report, std::size_t length) override {
        std::lock_guard lock(state_->mutex);
        state_->calls.push_back("write " + path());
        State::Unit& unit = runtime();
        if (unit.unplugged || unit.writes++ == unit_.failWriteAt) return gone();
        unit.written.emplace_back(report, report + length);
        return true;
    }

    bool getFeature(std::uint8_t* buffer, std::size_t size, std::size_t& length) override {
        length = 0;
        int index = 0;
        {
            std::lock_guard lock(state_->mutex);
            state_->calls.push_back("feature " + path());
            State::Unit& unit = runtime();
            index = unit.features++;
            if (unit.unplugged || index == unit_.failFeatureAt || !unit_.feature) return gone();
        }
        // The unit takes its time to answer; nothing is locked meanwhile.
        if (unit_.featureDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(unit_.featureDelayMs));
        copyReport(unit_.feature(index), buffer, size, length);
        return true;
    }

private:
    const std::string& path() const { return unit_.info.path; }
    State::Unit& runtime() { return state_->units[path()]; }
    bool gone() {
        setLastErrorText("The HID unit " + path() + " does not answer");
        return false;
    }

    std::shared_ptr<State> state_;
    FakeHidUnit unit_;
};

class FakeBackend : public HidBackend {
public:
    FakeBackend(std::shared_ptr<State> state, const std::vector<FakeHidUnit>* units)
        : state_(std::move(state)), units_(units) {}

    std::vector<HidDeviceInfo> enumerate() override {
        std::vector<HidDeviceInfo> found;
        for (const FakeHidUnit& unit : *units_) found.push_back(unit.info);
        return found;
    }

    std::unique_ptr<HidDevice> open(const std::string& path) override {
        std::lock_guard lock(state_->mutex);
        state_->calls.push_back("open " + path);
        for (const FakeHidUnit& unit : *units_) {
            if (unit.info.path != path) continue;
            if (unit.failOpen) break;
            State::Unit& runtime = state_->units[path];
            runtime.openMs = monotonicMs();
            runtime.consumedMs = runtime.openMs;
            runtime.produced = 0;
            ++state_->open;
            return std::make_unique<FakeDevice>(state_, unit);
        }
        setLastErrorText("Cannot open the HID unit " + path);
        return nullptr;
    }

private:
    std::shared_ptr<State> state_;
    const std::vector<FakeHidUnit>* units_;
};

std::mutex installedMutex;
std::shared_ptr<FakeBackend> installed;

class EnvironmentFake : public HidBackend {
public:
    EnvironmentFake()
        : units_{fakeSiLabsUnit(512, 10), fakePmdUnit(1284, 10)},
          state_(std::make_shared<State>()),
          backend_(state_, &units_) {}
    std::vector<HidDeviceInfo> enumerate() override { return backend_.enumerate(); }
    std::unique_ptr<HidDevice> open(const std::string& path) override { return backend_.open(path); }

private:
    std::vector<FakeHidUnit> units_;
    std::shared_ptr<State> state_;
    FakeBackend backend_;
};

}  // namespace

HidReport siLabsReport(const std::array<std::uint16_t, 16>& values) {
    HidReport report(33, 0);
    for (std::size_t k = 0; k < values.size(); ++k) {
        report[1 + 2 * k] = static_cast<std::uint8_t>(values[k] >> 8);
        report[2 + 2 * k] = static_cast<std::uint8_t>(values[k]);
    }
    return report;
}

HidReport pmdFeatureReport(const std::array<std::uint16_t, 64>& samples, bool overRange, std::uint16_t status) {
    HidReport report(104, 0);
    for (std::size_t t = 0; t < 32; ++t) {
        const std::uint16_t even = samples[2 * t] & 0xFFF;
        const std::uint16_t odd = samples[2 * t + 1] & 0xFFF;
        report[1 + 3 * t] = static_cast<std::uint8_t>(even);
        report[2 + 3 * t] = static_cast<std::uint8_t>(((even >> 8) << 4) | (odd >> 8));
        report[3 + 3 * t] = static_cast<std::uint8_t>(odd);
    }
    report[97] = overRange ? 1 : 0;
    report[102] = static_cast<std::uint8_t>(status);
    report[103] = static_cast<std::uint8_t>(status >> 8);
    return report;
}

FakeHidUnit fakeSiLabsUnit(std::uint16_t value, int intervalMs) {
    FakeHidUnit unit;
    unit.info = {"/dev/fake-hid/silabs", 0x10C4, 0x0000};
    unit.caps = {33, 0, 0};
    if (intervalMs > 0) {
        std::array<std::uint16_t, 16> values;
        values.fill(value);
        const HidReport report = siLabsReport(values);
        unit.produce = [report](int) { return report; };
        unit.produceIntervalMs = intervalMs;
    }
    return unit;
}

FakeHidUnit fakePmdUnit(std::uint16_t sample, int delayMs) {
    FakeHidUnit unit;
    unit.info = {"/dev/fake-hid/pmd", 0x09DB, 0x007A};
    unit.caps = {9, 9, 104};
    std::array<std::uint16_t, 64> samples;
    samples.fill(sample);
    const HidReport report = pmdFeatureReport(samples, false, 1);
    unit.feature = [report](int) { return report; };
    unit.featureDelayMs = delayMs;
    return unit;
}

std::shared_ptr<HidBackend> installedFakeHidBackend() {
    std::lock_guard lock(installedMutex);
    return installed;
}

std::unique_ptr<HidBackend> makeEnvironmentFakeHidBackend() { return std::make_unique<EnvironmentFake>(); }

FakeHid::FakeHid() : state_(std::make_shared<State>()) {
    std::lock_guard lock(installedMutex);
    installed = std::make_shared<FakeBackend>(state_, &units);
}

FakeHid::~FakeHid() {
    std::lock_guard lock(installedMutex);
    installed.reset();
}

void FakeHid::queueInput(const std::string& path, HidReport report) {
    std::lock_guard lock(state_->mutex);
    state_->units[path].queued.push_back(std::move(report));
    state_->changed.notify_all();
}

void FakeHid::unplug(const std::string& path) {
    std::lock_guard lock(state_->mutex);
    state_->units[path].unplugged = true;
    state_->changed.notify_all();
}

std::vector<HidReport> FakeHid::written(const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    auto found = state_->units.find(path);
    return found == state_->units.end() ? std::vector<HidReport>{} : found->second.written;
}

std::vector<std::string> FakeHid::calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

int FakeHid::openDevices() const {
    std::lock_guard lock(state_->mutex);
    return state_->open;
}

}  // namespace platform::hid
