#include "network/TrackInfoClient.h"

#include "framework/Log.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "network/NetworkCommands.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <string>
#include <thread>

namespace {
constexpr int exchanges = 11;
const std::string cannotSend = "Cannot send message.";
const std::string cannotSynchronize = "Cannot synchronize. Try again.";
}  // namespace

void TrackInfoClient::setNetworkClient(NetworkClient* client) {
    std::lock_guard<std::mutex> lock(mutex_);
    client_ = client;
}

bool TrackInfoClient::isSynchronized() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return synchronized_;
}

std::int64_t TrackInfoClient::timeOffset() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timeOffset_;
}

int TrackInfoClient::beatOffset() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return beatOffset_;
}

std::vector<std::int64_t> TrackInfoClient::roundTripsMs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return roundTrips_;
}

TrackBeat TrackInfoClient::firstBeat() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return firstBeat_;
}

void TrackInfoClient::detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (client_ == nullptr) fatalError("NetworkClient not yet set.", __FILE__, __LINE__);
    synchronized_ = false;
}

std::int64_t TrackInfoClient::requestNumber(NetworkClient& client, const std::string& text) {
    std::string reply;
    if (!client.request(text, reply)) throw StringException(cannotSend);
    std::int64_t value = 0;
    if (!NetworkCommands::parseInt64(reply.c_str(), value)) throw StringException(cannotSynchronize);
    return value;
}

void TrackInfoClient::requestBeat(NetworkClient& client, int index, std::int64_t& position, std::int32_t& length) {
    std::string reply;
    if (!client.request(NetworkCommands::beatRequest(index), reply)) throw StringException(cannotSend);
    if (!NetworkCommands::parseBeatReply(reply, position, length)) throw StringException(cannotSynchronize);
}

std::int64_t TrackInfoClient::measureOffset(NetworkClient& client, std::vector<std::int64_t>& roundTrips) {
    std::array<std::int64_t, exchanges> offsets{};
    for (int i = 0; i < exchanges; ++i) {
        const std::int64_t local = host_.currentSampleTime();
        const std::int64_t before = static_cast<std::int64_t>(currentTimeMs());
        const std::int64_t remote = requestNumber(client, NetworkCommands::timeRequest());
        const std::int64_t after = static_cast<std::int64_t>(currentTimeMs());
        roundTrips.push_back(after - before);
        const std::int64_t half = ((after - before) / 2) * 44100 / 1000;
        offsets[i] = local + half - remote;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The median: slow exchanges at either end do not count.
    std::sort(offsets.begin(), offsets.end());
    return offsets[exchanges / 2];
}

void TrackInfoClient::synchronize() {
    NetworkClient* client;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (client_ == nullptr) fatalError("NetworkClient not yet set.", __FILE__, __LINE__);
        if (synchronized_) fatalError("Already connected.", __FILE__, __LINE__);
        client = client_;
    }
    // The lock is not held while the application is asked: its beat
    // queries take the deck lock, under which render threads wait for this
    // one.
    try {
        std::vector<std::int64_t> roundTrips;
        const std::int64_t offset = measureOffset(*client, roundTrips);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            roundTrips_ = roundTrips;
        }

        const int current = host_.currentBeatIndex();
        const TrackBeat currentBeat = host_.beatAt(current);
        const std::int64_t now = host_.currentSampleTime();
        // Half a second of margin, so that the beat about to start is not
        // re-timed while it plays.
        const std::int64_t left = currentBeat.position + currentBeat.length - now;
        const int firstIndex = left < 22050 ? current + 2 : current + 1;
        TrackBeat first = host_.beatAt(firstIndex);

        const std::int64_t remoteIndex = requestNumber(*client, NetworkCommands::beatIndexAtRequest(first.position - offset));
        if (remoteIndex < std::numeric_limits<int>::min() + 1 || remoteIndex > std::numeric_limits<int>::max() - 2) {
            throw StringException(cannotSynchronize);
        }
        int k = static_cast<int>(remoteIndex);
        std::int64_t position = 0;
        std::int32_t length = 0;
        requestBeat(*client, k, position, length);
        if (position + offset + length / 2 < first.position) ++k;
        requestBeat(*client, k + 1, position, length);
        std::int64_t span = position + offset - first.position;
        const double shortest = 2646000.0 / host_.maximumTempo();
        const double longest = 2646000.0 / host_.minimumTempo();
        const auto outside = [&](double samples) { return samples < shortest || samples > longest; };
        // Grids about half a beat apart give a first beat too short (server
        // at 110 per minute or more) or too long (below 60) though both
        // tempos are fine, and at one tempo their phase stays put, so trying
        // again would fail again. The first beat then ends one server beat
        // later or earlier. A server beat of a tempo out of range still fails.
        if (static_cast<double>(span) < shortest && !outside(length)) {
            ++k;
            requestBeat(*client, k + 1, position, length);
            span = position + offset - first.position;
        } else if (static_cast<double>(span) > longest) {
            requestBeat(*client, k, position, length);
            if (!outside(length)) {
                --k;
                span = position + offset - first.position;
            }
        }
        if (outside(static_cast<double>(span))) throw StringException(cannotSynchronize);
        const int beatOffset = firstIndex - k;
        first.length = static_cast<std::int32_t>(span);

        std::lock_guard<std::mutex> lock(mutex_);
        timeOffset_ = offset;
        beatOffset_ = beatOffset;
        firstBeat_ = first;
        synchronized_ = true;
    } catch (const StringException& reason) {
        throw StringException("Cannot connect. " + reason.message());
    }
}

