// libpng as an outside PNG encoder for the reader's tests: it writes one
// chosen filter type on every row.
#ifndef VELKARN_TESTS_FRAMEWORK_LIBPNGWRITER_H
#define VELKARN_TESTS_FRAMEWORK_LIBPNGWRITER_H

#include <cstdint>
#include <string>
#include <vector>

// Pixels: `channels` bytes each (3 RGB, 4 RGBA), rows packed. False when
// libpng fails.
bool writeWithLibpng(const std::string& path, int width, int height, int channels,
                     const std::vector<std::uint8_t>& pixels, int filterType);

#endif
