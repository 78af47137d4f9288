// Aligned buffers of the primitives' allocator for set-up code: running out
// of memory there is a fatal stop, so the audio paths never meet a null
// buffer.
#ifndef VELKARN_AUDIO_ALIGNEDFLOATS_H
#define VELKARN_AUDIO_ALIGNEDFLOATS_H

#include <cstdint>

float* allocateFloats(std::int64_t count);                 // contents undefined
float* allocateZeroedFloats(std::int64_t count);
std::uint8_t* allocateBytes(std::int64_t count);           // null for count 0
void releaseAligned(void* block);                          // null is ignored

#endif