std::int32_t TrackInfoClient::remoteBeatIndexAt(std::int64_t sampleTime, bool& answered) {
    std::lock_guard<std::mutex> lock(mutex_);
    answered = false;
    if (!synchronized_ || sampleTime < firstBeat_.position) return 0;
    if (sampleTime < firstBeat_.position + firstBeat_.length) {
        answered = true;
        return firstBeat_.index;
    }
    std::string reply;
    if (!client_->request(NetworkCommands::beatIndexAtRequest(sampleTime - timeOffset_), reply)) return 0;
    std::int32_t remote = 0;
    if (!NetworkCommands::parseInt32(reply.c_str(), remote)) return 0;
    // A grid cannot hold more beats in a stretch than its shortest beats
    // fit; an answer beyond that is not believed.
    const std::int64_t local = static_cast<std::int64_t>(remote) + beatOffset_;
    const std::int64_t latest = firstBeat_.index + (sampleTime - firstBeat_.position) / shortestBeat + 1;
    if (local < firstBeat_.index || local > latest) return 0;
    answered = true;
    return static_cast<int>(local);
}

TrackBeat TrackInfoClient::remoteBeat(std::int32_t index, bool& answered) {
    std::lock_guard<std::mutex> lock(mutex_);
    answered = false;
    TrackBeat beat;
    beat.index = index;
    if (!synchronized_ || index < firstBeat_.index) return beat;
    if (index == firstBeat_.index) {
        answered = true;
        return firstBeat_;
    }
    const std::int64_t remote = static_cast<std::int64_t>(index) - beatOffset_;
    if (remote < std::numeric_limits<std::int32_t>::min() || remote > std::numeric_limits<std::int32_t>::max()) {
        return beat;
    }
    std::string reply;
    if (!client_->request(NetworkCommands::beatRequest(static_cast<int>(remote)), reply)) return beat;
    std::int64_t position = 0;
    std::int32_t length = 0;
    if (!NetworkCommands::parseBeatReply(reply, position, length)) return beat;
    if (length < shortestBeat || length > longestBeat) return beat;
    // Every beat between the first and this one lasts within the same
    // limits, so its start lies in a known stretch.
    const std::int64_t beats = static_cast<std::int64_t>(index) - firstBeat_.index;
    if (position > std::numeric_limits<std::int64_t>::max() / 2 ||
        position < std::numeric_limits<std::int64_t>::min() / 2) {
        return beat;
    }
    const std::int64_t local = position + timeOffset_;
    if (local < firstBeat_.position + beats * shortestBeat || local > firstBeat_.position + beats * longestBeat) {
        return beat;
    }
    beat.position = local;
    beat.length = length;
    answered = true;
    return beat;
}
