// How one slot of a song on a deck plays.
#ifndef VELKARN_AUDIO_SONGBEAT_H
#define VELKARN_AUDIO_SONGBEAT_H

#include <cstdint>

struct SongBeat {
    std::int32_t sourceBeat = 0;  // the slot's index when built, last halved or doubled
    bool reversed = false;
    bool paused = false;
    float gainStart = 1.0f;
    float gainEnd = 1.0f;
    friend bool operator==(const SongBeat&, const SongBeat&) = default;
};

#endif
