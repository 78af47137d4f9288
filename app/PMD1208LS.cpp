#include "app/PMD1208LS.h"

#include "app/MixerParameters.h"
#include "framework/Log.h"
#include "framework/Reporters.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace {

using Report = std::initializer_list<std::uint8_t>;

// Sent in this order when the unit is found. Byte 0 is the report ID.
const Report configurationReports[] = {
    {0x00, 0x05},
    {0x00, 0x0D, 0x01, 0x00},
    {0x00, 0x0D, 0x04, 0x00},
    {0x00, 0x01, 0x01, 0x00},
    {0x00, 0x01, 0x04, 0xFF},
    {0x00, 0x08, 0x00, 0xFF, 0x03},
    {0x00, 0x08, 0x01, 0xFF, 0x03},
    {0x00, 0x07, 0x08, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D},
    {0x00, 0x07, 0x02, 0x8E, 0x8F},
};
// Asks for one block of 64 samples (eight scans of the eight inputs).
constexpr std::uint8_t scanRequest[] = {0x00, 0x0E, 0x40, 0x00, 0x65, 0x04, 0x01};
constexpr std::uint8_t stopReport[] = {0x00, 0x10};

constexpr std::size_t overRangeByte = 97;
constexpr std::size_t statusByte = 102;  // 16-bit little-endian
constexpr int lastScanSample = 56;       // the eight inputs of the block's last scan

// Input c's mixer control: the gain or, with the effects flag, the effect
// level for inputs 3 and 6; input 7 is not used.
constexpr int mappedInputs = 7;
int parameterOf(int input, bool effects) {
    switch (input) {
    case 0: return MixerParameters::crossfader;
    case 1: return MixerParameters::deck0LowerCutoff;
    case 2: return MixerParameters::deck0UpperCutoff;
    case 3: return effects ? MixerParameters::deck0EffectLevel : MixerParameters::deck0Gain;
    case 4: return MixerParameters::deck1LowerCutoff;
    case 5: return MixerParameters::deck1UpperCutoff;
    default: return effects ? MixerParameters::deck1EffectLevel : MixerParameters::deck1Gain;
    }
}

// Sample n of a block: two 12-bit samples in each three bytes after the
// report ID, the middle byte holding their high nibbles (the even sample's
// first).
float sampleOf(const std::uint8_t* block, int n) {
    const std::uint8_t* group = block + 1 + 3 * (n / 2);
    const int value = n % 2 == 0 ? (group[1] >> 4) << 8 | group[0] : (group[1] & 0x0F) << 8 | group[2];
    return static_cast<float>(value);
}

}  // namespace

PMD1208LS::PMD1208LS(MixerParameters* parameters) : parameters_(parameters) {
    minimum_.fill(defaultMinimum);
    maximum_.fill(defaultMaximum);
    std::lock_guard lock(deviceMutex_);
    device_ = platform::hid::hidOpenFirst(vendorId, productId);
    if (!device_) return;
    caps_ = device_->caps();
    deviceOpen_.store(true);
    for (const Report& report : configurationReports) {
        if (!writeReport(report.begin(), report.size())) break;
    }
}

PMD1208LS::~PMD1208LS() {
    stopThread();
    std::lock_guard lock(deviceMutex_);
    closeDevice();
}

void PMD1208LS::setMinimum(const Readings& minimum) {
    std::lock_guard lock(calibrationMutex_);
    minimum_ = minimum;
}

void PMD1208LS::setMaximum(const Readings& maximum) {
    std::lock_guard lock(calibrationMutex_);
    maximum_ = maximum;
}

PMD1208LS::Readings PMD1208LS::minimum() const {
    std::lock_guard lock(calibrationMutex_);
    return minimum_;
}

PMD1208LS::Readings PMD1208LS::maximum() const {
    std::lock_guard lock(calibrationMutex_);
    return maximum_;
}

float PMD1208LS::positionOf(float raw, float minimum, float maximum) {
    if (maximum == minimum) return raw <= minimum ? 0.0f : 1.0f;
    return std::clamp((raw - minimum) / (maximum - minimum), 0.0f, 1.0f);
}

void PMD1208LS::closeDevice() {
    device_.reset();
    deviceOpen_.store(false);
}

bool PMD1208LS::checkWrite(bool written) {
    if (written) return true;
    reportWindowsError(false, __FILE__, __LINE__);
    closeDevice();
    return false;
}

// Written at the unit's output report length, zeros after the listed bytes;
// never cut shorter than the listed bytes.
bool PMD1208LS::writeReport(const std::uint8_t* bytes, std::size_t count) {
    if (!device_) return false;
    std::vector<std::uint8_t> report(std::max<std::size_t>(caps_.outputReportLength, count), 0);
    std::copy(bytes, bytes + count, report.begin());
    return checkWrite(device_->write(report.data(), report.size()));
}

bool PMD1208LS::readRaw(Readings& raw) {
    raw.fill(0.0f);
    std::lock_guard lock(deviceMutex_);
    if (!device_) return false;
    // The answer must be to this request, not an old queued report.
    device_->flush();
    if (!writeReport(scanRequest, sizeof scanRequest)) return false;

    std::array<std::uint8_t, featureBytes> block{};  // report ID 0 asked for
    const std::size_t asked = caps_.featureReportLength == 0
                                  ? block.size()
                                  : std::min<std::size_t>(caps_.featureReportLength, block.size());
    std::size_t length = 0;
    if (!device_->getFeature(block.data(), asked, length)) {
        reportWindowsError(false, __FILE__, __LINE__);
        closeDevice();
        return false;
    }

    const bool overRange = block[overRangeByte] != 0;
    const int status = block[statusByte] | block[statusByte + 1] << 8;
    if (overRange || status != 1 || length < featureBytes) {
        if (!rejecting_) {
            if (overRange) appendToLog("AI_DATA_OVERRANGE.");
            else logMessage("Weird shit is happening.", __FILE__, __LINE__);
        }
        rejecting_ = true;
        return false;
    }
    rejecting_ = false;
    for (int c = 0; c < inputCount; ++c) raw[c] = sampleOf(block.data(), lastScanSample + c);
    return true;
}

void PMD1208LS::update() {
    Readings raw;
    if (!readRaw(raw)) return;
    const Readings low = minimum();
    const Readings high = maximum();
    const bool effectsOn = effects();
    for (int c = 0; c < mappedInputs; ++c) {
        parameters_->setPosition(parameterOf(c, effectsOn), positionOf(raw[c], low[c], high[c]));
    }
}

void PMD1208LS::startThread() {
    if (thread_.running() || !deviceOpen_.load()) return;
    stop_.store(false);
    reading_.store(true);
    if (!thread_.start([this] { run(); })) {
        reading_.store(false);
        logMessage("Thread creation failed.", __FILE__, __LINE__);
    }
}

void PMD1208LS::stopThread() {
    if (!thread_.running()) return;
    stop_.store(true);
    // A transfer under way ends by itself (the unit answers or fails).
    thread_.join();
    std::lock_guard lock(deviceMutex_);
    writeReport(stopReport, sizeof stopReport);
}

// Paced by the unit: each feature read waits for its block.
void PMD1208LS::run() {
    while (!stop_.load() && deviceOpen_.load()) update();
    reading_.store(false);
}
