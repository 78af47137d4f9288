#include "audio/TrackInfo.h"

#include "framework/Log.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {
// Standard tempo to frames per beat at 44.1 kHz: 60 x 44100.
constexpr double framesPerMinute = 2646000.0;
}  // namespace

std::int32_t TrackInfo::slotOf(std::int32_t index) {
    if (index >= 0) return index % ringSize;
    return ringSize - 1 - static_cast<std::int32_t>((-static_cast<std::int64_t>(index) - 1) % ringSize);
}

TrackInfo::TrackInfo(TrackInfoApplication& application, std::int32_t horizon,
                     const DeckBeatLengths& deckOne, const DeckBeatLengths& deckTwo)
    : application_(application), horizon_(horizon), deckOne_(deckOne), deckTwo_(deckTwo) {
    const auto b = static_cast<std::int32_t>(framesPerMinute / application.standardTempo() + 0.5);
    const auto c = static_cast<std::int32_t>(historyFrames / b);
    std::int64_t count = horizon / b + c + 2;
    if (count > ringSize) {
        logMessage("The beat grid is full: it ends short of the horizon.", __FILE__, __LINE__);
        capLogged_ = true;
        count = ringSize;
    }
    const std::int32_t first = -c - 1;
    start_ = slotOf(first);
    count_ = static_cast<std::int32_t>(count);
    for (std::int32_t i = 0; i < count_; ++i) {
        held(i) = TrackBeat{first + i, static_cast<std::int64_t>(first + i) * b, b, 0.0f};
    }
}

std::int32_t TrackInfo::oldestBeatIndex() const { return count_ > 0 ? held(0).index : 0; }

bool TrackInfo::holds(std::int32_t index) const {
    if (count_ == 0) return false;
    const std::int64_t k = static_cast<std::int64_t>(index) - held(0).index;
    return k >= 0 && k < count_;
}

