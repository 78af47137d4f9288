#include "audio/Songs.h"

#include "framework/Log.h"

#include <algorithm>
#include <climits>

Songs::Songs() { songs_.reserve(maximumSongs); }

bool Songs::add(std::unique_ptr<Song>&& song) {
    if (count() >= maximumSongs) {
        logMessage("Too many songs.", __FILE__, __LINE__);
        return false;
    }
    if (song->count() < 1) return false;
    const bool wasEmpty = songs_.empty();
    const std::int32_t first = song->firstBeat();
    const std::int32_t last = song->endBeat() - 1;
    if (wasEmpty || first < earliestBeat_) {
        earliestBeat_ = first;
        earliestBeatLength_ = song->beatLengthAt(first);
    }
    if (wasEmpty || last > latestBeat_) {
        latestBeat_ = last;
        latestBeatLength_ = song->beatLengthAt(last);
    }
    songs_.insert(songs_.begin(), std::move(song));
    return true;
}

void Songs::remove(const Song* song) {
    const auto it = std::find_if(songs_.begin(), songs_.end(),
                                 [song](const std::unique_ptr<Song>& s) { return s.get() == song; });
    if (it != songs_.end()) songs_.erase(it);
}

bool Songs::findSong(std::int32_t beat, std::int32_t* index, SongSpan* span, SongBeat* play,
                     std::int32_t* firstSourcePosition) const {
    for (std::int32_t i = 0; i < count(); ++i) {
        if (songs_[static_cast<std::size_t>(i)]->spanAt(beat, span, play, firstSourcePosition)) {
            if (index != nullptr) *index = i;
            return true;
        }
    }
    return false;
}

float Songs::beatLengthAt(std::int32_t beat) const {
    if (songs_.empty()) return removedBeatLength_;
    const auto heldLength = [this](std::int32_t b, float& length) {
        for (const auto& song : songs_) {
            if (song->holds(b)) {
                length = song->beatLengthAt(b);
                return true;
            }
        }
        return false;
    };
    float length = 0.0f;
    if (heldLength(beat, length)) return length;
    if (beat <= removedEndBeat_) return removedBeatLength_;
    if (beat >= latestBeat_) return latestBeatLength_;
    if (beat < earliestBeat_) {
        const float e = static_cast<float>(beat - removedEndBeat_) /
                        static_cast<float>(earliestBeat_ - removedEndBeat_);
        return (1.0f - e) * removedBeatLength_ + e * earliestBeatLength_;
    }
    // In a gap between songs: the nearest held beats below and above, the
    // search going no lower than the earliest song (deck beats may be
    // negative) and no higher than the latest.
    float below = 0.0f, above = 0.0f;
    std::int32_t p = beat - 1;
    while (p >= earliestBeat_ && !heldLength(p, below)) --p;
    std::int32_t q = beat + 1;
    while (q <= latestBeat_ && !heldLength(q, above)) ++q;
    const bool foundBelow = p >= earliestBeat_, foundAbove = q <= latestBeat_;
    if (foundBelow && foundAbove) {
        const float e = static_cast<float>(beat - p) / static_cast<float>(q - p);
        return (1.0f - e) * below + e * above;
    }
    // Bounds out of date: whichever neighbour there is.
    if (foundAbove) return above;
    if (foundBelow) return below;
    return latestBeatLength_;
}

bool Songs::tagsAtBeat(std::int32_t beat, std::string* title, std::string* artist, std::string* label) const {
    for (const auto& song : songs_) {
        if (song->tagsAtBeat(beat, title, artist, label)) return true;
    }
    return false;
}

bool Songs::songAtBeat(std::int32_t beat, std::int32_t* beatsLeft, Song** song) const {
    for (const auto& s : songs_) {
        std::int32_t left = 0;
        if (s->beatsLeft(beat, left)) {
            if (beatsLeft != nullptr) *beatsLeft = left;
            if (song != nullptr) *song = s.get();
            return true;
        }
    }
    return false;
}

std::int32_t Songs::firstBeat() const {
    std::int32_t first = INT_MAX;
    for (const auto& song : songs_) first = std::min(first, song->firstBeat());
    return first;
}

void Songs::removeEmptySongs() {
    std::erase_if(songs_, [](const std::unique_ptr<Song>& s) { return s->count() < 1; });
}

void Songs::updateBounds() {
    removeEmptySongs();
    for (std::size_t i = 0; i < songs_.size(); ++i) {
        const Song& song = *songs_[i];
        const std::int32_t first = song.firstBeat();
        const std::int32_t last = song.endBeat() - 1;
        if (i == 0 || first < earliestBeat_) {
            earliestBeat_ = first;
            earliestBeatLength_ = song.beatLengthAt(first);
        }
        if (i == 0 || last > latestBeat_) {
            latestBeat_ = last;
            latestBeatLength_ = song.beatLengthAt(last);
        }
    }
}

bool Songs::reverse(std::int32_t beat, std::int32_t n) {
    for (const auto& song : songs_) {
        if (song->reverseBeats(beat, n)) return true;
    }
    return false;
}

void Songs::moveAll(std::int32_t n) {
    for (const auto& song : songs_) song->moveByBeats(n);
    updateBounds();
}

bool Songs::repeat(std::int32_t beat, std::int32_t n, std::int32_t times, bool overwrite) {
    for (const auto& song : songs_) {
        if (song->repeatBeats(beat, n, times, overwrite)) {
            updateBounds();
            return true;
        }
    }
    return false;
}

bool Songs::skip(std::int32_t beat, std::int32_t n) {
    for (const auto& song : songs_) {
        if (song->skipBeats(beat, n)) {
            updateBounds();
            return true;
        }
    }
    return false;
}

bool Songs::deleteBeats(std::int32_t beat, const std::string& type, std::int32_t& firstAffected) {
    for (const auto& song : songs_) {
        if (song->deleteBeats(beat, type, firstAffected)) {
            updateBounds();
            return true;
        }
    }
    firstAffected = beat;
    return false;
}

bool Songs::pause(std::int32_t beat, std::int32_t n) {
    for (const auto& song : songs_) {
        if (song->pauseBeats(beat, n)) {
            updateBounds();
            return true;
        }
    }
    return false;
}

bool Songs::fade(std::int32_t beat, const std::string& type, std::int32_t n) {
    for (const auto& song : songs_) {
        if (song->fade(beat, type, n)) {
            updateBounds();
            return true;
        }
    }
    return false;
}

void Songs::dropFinished(std::int32_t beat) {
    for (auto it = songs_.begin(); it != songs_.end();) {
        const Song& song = **it;
        if (song.endBeat() > beat) {
            ++it;
            continue;
        }
        const std::int32_t last = song.endBeat() - 1;
        if (last > removedEndBeat_) {
            removedEndBeat_ = last;
            removedBeatLength_ = song.beatLengthAt(last);
        }
        it = songs_.erase(it);
    }
    updateBounds();
}
