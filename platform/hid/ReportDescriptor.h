// The few facts the program needs from a HID report descriptor: the report
// lengths and whether reports are numbered. A malformed descriptor gives
// what was read up to the fault.
#ifndef VELKARN_PLATFORM_HID_REPORTDESCRIPTOR_H
#define VELKARN_PLATFORM_HID_REPORTDESCRIPTOR_H

#include "platform/hid/HidService.h"

#include <cstdint>
#include <vector>

namespace platform::hid {

struct ReportDescriptor {
    HidCaps caps;           // the longest report of each kind, plus the report-ID byte
    bool numbered = false;  // reports carry a report-ID byte on the wire
    bool complete = true;   // false when an item ran past the end
};

ReportDescriptor parseReportDescriptor(const std::vector<std::uint8_t>& bytes);

}  // namespace platform::hid

#endif
