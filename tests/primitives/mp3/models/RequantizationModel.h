// Double-precision model of requantisation and joint stereo of one granule,
// written from the standards' formulas: |x|^(4/3) scaled by global gain,
// scale factors (scalefac_scale, preflag and pretab) and subblock gain;
// mid/side as (M +- S) / sqrt(2); MPEG-1 intensity by tan(p pi / 12), MPEG-2
// intensity by powers of i0 = 2^(-1/4) or 2^(-1/2); short blocks reordered
// to six values of each window per sub-band. The scale-factor buffers are
// read in the layouts the scale-factor unpacking leaves (an illegal MPEG-2
// position negated); a top band that the stream gives no position takes
// position 0 from the buffer's trailing zero.
#pragma once

#include <array>
#include <cstdint>

#include "Mp3StandardData.h"
#include "primitives.h"

namespace primitives::test {

struct GranuleInput {
    MP3FrameHeader header{};
    MP3SideInfo side[2]{};
    int8_t scaleFactors[2][40]{};
    int32_t values[2][576]{};  // Huffman integers in the stream's order
};

// Q26 units (value x 2^26), unrounded; channel 1 is all zero for mono.
std::array<std::array<double, 576>, 2> requantizeModel(const GranuleInput& input, const mp3gen::BandData& bands);

}  // namespace primitives::test
