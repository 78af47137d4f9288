#include "platform/LastError.h"
#include "platform/audio/AudioBackend.h"

#include <cstdio>

namespace platform::audio {
namespace {
thread_local std::string backendText;
thread_local std::string nameWithText;
}  // namespace

void setBackendFailure(const std::string& text) {
    backendText = text;
    setLastErrorText(text);
}

const char* resultName(std::int32_t result) {
    switch (result) {
    case resultNoDevice: return "NoDevice";
    case resultDeviceBusy: return "DeviceBusy";
    case resultBadFormat: return "BadFormat";
    case resultInvalidCall: return "InvalidCall";
    case resultOutOfMemory: return "OutOfMemory";
    case resultBackendError:
        if (backendText.empty()) return "BackendError";
        nameWithText = "BackendError (" + backendText + ")";
        return nameWithText.c_str();
    default: return nullptr;
    }
}

std::string guidText(const Guid& guid) {
    const auto& b = guid.bytes;
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3], b[2],
                  b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

int bytesPerFrame(const WaveFormat& format) { return format.bitsPerSample / 8 * format.channels; }

std::uint8_t silenceByte(const WaveFormat& format) { return format.bitsPerSample == 8 ? 0x80 : 0x00; }

Guid guidFromName(const std::string& text) {
    // Two FNV-1a runs with different offsets fill the 16 bytes; the result
    // only has to be stable and to differ between names.
    auto fnv = [&text](std::uint64_t hash) {
        for (unsigned char c : text) {
            hash ^= c;
            hash *= 0x100000001B3ULL;
        }
        return hash;
    };
    const std::uint64_t low = fnv(0xCBF29CE484222325ULL);
    const std::uint64_t high = fnv(0x84222325CBF29CE4ULL);
    Guid guid;
    for (int i = 0; i < 8; ++i) {
        guid.bytes[i] = static_cast<std::uint8_t>(low >> (8 * i));
        guid.bytes[8 + i] = static_cast<std::uint8_t>(high >> (8 * i));
    }
    // Marked as a name-based identifier (version 5 layout).
    guid.bytes[7] = static_cast<std::uint8_t>((guid.bytes[7] & 0x0F) | 0x50);
    guid.bytes[8] = static_cast<std::uint8_t>((guid.bytes[8] & 0x3F) | 0x80);
    return guid;
}

}  // namespace platform::audio
