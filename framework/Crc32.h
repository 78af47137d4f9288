// The CRC-32 of PNG chunks and of the beat meta-data file's chunks:
// reflected polynomial 0xEDB88320, register preset to all ones, final value
// inverted. Any thread.
#ifndef VELKARN_FRAMEWORK_CRC32_H
#define VELKARN_FRAMEWORK_CRC32_H

#include <cstdint>

// Entry n is n run eight times through the reflected shift-and-XOR step.
void makeCrc32Table(std::uint32_t* table);

// Runs the bytes through the register without presetting or inverting it;
// a length of 0 or less returns crc unchanged.
std::uint32_t updateCrc32(std::uint32_t crc, const std::uint8_t* bytes, int length);

// The CRC of the two runs one after the other (a chunk's type, then its
// data); either run may be empty.
std::uint32_t computeCrc32(const std::uint8_t* first, int firstLength, const std::uint8_t* second, int secondLength);

#endif
