// The automatic player: it walks a crate (a directory of analysed songs read
// into a track database of its own, sorted by tempo) up or down in tempo,
// and at every display refresh decides whether to drop the next song whose
// tempo lies in its window onto the deck that is not carrying the
// longest-running song, an overlap before the end of that song's last
// whole phrase, and fade it in.
//
// A song the application refused is not offered again until the next
// loadCrate or start, and one tick restarts the walk at most once, so a
// crate of refused songs costs nothing after the first look.
//
// User-interface thread only; the deck queries take lock 2.
#ifndef VELKARN_APP_PLAYER_H
#define VELKARN_APP_PLAYER_H

#include <cstdint>
#include <set>
#include <string>

class ApplicationInterface;
class BrowserData;

class Player {
public:
    static constexpr std::int32_t defaultOverlap = 64;
    // A song is cut to whole phrases of this many bars.
    static constexpr std::int32_t barsPerPhrase = 4;
    // No decision while the longest-running song has more than overlap +
    // this many beats left.
    static constexpr std::int32_t decisionMargin = 32;
    // An empty mix starts this many beats after the current one.
    static constexpr std::int32_t emptyDropDelay = 2;

    explicit Player(ApplicationInterface* application);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Runs and restarts the walk when stopped; true either way.
    bool start();
    // Whether it was running.
    bool stop();
    bool isRunning() const { return running_; }

    // Stops, then reads the directory into the crate with the wait cursor
    // shown; the build's result (a directory that cannot be listed leaves
    // the crate as it was).
    bool loadCrate(const std::string& directory);

    // One step of the walk over the crate's shown records; false when the
    // walk ends without a song in the tempo window.
    bool nextCandidate(std::string& path);

    // The drop decision at the current deck beat.
    void tick(std::int32_t beat);

    bool isMovingUp() const { return trajectory_ != 0; }
    void setMovingUp(bool up) { trajectory_ = up ? 1 : 0; }
    float minimumTempo() const { return minimumTempo_; }
    void setMinimumTempo(float bpm) { minimumTempo_ = bpm; }
    float maximumTempo() const { return maximumTempo_; }
    void setMaximumTempo(float bpm) { maximumTempo_ = bpm; }
    std::int32_t overlap() const { return overlap_; }
    void setOverlap(std::int32_t beats) { overlap_ = beats; }
    bool isFading() const { return fade_ != 0; }
    void setFading(bool fade) { fade_ = fade ? 1 : 0; }

    const BrowserData& crate() const { return *crate_; }
    std::int32_t walkIndex() const { return walkIndex_; }
    std::int32_t nextCheckBeat() const { return nextCheckBeat_; }

private:
    void restartWalk();
    // Candidates handed to the application until one is taken; the walk
    // is restarted at most once. False when none was taken.
    bool dropNext(std::int32_t deck, std::int32_t beat);

    ApplicationInterface* application_;
    std::uint8_t running_ = 0;
    std::uint8_t restart_ = 0;
    BrowserData* crate_;
    std::int32_t walkIndex_ = 0;
    std::int32_t nextCheckBeat_ = -1;
    std::uint8_t trajectory_ = 1;
    float minimumTempo_;
    float maximumTempo_;
    std::int32_t overlap_ = defaultOverlap;
    std::uint8_t fade_ = 1;
    std::set<std::string> refused_;
};

#endif
