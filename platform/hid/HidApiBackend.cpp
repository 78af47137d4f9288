// HID units through hidapi's hidraw backend. hidapi has no call for the
// report descriptor, so the caps come from the descriptor the kernel shows
// in sysfs, read by our own parser (ReportDescriptor.h).
#include "platform/LastError.h"
#include "platform/PlatformLog.h"
#include "platform/hid/HidBackend.h"
#include "platform/hid/ReportDescriptor.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>

namespace platform::hid {
namespace {

std::string narrow(const wchar_t* text) {
    std::string result;
    if (text == nullptr) return result;
    for (; *text != L'\0'; ++text) result += *text < 0x80 ? static_cast<char>(*text) : '?';
    return result;
}

void setFailure(const std::string& what, hid_device* device) {
    const std::string reason = narrow(hid_error(device));
    setLastErrorText(reason.empty() ? what : what + ": " + reason);
}

// "/dev/hidraw3" -> the descriptor of hidraw3 in sysfs.
std::vector<std::uint8_t> readDescriptor(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string node = slash == std::string::npos ? path : path.substr(slash + 1);
    std::ifstream file("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
    if (!file) return {};
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class HidApiDevice : public HidDevice {
public:
    HidApiDevice(hid_device* device, const ReportDescriptor& descriptor)
        : device_(device), caps_(descriptor.caps), numbered_(descriptor.numbered) {}
    ~HidApiDevice() override { hid_close(device_); }

    HidCaps caps() const override { return caps_; }

    bool flush() override {
        std::lock_guard lock(mutex_);
        std::uint8_t discard[4096];
        for (;;) {
            const int got = hid_read_timeout(device_, discard, sizeof discard, 0);
            if (got == 0) return true;
            if (got < 0) {
                setFailure("HID flush", device_);
                return false;
            }
        }
    }

    HidReadResult read(std::uint8_t* buffer, std::size_t size, std::size_t& length,
                       const std::atomic<bool>& cancel) override {
        length = 0;
        if (size == 0) return HidReadResult::failed;
        // Without numbered reports the wire carries no ID byte; the caller
        // still gets one, 0, in front.
        std::uint8_t* target = numbered_ ? buffer : buffer + 1;
        const std::size_t room = numbered_ ? size : size - 1;
        while (!cancel.load()) {
            int got = 0;
            {
                std::lock_guard lock(mutex_);
                got = room == 0 ? 0 : hid_read_timeout(device_, target, room, hidReadSliceMs);
                if (got < 0) {
                    setFailure("HID read", device_);
                    return HidReadResult::failed;
                }
            }
            if (got > 0) {
                if (!numbered_) buffer[0] = 0;
                length = static_cast<std::size_t>(got) + (numbered_ ? 0 : 1);
                return HidReadResult::ok;
            }
            if (room == 0) return HidReadResult::failed;
        }
        return HidReadResult::cancelled;
    }

    bool write(const std::uint8_t* report, std::size_t length) override {
        std::lock_guard lock(mutex_);
        if (hid_write(device_, report, length) < 0) {
            setFailure("HID write", device_);
            return false;
        }
        return true;
    }

    bool getFeature(std::uint8_t* buffer, std::size_t size, std::size_t& length) override {
        std::lock_guard lock(mutex_);
        length = 0;
        const int got = hid_get_feature_report(device_, buffer, size);
        if (got < 0) {
            setFailure("HID feature report", device_);
            return false;
        }
        length = static_cast<std::size_t>(got);
        return true;
    }

private:
    std::mutex mutex_;
    hid_device* device_;
    HidCaps caps_;
    bool numbered_;
};

class HidApiBackend : public HidBackend {
public:
    HidApiBackend() {
        started_ = hid_init() == 0;
        if (!started_) PLATFORM_VERBOSE_NOTE("hidapi does not start: " + narrow(hid_error(nullptr)));
    }
    ~HidApiBackend() override {
        if (started_) hid_exit();
    }

    std::vector<HidDeviceInfo> enumerate() override {
        std::vector<HidDeviceInfo> found;
        if (!started_) return found;
        // 0, 0 lists every unit; IDs are compared by the caller, exactly
        // (hidapi would take a product of 0 as "any").
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* info = list; info != nullptr; info = info->next) {
            if (info->path == nullptr) continue;
            found.push_back({info->path, info->vendor_id, info->product_id});
        }
        hid_free_enumeration(list);
        return found;
    }

    std::unique_ptr<HidDevice> open(const std::string& path) override {
        if (!started_) {
            setLastErrorText("hidapi is not available");
            return nullptr;
        }
        hid_device* device = hid_open_path(path.c_str());
        if (device == nullptr) {
            setFailure("HID open " + path, nullptr);
            return nullptr;
        }
        const std::vector<std::uint8_t> bytes = readDescriptor(path);
        if (bytes.empty()) PLATFORM_VERBOSE_NOTE("No report descriptor for " + path + ": report lengths 0");
        return std::make_unique<HidApiDevice>(device, parseReportDescriptor(bytes));
    }

private:
    bool started_ = false;
};

}  // namespace

std::unique_ptr<HidBackend> makeHidApiBackend() { return std::make_unique<HidApiBackend>(); }

}  // namespace platform::hid
