#include "app/MidiOut.h"

#include "app/ApplicationInterface.h"
#include "app/MidiDeviceList.h"
#include "framework/Log.h"
#include "framework/Timer.h"

using namespace platform::midi;

namespace {
constexpr std::uint32_t timingClock = 0xF8;
}

MidiOut::MidiOut(const char* deviceName, ApplicationInterface* application) : application_(application) {
    const unsigned device = MidiDeviceList::deviceFor(true, deviceName);
    const MidiResult result = midiOutputOpen(device, handle_);
    if (result == midiOk) {
        opened_ = true;
        timer_ = std::make_unique<Timer>(this);
    } else if (result != midiBadDeviceId) {
        MidiDeviceList::showOutputError(result);
    }
}

MidiOut::~MidiOut() {
    if (!opened_) return;
    {
        std::lock_guard hold(mutex_);
        running_ = false;
    }
    // Cancels the armed tick and waits for one that is running.
    timer_.reset();
    midiOutputReset(handle_);
    midiOutputClose(handle_);
}

int MidiOut::pulsePeriodMs(float beatPeriod) {
    // Seconds per beat x 1000 / 24, rounded half up in single precision.
    const float milliseconds = beatPeriod * 41.666668f;
    return static_cast<int>(milliseconds + 0.5f);
}

void MidiOut::start() {
    if (!opened_) return;
    std::lock_guard hold(mutex_);
    running_ = true;
    if (!armed_) armed_ = timer_->trigger(0);
}

void MidiOut::stop() {
    if (!opened_) return;
    std::lock_guard hold(mutex_);
    running_ = false;
}

bool MidiOut::isRunning() {
    std::lock_guard hold(mutex_);
    return running_;
}

void MidiOut::tick(Timer* timer) {
    const MidiResult result = midiOutputShortMessage(handle_, timingClock);
    if (result != midiOk && !sendFailed_) {
        // Once per run of failures: at 24 pulses per beat a dead device
        // would fill the log.
        logMessage("Cannot send the MIDI clock.", __FILE__, __LINE__);
    }
    sendFailed_ = result != midiOk;
    const float beatPeriod = application_->beatPeriod();
    std::lock_guard hold(mutex_);
    armed_ = running_ && timer->trigger(pulsePeriodMs(beatPeriod));
}
