// One beat of the mix's grid, handed out by value.
#ifndef VELKARN_AUDIO_TRACKBEAT_H
#define VELKARN_AUDIO_TRACKBEAT_H

#include <cstdint>

struct TrackBeat {
    std::int32_t index = 0;     // mix beat number, may be negative
    std::int64_t position = 0;  // sample time of the beat's start
    std::int32_t length = 0;    // frames
    float weight = 0.0f;        // 0: deck one's beat length, 1: deck two's

    std::int64_t end() const { return position + length; }
    friend bool operator==(const TrackBeat&, const TrackBeat&) = default;
};

#endif
