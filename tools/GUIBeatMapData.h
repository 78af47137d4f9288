// A saved analysis of a beat map: the envelope, the onset signal and the
// onset plus one, with their count and the length they cover. The beat
// mapper keeps one to give the previous song's analysis back when a load
// is cancelled.
#ifndef VELKARN_TOOLS_GUIBEATMAPDATA_H
#define VELKARN_TOOLS_GUIBEATMAPDATA_H

#include <cstdint>

class GUIBeatMapData {
public:
    // Copies of the three arrays of `count` values (null arrays for 0).
    GUIBeatMapData(std::int32_t count, std::int32_t totalSamples, const float* envelope, const float* onset,
                   const float* onsetPlusOne);
    ~GUIBeatMapData();

    GUIBeatMapData(const GUIBeatMapData&) = delete;
    GUIBeatMapData& operator=(const GUIBeatMapData&) = delete;

    std::int32_t count() const { return count_; }
    std::int32_t totalSamples() const { return totalSamples_; }
    const float* envelope() const { return envelope_; }
    const float* onset() const { return onset_; }
    const float* onsetPlusOne() const { return onsetPlusOne_; }

    // An aligned copy of `count` values; null for a null source or count <= 0.
    static float* copyValues(const float* values, std::int32_t count);

private:
    std::int32_t count_;
    std::int32_t totalSamples_;
    float* envelope_;
    float* onset_;
    float* onsetPlusOne_;
};

#endif
