// The SiLabs USB controller (vendor 0x10C4, product 0) as a crossfader. Its
// input reports carry sixteen 10-bit values; a reader thread of its own
// turns each report into positions and hands the eighth to the mixer's
// crossfader. Nothing else of the unit is used.
//
// Threads: construction, startThread and destruction on one owning thread.
// While the reader runs it alone uses the device; the owner only asks the
// atomic flags. The destructor cancels a read the reader is blocked in and
// joins it before it closes the device, so the reader never outlives the
// object nor touches the mixer after the destructor returned.
#ifndef VELKARN_APP_SILABS_H
#define VELKARN_APP_SILABS_H

#include "platform/Thread.h"
#include "platform/hid/HidService.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

class MixerParameters;

class SiLabs {
public:
    static constexpr std::uint16_t vendorId = 0x10C4;
    static constexpr std::uint16_t productId = 0x0000;
    static constexpr int valueCount = 16;
    static constexpr int crossfaderValue = 7;  // the value that drives the crossfader
    // One report-ID byte and sixteen big-endian values; a longer report is
    // cut here, a shorter one leaves its missing values at 0.
    static constexpr std::size_t reportBytes = 1 + 2 * valueCount;

    // Looks for the unit (only matching units are opened); without one the
    // controller stays idle. parameters must outlive the object.
    explicit SiLabs(MixerParameters* parameters);
    ~SiLabs();

    SiLabs(const SiLabs&) = delete;
    SiLabs& operator=(const SiLabs&) = delete;

    // Starts the reader unless there is no device or a reader was started
    // already. A thread that cannot be created is logged.
    void startThread();

    // Discards the queued reports and waits for the next one; positions
    // are value / 1023 clamped to 0..1, all 0 when nothing was read. True
    // when a report was read. A failed read (the unit unplugged) closes
    // the device. Called by the reader; by others only while none runs.
    bool readValues(std::array<float, valueCount>& positions);

    bool hasDevice() const { return deviceOpen_.load(); }
    // True from startThread until the reader's loop ended (stopped, or the
    // unit was lost).
    bool isReading() const { return reading_.load(); }
    platform::hid::HidCaps caps() const { return caps_; }

    // The position of one 10-bit value.
    static float positionOf(std::uint16_t value);

private:
    void run();

    MixerParameters* parameters_;
    std::unique_ptr<platform::hid::HidDevice> device_;
    platform::hid::HidCaps caps_;
    platform::Thread thread_;
    std::atomic<bool> stop_{false};  // also cancels a blocked read
    std::atomic<bool> deviceOpen_{false};
    std::atomic<bool> reading_{false};
};

#endif
