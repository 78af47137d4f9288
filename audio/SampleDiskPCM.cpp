#include "audio/SampleDiskPCM.h"

#include "audio/AlignedFloats.h"
#include "framework/File.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "primitives.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kScale = 1.0f / 32768.0f;

void silence(float* const* channels, std::int32_t from, std::int32_t count) {
    if (count <= 0) return;
    for (int c = 0; c < 2; ++c) zaviZero_32f(channels[c] + from, count);
}

}  // namespace

SampleDiskPCM::SampleDiskPCM(std::unique_ptr<File> file, const FormatAudio& format, std::int32_t dataStart,
                             std::int32_t dataBytes, float cacheSeconds)
    : file_(std::move(file)), format_(format), dataStart_(dataStart) {
    if (!format_.isCdFormat()) throw StringException("PCM audio must be in CD format: stereo, 44.1 kHz, 16 bits.");
    length_ = std::max(dataBytes, 0) / (format_.bitsPerSample / 8) / format_.channels;
    const double frames = std::round(static_cast<double>(format_.sampleRate) * static_cast<double>(cacheSeconds));
    capacity_ = frames > 0.0 ? static_cast<std::int32_t>(std::min(frames, 2147483647.0 / 4.0)) : 0;
    pcm_.resize(static_cast<std::size_t>(std::max(capacity_, 1)) * 2);
    for (float*& channel : channels_) channel = allocateZeroedFloats(std::max(capacity_, 1));
}

SampleDiskPCM::~SampleDiskPCM() {
    for (float* channel : channels_) releaseAligned(channel);
}

float** SampleDiskPCM::read(std::int32_t position, std::int32_t count, bool /*readAhead*/) {
    if (count > capacity_) fatalError("Buffer too small.", __FILE__, __LINE__);
    if (count <= 0) return channels_;
    const std::int64_t start = position;
    const std::int64_t end = start + count;
    const auto lead = static_cast<std::int32_t>(std::clamp<std::int64_t>(-start, 0, count));
    const std::int64_t first = std::max<std::int64_t>(start, 0);
    const auto inside = static_cast<std::int32_t>(std::max<std::int64_t>(std::min<std::int64_t>(end, length_) - first, 0));
    silence(channels_, 0, lead);
    if (inside > 0) {
        const std::int64_t at = dataStart_ + first * 4;
        if (at <= 2147483647 && file_->seek(static_cast<std::int32_t>(at)) && file_->read(pcm_.data(), inside * 4)) {
            float* left = channels_[0] + lead;
            float* right = channels_[1] + lead;
            const std::int16_t* frames = pcm_.data();
            for (std::int32_t i = 0; i < inside; ++i) {
                left[i] = static_cast<float>(frames[2 * i]) * kScale;
                right[i] = static_cast<float>(frames[2 * i + 1]) * kScale;
            }
        } else {
            silence(channels_, lead, inside);
        }
    }
    silence(channels_, lead + inside, count - lead - inside);
    return channels_;
}
