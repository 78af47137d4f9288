// The Lanczos-3 kernel at steps of 0.01, which the tap-weight builders of
// every build interpolate linearly.
#pragma once

#include <cstdint>

namespace primitives {

// Entry i (0 to 300) is L(i / 100) rounded to single precision, with
// L(x) = 3 sin(pi x) sin(pi x / 3) / (pi x)^2 and L(0) = 1; entry 301 is 0 and
// is read only with a weight of 0, for taps 3 or more away. The kernel's
// zeros are exact: entry 100 is -0.0, entries 200, 300 and 301 are +0.0.
inline constexpr int32_t kLanczosKernelEntries = 302;
extern const float LanczosKernelTable[kLanczosKernelEntries];

}  // namespace primitives
