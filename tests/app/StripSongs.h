// Song files for the strip tests and benchmark: silent 16-bit stereo WAV
// songs of steady 120 BPM beats with their meta-data, drawn from a level
// envelope or from an overview picture.
#ifndef VELKARN_TESTS_APP_STRIPSONGS_H
#define VELKARN_TESTS_APP_STRIPSONGS_H

#include "TestEnvironment.h"
#include "framework/Color.h"

#include <cstdint>
#include <string>

namespace strip_test {

inline constexpr std::int32_t songBeatFrames = 22050;
inline constexpr std::int32_t songFirstMark = 1000;  // frame of the first marked beat

// The overview picture's colour of the song's beat k.
Color overviewColour(int k);

// Writes <dir>/<name>.wav with `beats` beats (4 a bar) and its side files;
// returns the WAV's path. The envelope rises and falls every 50 levels; an
// overview is 60 pixels high, 4 columns a beat, beat k one flat colour.
std::string makeSong(const testing_support::TemporaryDirectory& dir, const std::string& name, int beats,
                     bool overview);

}  // namespace strip_test

#endif
