// The beat list of one song file and its beat meta-data file ("qrt"): the
// sample positions of the song's beats, each set by the user or generated
// by the program, with the side records the beat mapper edits (tempo and
// strip settings, identification texts, label, key, level envelope, MP3
// frame table).
//
// A QRT file is an 8-byte signature followed by chunks of (int32 length L,
// 32-byte NUL-terminated name, L data bytes, CRC-32 over the 32 name bytes
// and the data), all little-endian, ending with "End". The reader trusts
// nothing: every length and count is checked against the chunk and the
// bytes left before it is used.
#ifndef VELKARN_AUDIO_BEATS_H
#define VELKARN_AUDIO_BEATS_H

#include "audio/MusicalKey.h"

#include <cstdint>
#include <string>
#include <vector>

class File;
class ID3v2Tag;

struct Beat {
    std::int32_t position = 0;  // sample frame in the song file
    bool generated = false;     // filled in by the program, not set by the user
};

// Tempo and strip settings of the beat mapper (the five "BT" chunks).
struct BTSettings {
    float bpm = 120.0f;
    std::int32_t tempoFixed2 = 1;
    std::int32_t strip[4] = {1, 4, 1, 0};  // strip[1]: beats per bar
    std::int32_t strip2[2] = {1, 0};
    std::int32_t strip3 = 0;  // 0: drawn from the level envelope when there is one
};

inline constexpr int songTextSize = 128;  // NUL included

// Cuts leading and trailing blanks; a text of blanks only becomes empty.
void trimBlanks(char* text);

// Identification texts of a song (chunk "ID").
struct SongTags {
    char title[songTextSize] = {};
    char artist[songTextSize] = {};
    char album[songTextSize] = {};
    char comment[songTextSize] = {};
    char year[songTextSize] = {};
    float bpm = 0.0f;  // 0: not given

    // From the 128 bytes of an ID3v1 tag ("TAG" first), then trimmed.
    void fromId3v1(const std::uint8_t* block);
    // From the read frames of an ID3v2 tag (absent ones give ""), each cut
    // at 127 characters, then trimmed. The tempo is left as it is.
    void fromId3v2(const ID3v2Tag& tag);
};

// The label text (chunk "ID 2").
struct SongTag2 {
    char label[songTextSize] = {};
};

// The level envelope (chunk "Points"): one level 0..1 per samplesPerLevel
// frames, and a list of int32 values. Both arrays come from the aligned
// allocator; release() frees them. The record does not free them itself.
struct PointsRecord {
    std::int32_t samplesPerLevel = 100;
    std::int32_t levelCount = 0;
    float* levels = nullptr;
    std::int32_t valueCount = 0;
    std::int32_t* values = nullptr;

    // Releases what the record held and copies the given arrays.
    void fromValues(std::int32_t samplesPerLevel, std::int32_t levelCount, const float* levels,
                    std::int32_t valueCount, const std::int32_t* values);
    void release();
};

// A Points record whose arrays are freed with it, unless taken from it
// (the pointers set to null) first.
struct OwnedPoints {
    PointsRecord record;

    OwnedPoints() = default;
    explicit OwnedPoints(const PointsRecord& taken) : record(taken) {}
    ~OwnedPoints() { record.release(); }
    OwnedPoints(const OwnedPoints&) = delete;
    OwnedPoints& operator=(const OwnedPoints&) = delete;
};

// What a read fills besides the beats; every pointer may be null, and a
// chunk whose record is absent is still read and checked. The has-flags are
// cleared at the start and set for each chunk found. Records are only
// changed when the whole read succeeds.
struct BeatsReadTargets {
    BTSettings* settings = nullptr;  // fields without a chunk keep their values
    SongTags* tags = nullptr;
    bool* hasTags = nullptr;
    char* label = nullptr;  // songTextSize bytes
    bool* hasLabel = nullptr;
    MusicalKey* key = nullptr;
    bool* hasKey = nullptr;
    PointsRecord* points = nullptr;  // its earlier arrays are released when a "Points" chunk is found
    bool* hasPoints = nullptr;
    std::vector<std::int32_t>* frames = nullptr;  // the k + 1 entries of "MP3 Frames"
    std::int32_t* frameCount = nullptr;           // k
};

// What a write stores besides the beats; every pointer may be null. The
// "Key" chunk is written only for a defined key.
struct BeatsWriteSources {
    const BTSettings* settings = nullptr;
    const SongTags* tags = nullptr;
    const char* label = nullptr;
    const MusicalKey* key = nullptr;
    const PointsRecord* points = nullptr;
    const std::int32_t* frames = nullptr;  // frameCount + 1 entries
    std::int32_t frameCount = 0;
};

