#include "SynthesisModel.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace primitives::test {

SynthesisModel::SynthesisModel(const std::string& windowFile) {
    std::ifstream in(windowFile);
    int32_t index = 0;
    double value = 0;
    while (in >> index >> value) window_.push_back(value);
    if (window_.size() != 512) throw std::runtime_error("cannot read the window from " + windowFile);
}

std::array<double, 32> SynthesisModel::slot(const int32_t* subbandSamples) {
    double samples[32];
    for (int32_t k = 0; k < 32; ++k) samples[k] = subbandSamples[k];
    return slot(samples);
}

std::array<double, 32> SynthesisModel::slot(const double* subbandSamples) {
    std::copy_backward(fifo_.begin(), fifo_.end() - 64, fifo_.end());
    for (int32_t i = 0; i < 64; ++i) {
        double sum = 0;
        for (int32_t k = 0; k < 32; ++k) {
            sum += std::cos((16 + i) * (2 * k + 1) * std::numbers::pi / 64) * subbandSamples[k];
        }
        fifo_[i] = sum;
    }
    double u[512];
    for (int32_t i = 0; i < 8; ++i) {
        for (int32_t j = 0; j < 32; ++j) {
            u[64 * i + j] = fifo_[128 * i + j];
            u[64 * i + 32 + j] = fifo_[128 * i + 96 + j];
        }
    }
    std::array<double, 32> out{};
    for (int32_t j = 0; j < 32; ++j) {
        double sum = 0;
        for (int32_t i = 0; i < 16; ++i) sum += u[j + 32 * i] * window_[j + 32 * i];
        out[j] = sum / 512;
    }
    return out;
}

int32_t roundModelSample(double value) {
    return static_cast<int32_t>(std::clamp(std::floor(value + 0.5), -32768.0, 32767.0));
}

}  // namespace primitives::test
