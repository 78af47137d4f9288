// The mix's one beat grid: where every beat of the mix starts and how long
// it lasts, from four minutes back to the horizon ahead. A beat's length
// blends both decks' beat lengths at that beat by the beat's weight, so a
// tempo change can glide from one deck's tempo to the other's.
//
// Not thread-safe: every call is made under lock 2.
#ifndef VELKARN_AUDIO_TRACKINFO_H
#define VELKARN_AUDIO_TRACKINFO_H

#include "audio/TrackBeat.h"
#include "audio/TrackInfoApplication.h"

#include <array>
#include <cstdint>

class TrackInfo {
public:
    static constexpr std::int32_t ringSize = 5000;
    // Frames in four minutes at 44.1 kHz: the history kept behind the time.
    static constexpr std::int64_t historyFrames = 10584000;

    // The grid at the standard tempo from four minutes before time 0 to the
    // horizon (frames), every weight 0. The decks outlive the grid.
    TrackInfo(TrackInfoApplication& application, std::int32_t horizon, const DeckBeatLengths& deckOne,
              const DeckBeatLengths& deckTwo);
    virtual ~TrackInfo() = default;

    // The beat playing at a sample time: the remote grid's answer when it
    // gives one; before the oldest beat the oldest (logged); at or past the
    // newest beat's end a fatal stop. A time at a beat's end belongs to
    // the next beat.
    std::int32_t beatIndexAt(std::int64_t sampleTime);
    // The remote grid's record with the local weight when it answers (a
    // held local record then takes its position and length), else record;
    // past the newest beat the newest beat repeated at its own length and
    // weight (logged once), never a stop.
    TrackBeat beatAt(std::int32_t index);
    // The held record; before the oldest the oldest (logged); at or past the
    // newest a fatal stop.
    TrackBeat record(std::int32_t index) const;
    TrackBeat lastBeat() const;
    // Overwrites a held record; indices outside the ring, and lengths below
    // one frame (logged), are ignored.
    void setRecord(std::int32_t index, const TrackBeat& beat);
    // Weights from `from` at start to `to` at start + n, linearly, and `to`
    // after; beats before start keep theirs.
    void setTempoFade(std::int32_t start, float from, float to, std::int32_t n);
    // Drops the beats that ended over four minutes before sampleTime and
    // extends the grid past sampleTime + horizon; with recompute, lengths
    // from recomputeFrom on are taken afresh from the decks, and every later
    // beat moves with them.
    void advanceTo(std::int64_t sampleTime, bool recompute, std::int32_t recomputeFrom);

    std::int32_t count() const { return count_; }
    std::int32_t oldestBeatIndex() const;

    // The ring slot of a beat index: indices wrap modulo the ring, negative
    // ones too (-1 is slot 4999).
    static std::int32_t slotOf(std::int32_t index);

private:
    const TrackBeat& held(std::int32_t k) const { return ring_[static_cast<std::size_t>((start_ + k) % ringSize)]; }
    TrackBeat& held(std::int32_t k) { return ring_[static_cast<std::size_t>((start_ + k) % ringSize)]; }
    bool holds(std::int32_t index) const;
    std::int32_t lengthAt(std::int32_t index, float weight) const;

    TrackInfoApplication& application_;
    std::int32_t horizon_;
    const DeckBeatLengths& deckOne_;
    const DeckBeatLengths& deckTwo_;
    std::array<TrackBeat, ringSize> ring_{};
    std::int32_t count_ = 0;
    std::int32_t start_ = 0;
    bool capLogged_ = false;
    bool extendLogged_ = false;
};

#endif
