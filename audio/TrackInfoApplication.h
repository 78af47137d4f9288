// What the mix's beat grid needs from outside the engine: the standard
// tempo, and the grid of another instance when this one follows it over
// the network. The application implements both; tests and a lone engine
// use the null forms.
#ifndef VELKARN_AUDIO_TRACKINFOAPPLICATION_H
#define VELKARN_AUDIO_TRACKINFOAPPLICATION_H

#include "audio/TrackBeat.h"

#include <cstdint>

// Another instance's grid in local sample time. Each call may block on the
// network and guards its own state; answered tells whether it knew.
class TrackInfoRemote {
public:
    virtual ~TrackInfoRemote() = default;
    virtual std::int32_t remoteBeatIndexAt(std::int64_t sampleTime, bool& answered) = 0;
    virtual TrackBeat remoteBeat(std::int32_t index, bool& answered) = 0;
};

// Never answers.
class NullTrackInfoRemote : public TrackInfoRemote {
public:
    std::int32_t remoteBeatIndexAt(std::int64_t, bool& answered) override {
        answered = false;
        return 0;
    }
    TrackBeat remoteBeat(std::int32_t index, bool& answered) override {
        answered = false;
        return TrackBeat{index, 0, 0, 0.0f};
    }
};

class TrackInfoApplication {
public:
    virtual ~TrackInfoApplication() = default;
    virtual float standardTempo() const = 0;  // beats per minute
    virtual TrackInfoRemote* trackInfoRemote() = 0;
};

// A beat source for one deck: the length of any deck beat in frames of the
// song's own time. The deck's song list answers it.
class DeckBeatLengths {
public:
    virtual ~DeckBeatLengths() = default;
    virtual float beatLengthAt(std::int32_t deckBeat) const = 0;
};

#endif
