#include "network/AddressIPv4.h"

#include "framework/Reporters.h"

#include <cctype>
#include <cstdio>

AddressIPv4::AddressIPv4(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool AddressIPv4::parse(const std::string& text, AddressIPv4& address) {
    platform::Ipv4Bytes bytes{};
    std::size_t at = 0;
    auto skipBlanks = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    };
    for (int part = 0; part < 4; ++part) {
        skipBlanks();
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
            skipBlanks();
        }
        int value = 0;
        int digits = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
            value = value * 10 + (text[at] - '0');
            ++at;
            if (++digits > 3 || value > 255) return false;
        }
        if (digits == 0) return false;
        bytes[part] = static_cast<std::uint8_t>(value);
    }
    skipBlanks();
    if (at != text.size()) return false;
    address = AddressIPv4(bytes);
    return true;
}

AddressIPv4 AddressIPv4::localHost() {
    platform::Ipv4Bytes bytes{0, 0, 0, 0};
    if (!reportSocketError(platform::localHostAddress(bytes), __FILE__, __LINE__)) bytes = {0, 0, 0, 0};
    return AddressIPv4(bytes);
}

std::uint32_t AddressIPv4::toInt() const {
    return static_cast<std::uint32_t>(bytes_[0]) | static_cast<std::uint32_t>(bytes_[1]) << 8 |
           static_cast<std::uint32_t>(bytes_[2]) << 16 | static_cast<std::uint32_t>(bytes_[3]) << 24;
}

std::string AddressIPv4::toString() const {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes_[0], bytes_[1], bytes_[2], bytes_[3]);
    return text;
}
