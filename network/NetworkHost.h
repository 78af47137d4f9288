// What the network link asks of the application: the mix clock and beat
// grid, the tempo limits and the main window's notifications. The
// application interface provides it; tests give fakes.
//
// The clock and beat operations are called from network threads (the
// answers to the other instance's questions) and from render threads.
#ifndef VELKARN_NETWORK_NETWORKHOST_H
#define VELKARN_NETWORK_NETWORKHOST_H

#include "audio/TrackBeat.h"

#include <cstdint>

class NetworkHost {
public:
    virtual ~NetworkHost() = default;

    virtual float minimumTempo() = 0;
    virtual float maximumTempo() = 0;
    virtual std::int64_t currentSampleTime() = 0;
    virtual int currentBeatIndex() = 0;
    // The local grid's record of the beat (the client's own beats).
    virtual TrackBeat beatAt(int index) = 0;
    // Checked in one step: false, and nothing stops, when the time or the
    // index lies outside the beats the grid holds.
    virtual bool tryBeatIndexAt(std::int64_t sampleTime, int& index) = 0;
    virtual bool tryBeatAt(int index, TrackBeat& beat) = 0;
    // Posts a notification to the main window (handled on the
    // user-interface thread): 0 chat or connection state changed, 1 mode
    // changed or server lost, 2 a remote beat index changed.
    virtual void notifyMainWindow(int kind, int value) = 0;
};

#endif