std::int32_t TrackInfo::beatIndexAt(std::int64_t sampleTime) {
    if (TrackInfoRemote* remote = application_.trackInfoRemote()) {
        bool answered = false;
        const std::int32_t index = remote->remoteBeatIndexAt(sampleTime, answered);
        if (answered) return index;
    }
    if (count_ == 0) fatalError("No beats available.", __FILE__, __LINE__);
    const TrackBeat& oldest = held(0);
    if (sampleTime < oldest.position) {
        logMessage("Cannot go back in time: " + std::to_string(sampleTime) + " < " +
                       std::to_string(oldest.position) + ".",
                   __FILE__, __LINE__);
        return oldest.index;
    }
    if (sampleTime >= held(count_ - 1).end()) {
        fatalError("Cannot go that far into the future.", __FILE__, __LINE__);
    }
    // The first beat whose end lies after the time.
    std::int32_t low = 0, high = count_ - 1;
    while (low < high) {
        const std::int32_t middle = low + (high - low) / 2;
        if (held(middle).end() > sampleTime) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return held(low).index;
}

TrackBeat TrackInfo::beatAt(std::int32_t index) {
    if (TrackInfoRemote* remote = application_.trackInfoRemote()) {
        bool answered = false;
        TrackBeat beat = remote->remoteBeat(index, answered);
        if (answered) {
            if (holds(index)) {
                TrackBeat& local = ring_[static_cast<std::size_t>(slotOf(index))];
                if (beat.length >= 1) {
                    local.position = beat.position;
                    local.length = beat.length;
                } else {
                    logMessage("A beat of " + std::to_string(beat.length) + " frames is ignored.",
                               __FILE__, __LINE__);
                }
                beat.weight = local.weight;
            } else {
                beat.weight = count_ > 0 ? held(count_ - 1).weight : 0.0f;
            }
            return beat;
        }
    }
    if (count_ > 0 && index > held(count_ - 1).index) {
        // Past the newest beat, with no remote answer (a reply lost under
        // load, or a follower whose grid runs behind its leader's): the
        // newest beat continues at its own length rather than stopping.
        const TrackBeat& newest = held(count_ - 1);
        if (!extendLogged_) {
            logMessage("Beat " + std::to_string(index) + " lies past the grid: the newest beat is extended.",
                       __FILE__, __LINE__);
            extendLogged_ = true;
        }
        const std::int64_t ahead = static_cast<std::int64_t>(index) - newest.index;
        return TrackBeat{index, newest.position + ahead * newest.length, newest.length, newest.weight};
    }
    return record(index);
}

TrackBeat TrackInfo::record(std::int32_t index) const {
    if (count_ == 0) fatalError("Beat info not yet available.", __FILE__, __LINE__);
    if (index < held(0).index) {
        logMessage("Cannot go back in time.", __FILE__, __LINE__);
        return held(0);
    }
    if (!holds(index)) fatalError("Beat info not yet available.", __FILE__, __LINE__);
    return ring_[static_cast<std::size_t>(slotOf(index))];
}

TrackBeat TrackInfo::lastBeat() const {
    if (count_ == 0) fatalError("No beats available.", __FILE__, __LINE__);
    return held(count_ - 1);
}

void TrackInfo::setRecord(std::int32_t index, const TrackBeat& beat) {
    if (!holds(index)) return;
    if (beat.length < 1) {
        logMessage("A beat of " + std::to_string(beat.length) + " frames is ignored.", __FILE__,
                   __LINE__);
        return;
    }
    ring_[static_cast<std::size_t>(slotOf(index))] = beat;
}

void TrackInfo::setTempoFade(std::int32_t start, float from, float to, std::int32_t n) {
    for (std::int32_t k = 0; k < count_; ++k) {
        TrackBeat& beat = held(k);
        if (beat.index < start) continue;
        const std::int64_t offset = static_cast<std::int64_t>(beat.index) - start;
        if (offset < n) {
            const float m = static_cast<float>(offset) / static_cast<float>(n);
            beat.weight = from * (1.0f - m) + to * m;
        } else {
            beat.weight = to;
        }
    }
}

std::int32_t TrackInfo::lengthAt(std::int32_t index, float weight) const {
    const float length = (1.0f - weight) * deckOne_.beatLengthAt(index) + weight * deckTwo_.beatLengthAt(index);
    // The decks' lengths come from songs within the tempo limits; a beat is
    // never shorter than a frame, whatever they say.
    if (!(length >= 1.0f)) return 1;
    if (length >= 2147483647.0f) return 2147483647;
    return static_cast<std::int32_t>(length);
}

void TrackInfo::advanceTo(std::int64_t sampleTime, bool recompute, std::int32_t recomputeFrom) {
    if (count_ == 0) fatalError("No beats available.", __FILE__, __LINE__);
    if (held(count_ - 1).end() + historyFrames - 1 < sampleTime) {
        fatalError("Not a single beat in sight !!!", __FILE__, __LINE__);
    }
    while (held(0).end() + historyFrames - 1 < sampleTime) {
        start_ = (start_ + 1) % ringSize;
        --count_;
    }
    const std::int64_t target = sampleTime + horizon_;
    std::int32_t k = 0;
    for (;; ++k) {
        if (k == ringSize) {
            if (!capLogged_) {
                logMessage("The beat grid is full: it ends short of the horizon.", __FILE__, __LINE__);
                capLogged_ = true;
            }
            break;
        }
        TrackBeat& beat = held(k);
        if (k >= count_) {
            const TrackBeat& previous = held(k - 1);
            beat.index = previous.index + 1;
            beat.weight = previous.weight;
            beat.position = previous.end();
            beat.length = lengthAt(beat.index, beat.weight);
        } else {
            if (k > 0) beat.position = held(k - 1).end();
            if (recompute && beat.index >= recomputeFrom) beat.length = lengthAt(beat.index, beat.weight);
        }
        if (beat.end() > target) {
            ++k;
            break;
        }
    }
    count_ = k;
}
