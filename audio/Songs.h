// The songs placed on one deck, newest first: which song plays a deck
// beat, how long each deck beat lasts in its song's own time, and the
// edit tools' operations forwarded to the song that takes them.
//
// Not thread-safe: every call is made under lock 2.
#ifndef VELKARN_AUDIO_SONGS_H
#define VELKARN_AUDIO_SONGS_H

#include "audio/Song.h"
#include "audio/TrackInfoApplication.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Songs : public DeckBeatLengths {
public:
    static constexpr std::int32_t maximumSongs = 100;
    // The length of a beat with no song to say otherwise: 120 BPM.
    static constexpr float defaultBeatLength = 22050.0f;

    Songs();

    // Takes the song to the head of the list and returns true; at 100 songs
    // logs "Too many songs." and leaves the song with the caller.
    bool add(std::unique_ptr<Song>&& song);
    // Deletes the song (one of the list's).
    void remove(const Song* song);

    std::int32_t count() const { return static_cast<std::int32_t>(songs_.size()); }
    Song& song(std::int32_t index) const { return *songs_[static_cast<std::size_t>(index)]; }

    // The newest song holding the beat: its index in the list, and the
    // slot's span, record and the song's first source position (each out
    // argument may be null).
    bool findSong(std::int32_t beat, std::int32_t* index, SongSpan* span, SongBeat* play,
                  std::int32_t* firstSourcePosition) const;
    // A held beat's length in its song; before the deck's songs a blend from
    // the last removed song's length, between songs a blend of the
    // neighbours', after them the last song's.
    float beatLengthAt(std::int32_t beat) const override;
    bool tagsAtBeat(std::int32_t beat, std::string* title, std::string* artist, std::string* label) const;
    bool songAtBeat(std::int32_t beat, std::int32_t* beatsLeft, Song** song) const;
    // The earliest first beat of any song; INT_MAX when there is none.
    std::int32_t firstBeat() const;

    // Edits, each handed to the songs newest first until one takes it; the
    // bounds are recomputed after, and a song left without slots is
    // removed.
    bool reverse(std::int32_t beat, std::int32_t n);
    void moveAll(std::int32_t n);
    bool repeat(std::int32_t beat, std::int32_t n, std::int32_t times, bool overwrite);
    bool skip(std::int32_t beat, std::int32_t n);
    // firstAffected is the beat given when no song takes it.
    bool deleteBeats(std::int32_t beat, const std::string& type, std::int32_t& firstAffected);
    bool pause(std::int32_t beat, std::int32_t n);
    bool fade(std::int32_t beat, const std::string& type, std::int32_t n);

    void updateBounds();
    // Removes the songs that end at or before the beat (callers pass the
    // grid's oldest beat), remembering the last beat of the latest of them
    // and its length.
    void dropFinished(std::int32_t beat);

    std::int32_t earliestBeat() const { return earliestBeat_; }
    std::int32_t latestBeat() const { return latestBeat_; }
    std::int32_t removedEndBeat() const { return removedEndBeat_; }
    float removedBeatLength() const { return removedBeatLength_; }

private:
    void removeEmptySongs();

    std::vector<std::unique_ptr<Song>> songs_;
    std::int32_t removedEndBeat_ = 0;
    float removedBeatLength_ = defaultBeatLength;
    std::int32_t earliestBeat_ = 0;
    float earliestBeatLength_ = defaultBeatLength;
    std::int32_t latestBeat_ = 0;
    float latestBeatLength_ = defaultBeatLength;
};

#endif
