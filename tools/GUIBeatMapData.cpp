#include "tools/GUIBeatMapData.h"

#include "audio/AlignedFloats.h"

#include <cstring>

GUIBeatMapData::GUIBeatMapData(std::int32_t count, std::int32_t totalSamples, const float* envelope,
                               const float* onset, const float* onsetPlusOne)
    : count_(count),
      totalSamples_(totalSamples),
      envelope_(copyValues(envelope, count)),
      onset_(copyValues(onset, count)),
      onsetPlusOne_(copyValues(onsetPlusOne, count)) {}

GUIBeatMapData::~GUIBeatMapData() {
    releaseAligned(envelope_);
    releaseAligned(onset_);
    releaseAligned(onsetPlusOne_);
}

float* GUIBeatMapData::copyValues(const float* values, std::int32_t count) {
    if (values == nullptr || count <= 0) return nullptr;
    float* copy = allocateFloats(count);
    std::memcpy(copy, values, static_cast<std::size_t>(count) * sizeof(float));
    return copy;
}
