#include "audio/Sample.h"

#include "audio/AlignedFloats.h"
#include "audio/SampleDisk.h"
#include "primitives.h"

#include <algorithm>
#include <memory>

Sample::Sample(const std::string& name, bool absolute) {
    std::unique_ptr<AudioFileReader> reader = SampleDisk::open(name, absolute, false, 1.0f);
    format_ = *reader->format();
    length_ = reader->length();
    channels_.assign(static_cast<std::size_t>(format_.channels), nullptr);
    // Running out of memory here is a fatal stop, so nothing can throw
    // between these allocations and the destructor.
    for (float*& buffer : channels_) buffer = allocateZeroedFloats(std::max(length_, 1));
    const std::int32_t block = format_.sampleRate;
    for (std::int32_t at = 0; at < length_; at += block) {
        const std::int32_t count = std::min(block, length_ - at);
        float** samples = reader->read(at, count, true);
        for (std::size_t c = 0; c < channels_.size(); ++c) dezoRide_32d(samples[c], channels_[c] + at, count);
    }
}

Sample::~Sample() {
    for (float* buffer : channels_) releaseAligned(buffer);
}

std::int32_t Sample::minimumIndex(std::int32_t channel) const {
    float value = 0.0f;
    std::int32_t index = 0;
    if (length_ > 0) zaviMinIndx_32f(channels_[channel], length_, &value, &index);
    return index;
}

std::int32_t Sample::maximumIndex(std::int32_t channel) const {
    float value = 0.0f;
    std::int32_t index = 0;
    if (length_ > 0) zaviMaxIndx_32f(channels_[channel], length_, &value, &index);
    return index;
}
