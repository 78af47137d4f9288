// USB HID units: listed without opening anything, then opened by path for
// input reports, output reports and feature reports.
//
// The backend is chosen at first use: hidapi over hidraw, or with
// VELKARN_HID=none no device, or with VELKARN_HID=fake the scripted units of
// FakeHid.h (which a test may also install in-process).
//
// Every report begins with its report-ID byte, 0 on a unit without
// numbered reports, and every length counts that byte.
#ifndef VELKARN_PLATFORM_HID_HIDSERVICE_H
#define VELKARN_PLATFORM_HID_HIDSERVICE_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::hid {

struct HidDeviceInfo {
    std::string path;
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// The longest report of each kind, counting the report-ID byte; 0 when the
// unit has no report of that kind.
struct HidCaps {
    std::uint16_t inputReportLength = 0;
    std::uint16_t outputReportLength = 0;
    std::uint16_t featureReportLength = 0;
    friend bool operator==(const HidCaps&, const HidCaps&) = default;
};

enum class HidReadResult { ok, cancelled, failed };

// A blocked read looks at its cancel flag at least this often.
constexpr int hidReadSliceMs = 50;

// An open unit; the destructor closes it. Calls may come from different
// threads (a reader and the user-interface thread); each transfer runs
// whole before the next begins. A failing call leaves its reason as the
// thread's last error text (LastError.h).
class HidDevice {
public:
    virtual ~HidDevice() = default;

    virtual HidCaps caps() const = 0;
    // Drops every input report queued so far, without waiting.
    virtual bool flush() = 0;
    // Waits for the next input report and copies at most size bytes of it,
    // report-ID byte first; length is the number copied. Returns cancelled
    // within one slice once cancel is set, failed when the unit is gone.
    virtual HidReadResult read(std::uint8_t* buffer, std::size_t size, std::size_t& length,
                               const std::atomic<bool>& cancel) = 0;
    // report[0] is the report ID.
    virtual bool write(const std::uint8_t* report, std::size_t length) = 0;
    // buffer[0] names the report ID asked for; the report (ID byte first,
    // at most size bytes) replaces it. length is the number of bytes read.
    virtual bool getFeature(std::uint8_t* buffer, std::size_t size, std::size_t& length) = 0;
};

// The units present now; nothing is opened.
std::vector<HidDeviceInfo> hidEnumerate();

// Null when the unit cannot be opened (the reason as last error text).
std::unique_ptr<HidDevice> hidOpen(const std::string& path);

// The first listed unit with exactly these IDs that opens; only matches are
// opened, and a match that fails to open is passed over.
std::unique_ptr<HidDevice> hidOpenFirst(std::uint16_t vendor, std::uint16_t product);

// Forgets the backend, so that the next call chooses again (tests). Every
// device must be closed.
void resetHidService();

}  // namespace platform::hid

#endif
