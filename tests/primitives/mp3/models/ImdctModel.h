// Double-precision model of the hybrid synthesis of one channel, written
// from the standard's formulas: alias butterflies with cs_i and ca_i from
// c_i, the windowed IMDCT (36 points for long blocks, three 12-point
// transforms for short ones), overlap-add and frequency inversion. Outputs
// are divided by 4, like the decoder's, so a Q26 spectrum gives sub-band
// samples of full scale 2^24.
#pragma once

#include <array>
#include <cstdint>

namespace primitives::test {

class ImdctModel {
public:
    // One granule: 576 lines in (sub-band s, line k at 18 s + k; short
    // sub-bands six values per window), 18 slots of 32 sub-band samples out
    // (sub-band s of slot t at 32 t + s). Mixed blocks take the long
    // transform with the type-0 window in sub-bands 0 and 1.
    std::array<double, 576> granule(const int32_t* spectrum, int32_t blockType, int32_t mixedBlockFlag);
    std::array<double, 576> granule(const double* spectrum, int32_t blockType, int32_t mixedBlockFlag);

    const std::array<double, 576>& overlap() const { return overlap_; }

private:
    std::array<double, 576> overlap_{};
};

}  // namespace primitives::test
