#include "platform/hid/HidService.h"

#include "platform/LastError.h"
#include "platform/hid/HidBackend.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform::hid {
namespace {

class EmptyBackend : public HidBackend {
public:
    std::vector<HidDeviceInfo> enumerate() override { return {}; }
    std::unique_ptr<HidDevice> open(const std::string& path) override {
        setLastErrorText("No HID unit at " + path);
        return nullptr;
    }
};

std::mutex chosenMutex;
std::shared_ptr<HidBackend> chosen;

std::shared_ptr<HidBackend> currentBackend() {
    if (auto fake = installedFakeHidBackend(); fake != nullptr) return fake;
    std::lock_guard lock(chosenMutex);
    if (!chosen) {
        const char* choice = std::getenv("VELKARN_HID");
        if (choice != nullptr && std::strcmp(choice, "none") == 0) {
            chosen = std::make_shared<EmptyBackend>();
        } else if (choice != nullptr && std::strcmp(choice, "fake") == 0) {
            chosen = makeEnvironmentFakeHidBackend();
        } else {
            chosen = makeHidApiBackend();
        }
    }
    return chosen;
}

}  // namespace

std::vector<HidDeviceInfo> hidEnumerate() { return currentBackend()->enumerate(); }

std::unique_ptr<HidDevice> hidOpen(const std::string& path) { return currentBackend()->open(path); }

std::unique_ptr<HidDevice> hidOpenFirst(std::uint16_t vendor, std::uint16_t product) {
    const auto backend = currentBackend();
    for (const HidDeviceInfo& info : backend->enumerate()) {
        if (info.vendor != vendor || info.product != product) continue;
        if (auto device = backend->open(info.path)) return device;
    }
    return nullptr;
}

void resetHidService() {
    std::lock_guard lock(chosenMutex);
    chosen.reset();
}

}  // namespace platform::hid
