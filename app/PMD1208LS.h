// The PMD-1208LS data-acquisition unit (vendor 0x09DB, product 0x7A) as a
// surface of seven mixer controls. The unit is configured once when it is
// found; a reader thread of its own then asks it for block after block of
// samples, keeps the last scan of the eight inputs, scales each between
// two calibrated extremes and moves the mixer.
//
// Threads: the owner (the user-interface thread) constructs, starts, stops
// and destroys; readRaw may also be called by the owner while no reader
// runs (the calibration). Every transfer, and the device's closing, runs
// under one device lock; the calibration has a lock of its own and the
// effects flag is atomic, so either may change while the reader runs.
// stopThread and the destructor join the reader without a time limit
// before the stop report is sent and the device closed.
#ifndef VELKARN_APP_PMD1208LS_H
#define VELKARN_APP_PMD1208LS_H

#include "platform/Thread.h"
#include "platform/hid/HidService.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class MixerParameters;

class PMD1208LS {
public:
    static constexpr std::uint16_t vendorId = 0x09DB;
    static constexpr std::uint16_t productId = 0x007A;
    static constexpr int inputCount = 8;
    static constexpr float defaultMinimum = 1026.0f;
    static constexpr float defaultMaximum = 1543.0f;
    // A sample block: the report-ID byte, 64 packed samples, the over-range
    // flag at 97 and the status at 102..103. A shorter answer is rejected.
    static constexpr std::size_t featureBytes = 104;

    using Readings = std::array<float, inputCount>;

    // Looks for the unit (only matching units are opened) and sends it the
    // configuration; a failed write closes it. Without a unit the object
    // stays idle. parameters must outlive the object.
    explicit PMD1208LS(MixerParameters* parameters);
    ~PMD1208LS();

    PMD1208LS(const PMD1208LS&) = delete;
    PMD1208LS& operator=(const PMD1208LS&) = delete;

    void setMinimum(const Readings& minimum);
    void setMaximum(const Readings& maximum);
    Readings minimum() const;
    Readings maximum() const;
    // "Vertical sliders control effects": inputs 3 and 6 move the decks'
    // effect levels instead of their gains.
    void setEffects(bool on) { effects_.store(on); }
    bool effects() const { return effects_.load(); }

    // Asks the unit for one block and gives the last scan's readings of the
    // eight inputs. False, with every reading 0, when there is no device, a
    // transfer failed (the device is then closed) or the unit rejected the
    // block (over range, a status other than 1, a short answer); the first
    // rejected block of a run of them is logged.
    bool readRaw(Readings& raw);
    // readRaw, then the seven mapped controls from their positions; a
    // block that was not accepted moves nothing.
    void update();

    // Starts the reader unless there is no device or one was started and
    // not stopped. A thread that cannot be created is logged.
    void startThread();
    // Ends the reader (waiting for its transfer to finish) and, when the
    // device is still open, sends the stop report.
    void stopThread();

    bool hasDevice() const { return deviceOpen_.load(); }
    // True from startThread until the reader's loop ended.
    bool isReading() const { return reading_.load(); }
    platform::hid::HidCaps caps() const { return caps_; }

    // A reading's position between the calibrated extremes, clamped to
    // 0..1; with equal extremes 0 up to the minimum and 1 above it.
    static float positionOf(float raw, float minimum, float maximum);

private:
    bool writeReport(const std::uint8_t* bytes, std::size_t count);  // device lock held
    bool checkWrite(bool written);                                   // device lock held
    void closeDevice();                                              // device lock held
    void run();

    MixerParameters* parameters_;
    mutable std::mutex deviceMutex_;
    std::unique_ptr<platform::hid::HidDevice> device_;
    platform::hid::HidCaps caps_;
    platform::Thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> deviceOpen_{false};
    std::atomic<bool> reading_{false};
    bool rejecting_ = false;  // within a run of rejected blocks; device lock

    mutable std::mutex calibrationMutex_;
    Readings minimum_;
    Readings maximum_;
    std::atomic<bool> effects_{false};
};

#endif
