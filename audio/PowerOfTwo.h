// The smallest power of two at or above a length, with its order: the FFT
// lengths of the time scaler and the DFT wrapper.
#ifndef VELKARN_AUDIO_POWEROFTWO_H
#define VELKARN_AUDIO_POWEROFTWO_H

#include <cstdint>

struct PowerOfTwo {
    std::int32_t value;  // 2^order
    std::int32_t order;
};

// n in 1 .. 2^30; 1 gives 2^0.
PowerOfTwo powerOfTwoAtLeast(std::int32_t n);

#endif
