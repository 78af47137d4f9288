// What a HID backend offers the service (HidService.cpp).
#ifndef VELKARN_PLATFORM_HID_HIDBACKEND_H
#define VELKARN_PLATFORM_HID_HIDBACKEND_H

#include "platform/hid/HidService.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::hid {

class HidBackend {
public:
    virtual ~HidBackend() = default;
    virtual std::vector<HidDeviceInfo> enumerate() = 0;
    virtual std::unique_ptr<HidDevice> open(const std::string& path) = 0;
};

std::unique_ptr<HidBackend> makeHidApiBackend();
std::unique_ptr<HidBackend> makeEnvironmentFakeHidBackend();  // FakeHid.cpp
std::shared_ptr<HidBackend> installedFakeHidBackend();        // null when none is installed

}  // namespace platform::hid

#endif