// The side records of one song with their has-flags, held while a read
// fills them: the song-file factory keeps them apart from its caller's
// until an open has succeeded, the beat mapper loads and converts songs
// through them. Owns the level envelope's arrays and frees them.
struct SongRecords {
    BTSettings settings;
    SongTags tags;
    bool hasTags = false;
    char label[songTextSize] = {};
    bool hasLabel = false;
    MusicalKey key;
    bool hasKey = false;
    PointsRecord points;
    bool hasPoints = false;
    std::vector<std::int32_t> frames;
    std::int32_t frameCount = 0;

    SongRecords() = default;
    ~SongRecords() { points.release(); }
    SongRecords(const SongRecords&) = delete;
    SongRecords& operator=(const SongRecords&) = delete;

    // Every record and flag as the target of a read.
    BeatsReadTargets targets();
    // Copies into the caller's targets (null ones are passed over); the
    // envelope's arrays move over when a "Points" record was read, the
    // caller's earlier ones released.
    void handOver(const BeatsReadTargets& caller);
    // The records to write again: the settings, and each other record that
    // was read. The MP3 frame table is left to the writer, which takes it
    // from the song's reader.
    BeatsWriteSources sources() const;
};

class GUIMarkerMap;

class Beats {
public:
    static constexpr std::int32_t capacity = 5000;

    explicit Beats(std::int32_t sampleRate);
    // Reads a QRT file from the file's current position. Throws
    // StringException "The QRT meta-data is corrupt.", "The QRT meta-data
    // refers to an unsupported sample rate." or "The QRT meta-data counts
    // too many beats.".
    Beats(File& file, std::int32_t sampleRate, const BeatsReadTargets& targets = {});
    virtual ~Beats() = default;

    // Creates or truncates the file at the path (through a temporary file
    // beside it, renamed over the path once complete). Throws "Cannot open
    // <path>." when it cannot be created and "Cannot write <path>." when a
    // write, the flush or the close fails; the old file then stays.
    void writeMetaData(const std::string& path, const BeatsWriteSources& sources = {}) const;
    // The whole file as bytes, as writeMetaData stores it.
    std::string metaDataBytes(const BeatsWriteSources& sources = {}) const;

    std::int32_t sampleRate() const { return sampleRate_; }
    std::int32_t count() const { return count_; }
    const Beat& operator[](std::int32_t index) const { return beats_[index]; }
    Beat& operator[](std::int32_t index) { return beats_[index]; }

    void clear() { count_ = 0; }
    // Appends at the end; false (nothing added) when the list is full.
    bool appendBeat(std::int32_t position, bool generated);

    // (position, length) of the count - 1 intervals between beats.
    struct BeatLength {
        std::int32_t position;
        std::int32_t length;
    };
    std::vector<BeatLength> beatLengths() const;

    // The index of the last beat at or before the position; -1 when none.
    std::int32_t findBeat(std::int32_t position) const;
    // Tempo from the largest / smallest / lower-median neighbour distance;
    // 0 with fewer than two beats.
    float minimumBpm() const;
    float maximumBpm() const;
    float medianBpm() const;
    // The first beat set by the user; 0 when there is none.
    std::int32_t firstSetBeat() const;

    // Puts a beat before the first one. A position not before the first
    // beat is a fatal stop; a full list adds nothing and logs "Too many
    // beats in this song.".
    void prependBeat(std::int32_t position, bool generated);
    // Removes the leading beats at negative positions; the new count.
    std::int32_t dropNegativeBeats();
    // Rebuilds the grid at the tempo, keeping every old beat as a set beat.
    // Returns the new count; 0 with no beats, and 0 with the list unchanged
    // when the new grid would hold more than the capacity.
    std::int32_t regrid(std::int32_t songLength, float bpm);
    // Spreads the generated beats between neighbouring set beats evenly.
    void interpolateGenerated();
    // Sorts by position and drops every beat within 1000 frames of the
    // last kept one.
    void sortAndMerge();

    // The beat mapper's marker strip, refilled: one marker per beat at its
    // position, on for a set beat and off for a generated one.
    void fillMarkerMap(GUIMarkerMap& map) const;
    // Back from the strip: the switched-on markers become the set beats,
    // sorted and merged; generated beats are dropped. With more set markers
    // than the list holds, the earliest are kept.
    void fromMarkerMap(const GUIMarkerMap& map);

private:
    std::int32_t sampleRate_;
    std::int32_t count_ = 0;
    std::vector<Beat> beats_;  // capacity entries
};

#endif
