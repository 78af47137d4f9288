// One song placed on a deck: a run of consecutive deck beats (slots), each
// naming the stretch of the song file (span, in frames) that plays on it,
// whether it plays reversed or is silent, and its gains at start and end.
// The edit tools reshape the slots through the deck's song list.
//
// Not thread-safe: used under lock 2 once placed on a deck.
#ifndef VELKARN_AUDIO_SONG_H
#define VELKARN_AUDIO_SONG_H

#include "audio/Beats.h"
#include "audio/SongBeat.h"
#include "audio/SongRenderer.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class Image;

// Thrown for a song file without beat meta-data.
class NoMetadataAvailable : public std::exception {
public:
    const char* what() const noexcept override { return "No beat meta-data available."; }
};

struct SongTexts {
    std::string title;
    std::string artist;
    std::string label;
};

class Song {
public:
    static constexpr std::int32_t maximumSlots = 5000;

    // A song of spans.size() slots from deck beat firstBeat, every slot
    // playing its own span forward at gain 1. Throws StringException "A
    // song must count at least one beat." for no span and "Too many beats
    // in this song." above 5000. fixedTempo and fixedBeatLength are kept
    // for the deck's song list (a fixed-tempo song reports that length for
    // each of its beats).
    Song(const std::vector<SongSpan>& spans, std::int32_t firstBeat, bool fixedTempo,
         std::int32_t fixedBeatLength, SongTexts texts);
    // The same, playing the song file's frames from source through a
    // renderer of its own; the interpolator and time scaler are the
    // caller's and outlive the song.
    Song(const std::vector<SongSpan>& spans, std::int32_t firstBeat, bool fixedTempo,
         std::int32_t fixedBeatLength, SongTexts texts, std::unique_ptr<SongFrameSource> source,
         Interpolator& interpolator, TimeScaler& timeScaler, float minimumTempo);
    // The song file at path (absolute) from deck beat firstBeat: its spans
    // are the intervals between the marked beats of its meta-data, read
    // through a 3-second cache. Throws NoMetadataAvailable without beat
    // meta-data, StringException "Cannot find the graphical meta-data."
    // when the overview the meta-data asks for is missing (a song drawn
    // from its level envelope needs none), the texts above for too few or
    // too many beats, and the factory's texts; nothing is kept on a throw.
    Song(const std::string& path, std::int32_t firstBeat, Interpolator& interpolator, TimeScaler& timeScaler,
         float minimumTempo, bool fixedTempo, std::int32_t fixedBeatLength);
    virtual ~Song();
    Song(const Song&) = delete;
    Song& operator=(const Song&) = delete;

    std::int32_t firstBeat() const { return firstBeat_; }
    std::int32_t endBeat() const { return endBeat_; }  // one past the last held beat
    std::int32_t count() const { return endBeat_ - firstBeat_; }
    bool holds(std::int32_t beat) const { return beat >= firstBeat_ && beat < endBeat_; }
    bool fixedTempo() const { return fixedTempo_; }
    std::int32_t fixedBeatLength() const { return fixedBeatLength_; }
    std::int32_t firstSourcePosition() const { return firstSourcePosition_; }
    std::int32_t beatsPerBar() const { return beatsPerBar_; }
    // Song frames per overview pixel; 0 without an overview.
    float samplesPerPixel() const { return samplesPerPixel_; }
    const Image* overviewImage() const { return overview_.get(); }
    // The canvas of a song drawn from its level envelope, else null.
    const Image* beatCanvas() const { return beatCanvas_.get(); }
    const PointsRecord& envelope() const { return envelope_; }
    const SongTexts& texts() const { return texts_; }

    // False outside the song; each out argument may be null.
    bool spanAt(std::int32_t beat, SongSpan* span, SongBeat* play, std::int32_t* firstSourcePosition) const;
    // The song's length of a held beat: the fixed length with a fixed tempo,
    // else its span's.
    float beatLengthAt(std::int32_t beat) const;
    // Tempo of the longest and of the shortest span at 44.1 kHz; 0 without
    // slots.
    float minimumBpm() const;
    float maximumBpm() const;
    bool tagsAtBeat(std::int32_t beat, std::string* title, std::string* artist, std::string* label) const;
    bool beatsLeft(std::int32_t beat, std::int32_t& n) const;

    // The level-envelope picture of a held deck beat, drawn in the top-left
    // width x height pixels of the song's 200 x 200 canvas (the returned
    // image; it is redrawn by the next call): a light or, for the second
    // four bars of every eight, a dark shade; one column per width-th of
    // the beat's span, a red (orange when highlighted) line over the
    // loudest level it covers, outlined in black; with barStart, a white
    // line in column 0 on a bar's first beat. A beat outside the song is
    // the bare shade. A song drawn from its overview, or a size above 200
    // or below 1, is a fatal stop.
    const Image& beatImage(std::int32_t beat, int width, int height, bool highlight, bool barStart);

    // Renders the held deck beat into the rings at index b (see
    // SongRenderer::renderBeat); a song without frames renders silence.
    // interpolationPoints is passed for the callers and not used.
    void renderBeat(std::int32_t beat, const DeckRings& rings, std::int32_t b, std::int32_t count,
                    std::int32_t n, std::int32_t interpolationPoints, bool timeScaling, float knee);

    // Edits. Each returns false (changing nothing) for a beat outside the
    // song or a change that would pass 5000 slots.
    //
    // Joins slot pairs (an odd last slot is dropped) and resets every
    // record; returns the change of count. A one-slot song is left as it
    // is (0).
    std::int32_t halveBeats();
    // Splits every slot in two and resets every record; returns the change
    // of count. Past 5000 slots it throws StringException "Too many beats
    // in this song." and leaves the song as it was.
    std::int32_t doubleBeats();
    // type "all", "allBefore" or "allAfter" (anything else is a fatal
    // stop); firstAffected is the first deck beat that changed.
    bool deleteBeats(std::int32_t beat, const std::string& type, std::int32_t& firstAffected);
    bool skipBeats(std::int32_t beat, std::int32_t n);
    // n silent slots holding the beat's span go in before it.
    bool pauseBeats(std::int32_t beat, std::int32_t n);
    // Plays the n slots before the beat `times` times from the beat on,
    // inserted or over the slots that follow (growing the song as needed).
    bool repeatBeats(std::int32_t beat, std::int32_t n, std::int32_t times, bool overwrite);
    bool reverseBeats(std::int32_t beat, std::int32_t n);
    void moveByBeats(std::int32_t n);
    // type "in" (0 to 1) or "out" (1 to 0) over n slots from the beat,
    // linear in song frames; anything else is a fatal stop.
    bool fade(std::int32_t beat, const std::string& type, std::int32_t n);

private:
    void resetRecords();
    void moveSlots(std::int32_t from, std::int32_t to, std::int32_t n);

    std::vector<SongSpan> spans_;  // maximumSlots, of which count() are used
    std::vector<SongBeat> play_;
    std::int32_t firstBeat_;
    std::int32_t endBeat_;
    std::int32_t firstSourcePosition_;
    bool fixedTempo_;
    std::int32_t fixedBeatLength_;
    SongTexts texts_;
    std::int32_t beatsPerBar_ = 4;
    float samplesPerPixel_ = 0.0f;
    PointsRecord envelope_;
    std::unique_ptr<Image> overview_;
    std::unique_ptr<Image> beatCanvas_;
    std::unique_ptr<SongFrameSource> source_;
    std::unique_ptr<SongRenderer> renderer_;
};

#endif
