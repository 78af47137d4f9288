// A flag as the settings records store it: a 32-bit integer, written as 0
// or 1 and read as true whenever it is nonzero.
#ifndef VELKARN_APP_BOOL32_H
#define VELKARN_APP_BOOL32_H

#include <cstdint>

class Bool32 {
public:
    constexpr Bool32(bool on = false) : raw_(on ? 1 : 0) {}
    constexpr operator bool() const { return raw_ != 0; }
    // The stored integer, as read.
    constexpr std::int32_t raw() const { return raw_; }

private:
    std::int32_t raw_;
};

static_assert(sizeof(Bool32) == 4);

#endif
