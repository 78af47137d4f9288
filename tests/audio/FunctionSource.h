// A song file made of a function of the song frame, for the renderer
// tests: left f(k), right rightScale x f(k); frames before 0 are silence.
#ifndef VELKARN_TESTS_AUDIO_FUNCTIONSOURCE_H
#define VELKARN_TESTS_AUDIO_FUNCTIONSOURCE_H

#include "audio/SongRenderer.h"

#include <functional>
#include <vector>

class FunctionSource : public SongFrameSource {
public:
    explicit FunctionSource(std::function<double(std::int64_t)> f, double rightScale = -0.5)
        : f_(std::move(f)), rightScale_(rightScale), left_(132300), right_(132300) {}
    float** read(std::int32_t position, std::int32_t count, bool) override {
        for (std::int32_t i = 0; i < count; ++i) {
            const double x = position + i < 0 ? 0.0 : f_(position + i);
            left_[static_cast<std::size_t>(i)] = static_cast<float>(x);
            right_[static_cast<std::size_t>(i)] = static_cast<float>(rightScale_ * x);
        }
        channels_[0] = left_.data();
        channels_[1] = right_.data();
        ++reads;
        return channels_;
    }
    std::int32_t channels() const override { return 2; }
    std::int32_t maximumRead() const override { return 132300; }
    int reads = 0;

private:
    std::function<double(std::int64_t)> f_;
    double rightScale_;
    std::vector<float> left_, right_;
    float* channels_[2] = {nullptr, nullptr};
};

#endif
