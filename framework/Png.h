// The pieces of the PNG codec that Image::readPng and Image::writePng share
// with their tests and benchmarks.
#ifndef VELKARN_FRAMEWORK_PNG_H
#define VELKARN_FRAMEWORK_PNG_H

#include <cstdint>
#include <vector>

// The zlib stream of the image rows as the writer stores them: per row the
// filter byte 0, then each pixel as red, green, blue, alpha, from packed
// blue, green, red, alpha pixels (rows 4 x width bytes apart). zlib's
// default level. Running out of memory stops the program with "PNG ZLIB
// trouble: not enough memory.".
std::vector<std::uint8_t> compressPngRows(const std::uint8_t* pixels, int width, int height);

// The Paeth predictor of the PNG standard.
std::uint8_t paethPredictor(std::uint8_t left, std::uint8_t up, std::uint8_t upperLeft);

// The largest picture the reader accepts, in bytes of 32-bit pixels.
inline constexpr std::int64_t maximumPngImageBytes = std::int64_t{1} << 28;

#endif
