// One open MIDI output that sends the timing clock, 24 pulses per beat, at
// the application's current tempo.
//
// The pulses run on the timer thread: each tick sends 0xF8 and, while
// running, arms the next one after the beat period / 24 rounded to whole
// milliseconds (21 ms at 120 BPM), read through the application interface
// at that tick. Exactly one tick is armed at a time: start arms one only
// when none is pending, so a stop and start before the pending tick keeps
// a single chain. stop lets the armed tick go out, one last pulse.
//
// start and stop run on the user-interface thread. A device that cannot be
// opened leaves the object closed and every call does nothing; failures
// other than a missing device show the output error box.
#ifndef VELKARN_APP_MIDIOUT_H
#define VELKARN_APP_MIDIOUT_H

#include "framework/TimerClient.h"
#include "platform/midi/MidiService.h"

#include <memory>
#include <mutex>

class ApplicationInterface;
class Timer;

class MidiOut : public TimerClient {
public:
    // Opens the output named exactly deviceName (the first output when none
    // is). The application outlives it.
    MidiOut(const char* deviceName, ApplicationInterface* application);
    // When opened: no tick runs or follows once it returns; then the device
    // is reset and closed.
    ~MidiOut() override;

    MidiOut(const MidiOut&) = delete;
    MidiOut& operator=(const MidiOut&) = delete;

    void start();
    void stop();
    bool isOpened() const { return opened_; }
    bool isRunning();

    // The pulse period in whole milliseconds for a beat period in seconds.
    static int pulsePeriodMs(float beatPeriod);

    // Timer thread.
    void tick(Timer* timer) override;

private:
    platform::midi::MidiHandle handle_ = platform::midi::noMidiHandle;
    bool opened_ = false;
    ApplicationInterface* application_;
    std::unique_ptr<Timer> timer_;
    // running_ and armed_ change together: a tick that sees running_ clear
    // and a start that sees a tick armed must not both leave the chain.
    std::mutex mutex_;
    bool running_ = false;
    bool armed_ = false;
    bool sendFailed_ = false;
};

#endif
