// Makes the server's beats usable on the local sample clock while this
// instance is a client: measures the offset between the two sample clocks
// once, finds the server beat that matches the local beat about to start,
// and then answers the beat grid's questions with the server's beats,
// translated. Sample times are frames at 44100 Hz.
//
// Questions come from render threads (under the application's deck lock)
// while the user-interface thread synchronises or detaches; the client's
// own lock guards its state, and a request made under it waits at most a
// second.
#ifndef VELKARN_NETWORK_TRACKINFOCLIENT_H
#define VELKARN_NETWORK_TRACKINFOCLIENT_H

#include "audio/TrackBeat.h"
#include "audio/TrackInfoApplication.h"
#include "network/NetworkClient.h"
#include "network/NetworkHost.h"

#include <cstdint>
#include <mutex>
#include <vector>

class TrackInfoClient : public TrackInfoRemote {
public:
    // The shortest and longest beats a tempo of 220 and 40 allow.
    static constexpr std::int32_t shortestBeat = 2646000 / 220;
    static constexpr std::int32_t longestBeat = 2646000 / 40;

    explicit TrackInfoClient(NetworkHost& host) : host_(host) {}
    ~TrackInfoClient() override = default;

    void setNetworkClient(NetworkClient* client);
    // After the client connected: measures the clock offset and aligns the
    // beats. Throws a StringException "Cannot connect. " + the reason.
    void synchronize();
    void detach();
    bool isSynchronized() const;

    // The local index of the server's beat at a local time; answered false
    // when not synchronised, before the first beat, or when the server gave
    // no usable answer.
    std::int32_t remoteBeatIndexAt(std::int64_t sampleTime, bool& answered) override;
    // The server's beat of a local index, in local time.
    TrackBeat remoteBeat(std::int32_t index, bool& answered) override;

    // The eleven exchanges of the last offset measurement, in ms.
    std::vector<std::int64_t> roundTripsMs() const;
    std::int64_t timeOffset() const;
    int beatOffset() const;
    TrackBeat firstBeat() const;

private:
    static std::int64_t requestNumber(NetworkClient& client, const std::string& text);
    std::int64_t measureOffset(NetworkClient& client, std::vector<std::int64_t>& roundTrips);
    static void requestBeat(NetworkClient& client, int index, std::int64_t& position, std::int32_t& length);

    NetworkHost& host_;
    mutable std::mutex mutex_;
    NetworkClient* client_ = nullptr;
    bool synchronized_ = false;
    std::int64_t timeOffset_ = 0;
    int beatOffset_ = 0;
    TrackBeat firstBeat_;
    std::vector<std::int64_t> roundTrips_;
};

#endif
