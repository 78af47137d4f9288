#include "app/Player.h"

#include "app/ApplicationInterface.h"
#include "app/DeckLock.h"
#include "audio/Song.h"
#include "audio/Songs.h"
#include "framework/Support.h"
#include "tools/BrowserData.h"

#include <algorithm>

Player::Player(ApplicationInterface* application)
    : application_(application),
      crate_(new BrowserData()),
      minimumTempo_(application->minimumTempo()),
      maximumTempo_(application->maximumTempo()) {}

Player::~Player() {
    running_ = 0;
    delete crate_;
}

bool Player::start() {
    if (!running_) {
        running_ = 1;
        restart_ = 1;
        refused_.clear();
    }
    return true;
}

bool Player::stop() {
    const bool was = running_ != 0;
    running_ = 0;
    return was;
}

bool Player::loadCrate(const std::string& directory) {
    running_ = 0;
    refused_.clear();
    // Synchronous: the user waits for the scan of the crate.
    showWaitCursor();
    const bool built = crate_->build(directory, nullptr);
    showArrowCursor();
    return built;
}

void Player::restartWalk() { walkIndex_ = isMovingUp() ? 0 : crate_->shownCount() - 1; }

bool Player::nextCandidate(std::string& path) {
    const std::int32_t count = crate_->shownCount();
    if (isMovingUp()) {
        while (walkIndex_ >= 0 && walkIndex_ < count) {
            const BrowserRecord& record = crate_->filteredRecord(walkIndex_++);
            if (record.tempo < minimumTempo_) continue;
            if (record.tempo > maximumTempo_) return false;
            if (refused_.contains(record.fileName)) continue;
            path = record.fileName;
            return true;
        }
        return false;
    }
    while (walkIndex_ >= 0 && walkIndex_ < count) {
        const BrowserRecord& record = crate_->filteredRecord(walkIndex_--);
        if (record.tempo < minimumTempo_) return false;
        if (record.tempo > maximumTempo_) continue;
        if (refused_.contains(record.fileName)) continue;
        path = record.fileName;
        return true;
    }
    return false;
}

bool Player::dropNext(std::int32_t deck, std::int32_t beat) {
    bool restarted = false;
    std::string path;
    for (;;) {
        if (!nextCandidate(path)) {
            if (restarted) return false;
            restartWalk();
            restarted = true;
            continue;
        }
        if (application_->dropSong(deck, path, beat)) return true;
        refused_.insert(path);
    }
}

void Player::tick(std::int32_t beat) {
    if (!running_) return;
    if (restart_) {
        restart_ = 0;
        restartWalk();
    }
    if (beat < nextCheckBeat_) return;

    // The deck whose song runs longest from this beat; an equal count keeps
    // the earlier deck.
    std::int32_t mostLeft = 0;
    std::int32_t winner = -1;
    std::int64_t endBeat = 0;
    std::int32_t phraseRemainder = 0;
    const std::int32_t decks = application_->deckCount();
    {
        DeckLock hold;
        for (std::int32_t d = 0; d < decks; ++d) {
            std::int32_t left = 0;
            Song* song = nullptr;
            if (!application_->songs(d)->songAtBeat(beat, &left, &song) || left <= mostLeft) continue;
            mostLeft = left;
            winner = d;
            endBeat = static_cast<std::int64_t>(song->firstBeat()) + song->count();
            // A bar count from a damaged file must not divide by zero.
            const std::int64_t phrase = static_cast<std::int64_t>(barsPerPhrase) * std::max(song->beatsPerBar(), 1);
            phraseRemainder = static_cast<std::int32_t>(song->count() % phrase);
        }
    }
    if (mostLeft > static_cast<std::int64_t>(overlap_) + decisionMargin) return;

    std::int32_t target = 0;
    std::int64_t dropBeat = static_cast<std::int64_t>(beat) + emptyDropDelay;
    std::int64_t fadeBeats = overlap_;
    if (winner >= 0) {
        target = (winner + 1) % decks;
        // Never behind the current beat, where the song would start midway:
        // a late start, a short song or a changed overlap leave fewer beats
        // than remainder + overlap.
        dropBeat = std::max(endBeat - phraseRemainder - overlap_, dropBeat);
        fadeBeats = endBeat - dropBeat;
    }
    fadeBeats = std::max<std::int64_t>(fadeBeats, 1);
    const auto drop = static_cast<std::int32_t>(dropBeat);

    if (!dropNext(target, drop)) return;
    if (fade_) application_->applyFade(target, drop, "in", static_cast<std::int32_t>(fadeBeats), true, false, true);
    nextCheckBeat_ = drop;
}
