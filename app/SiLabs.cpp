#include "app/SiLabs.h"

#include "app/MixerParameters.h"
#include "framework/Log.h"
#include "framework/Reporters.h"

#include <algorithm>

SiLabs::SiLabs(MixerParameters* parameters) : parameters_(parameters) {
    device_ = platform::hid::hidOpenFirst(vendorId, productId);
    if (device_) {
        caps_ = device_->caps();
        deviceOpen_.store(true);
    }
}

SiLabs::~SiLabs() {
    // The stop flag is also the read's cancel flag: a reader blocked in a
    // read returns within one read slice, so the join needs no limit.
    stop_.store(true);
    thread_.join();
    device_.reset();
    deviceOpen_.store(false);
}

void SiLabs::startThread() {
    // Once a reader was started only it may look at the device.
    if (thread_.running() || !device_) return;
    stop_.store(false);
    reading_.store(true);
    if (!thread_.start([this] { run(); })) {
        reading_.store(false);
        logMessage("Thread creation failed.", __FILE__, __LINE__);
    }
}

float SiLabs::positionOf(std::uint16_t value) {
    return std::clamp(static_cast<float>(value) * 0.0009775171f, 0.0f, 1.0f);
}

bool SiLabs::readValues(std::array<float, valueCount>& positions) {
    positions.fill(0.0f);
    if (!device_) return false;
    // Only the newest report counts: whatever queued up meanwhile is old.
    device_->flush();
    std::array<std::uint8_t, reportBytes> report{};
    std::size_t length = 0;
    switch (device_->read(report.data(), report.size(), length, stop_)) {
    case platform::hid::HidReadResult::cancelled:
        return false;
    case platform::hid::HidReadResult::failed:
        reportWindowsError(false, __FILE__, __LINE__);
        device_.reset();
        deviceOpen_.store(false);
        return false;
    case platform::hid::HidReadResult::ok:
        break;
    }
    // Bytes past the report's length stay 0, so its missing values read 0.
    for (int k = 0; k < valueCount; ++k) {
        const auto value = static_cast<std::uint16_t>(report[1 + 2 * k] << 8 | report[2 + 2 * k]);
        positions[k] = positionOf(value);
    }
    return true;
}

// Paced by the unit's report rate. A read that was cancelled or failed
// moves nothing, so the crossfader keeps its last position.
void SiLabs::run() {
    std::array<float, valueCount> positions{};
    while (!stop_.load() && device_) {
        if (readValues(positions)) parameters_->setPosition(MixerParameters::crossfader, positions[crossfaderValue]);
    }
    reading_.store(false);
}
