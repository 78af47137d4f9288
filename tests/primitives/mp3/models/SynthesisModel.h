// Double-precision model of the synthesis filter bank of one channel,
// written from the standard's formulas: matrixing with N_ik into the
// 1024-value FIFO V, the vector U, the window D as printed in
// synth_window.txt, and the sum of 16 windowed values per sample. Output is
// scaled like the decoder's (divided by 2^9, so sub-band samples of 2^24 are
// full scale) and not rounded.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace primitives::test {

class SynthesisModel {
public:
    // `windowFile`: the standard's window, lines "<i> <value>".
    explicit SynthesisModel(const std::string& windowFile);

    std::array<double, 32> slot(const int32_t* subbandSamples);
    std::array<double, 32> slot(const double* subbandSamples);

    // The window as printed, D_0..D_511.
    const std::vector<double>& window() const { return window_; }

private:
    std::vector<double> window_;
    std::array<double, 1024> fifo_{};
};

// The PCM value the model's output rounds to: halves upwards, saturated.
int32_t roundModelSample(double value);

}  // namespace primitives::test
