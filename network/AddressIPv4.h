// An IPv4 address as a value: four numbers, the first number first.
#ifndef VELKARN_NETWORK_ADDRESSIPV4_H
#define VELKARN_NETWORK_ADDRESSIPV4_H

#include "platform/Sockets.h"

#include <cstdint>
#include <string>

class AddressIPv4 {
public:
    AddressIPv4() = default;
    // The low byte is the first number.
    explicit AddressIPv4(std::uint32_t value);
    explicit AddressIPv4(const platform::Ipv4Bytes& bytes) : bytes_(bytes) {}
    virtual ~AddressIPv4() = default;

    // Exactly four decimal numbers 0..255 joined by dots (blanks around the
    // numbers allowed, nothing else): false leaves `address` as it was.
    static bool parse(const std::string& text, AddressIPv4& address);
    // This host's address by its name; 0.0.0.0 (the failure logged) when it
    // has none.
    static AddressIPv4 localHost();

    std::uint32_t toInt() const;
    const platform::Ipv4Bytes& bytes() const { return bytes_; }
    std::string toString() const;  // "%d.%d.%d.%d"

    bool operator==(const AddressIPv4& other) const { return bytes_ == other.bytes_; }

private:
    platform::Ipv4Bytes bytes_{0, 0, 0, 0};
};

#endif
