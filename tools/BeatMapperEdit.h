// The pieces of the beat mapper's save that need no window: where the
// first set beat lies in its phrase and the beats put in front of it, the
// records written beside the beats, the song's overview image and the
// export of the beat map as a picture. The convert walk uses them too.
// Everything here runs on the thread that calls it and holds no lock.
#ifndef VELKARN_TOOLS_BEATMAPPEREDIT_H
#define VELKARN_TOOLS_BEATMAPPEREDIT_H

#include "audio/Beats.h"

#include <cstdint>
#include <memory>
#include <string>

class AudioFileReader;
class GUIBeatMap;
class GUIMarkerMap;
class Image;

class BeatMapperEdit {
public:
    // The overview is 20 pixels per second of 44100 frames.
    static constexpr std::int32_t framesPerOverviewPixel = 2205;
    static constexpr int overviewHeight = 60;
    static constexpr const char* upgradeNotice =
        "Please upgrade to Velkarn 1.17 or higher for a proper graphical representation of this song.";

    // Where the first set beat (index firstSetBeat) lies: beatInBar and
    // barInPhrase are the radio groups' indices (0..3). offset is the beat
    // of its bar that beat 0 must become, 0..beatsPerBar - 1; bars the whole
    // bars to add in front, 0..3; prepended = offset + bars x beatsPerBar.
    struct PhraseAlignment {
        std::int32_t offset = 0;
        std::int32_t bars = 0;
        std::int32_t prepended = 0;
    };
    static PhraseAlignment phraseAlignment(std::int32_t firstSetBeat, std::int32_t beatInBar,
                                           std::int32_t barInPhrase, std::int32_t beatsPerBar);
    // Puts `count` generated beats in front, each one gap (the distance of
    // the first two beats) before the one after it; their positions may be
    // negative. Nothing with fewer than two beats.
    static void prependBeats(Beats& beats, std::int32_t count);

    // The tempo settings record of a save.
    static BTSettings tempoSettings(float bpm, const PhraseAlignment& alignment, std::int32_t beatsPerBar,
                                    bool usePng);
    // A text cut to the 127 characters a record field holds.
    static void copyText(char (&field)[songTextSize], const std::string& text);
    struct Identification {
        std::string track;
        std::string artist;
        std::string album;
        std::string label;
        std::string comments;
        std::string year;
    };
    // The identification records, the tempo being the beats' median.
    static void identificationRecords(const Identification& texts, const Beats& beats, SongTags& tags,
                                      SongTag2& label);
    // The level envelope record: the map's samples per value and envelope,
    // and the 256-column folded profile at the tempo and bar with the beat
    // at firstPosition first, each value the float's IEEE-754 bits. The
    // caller releases it.
    static PointsRecord pointsRecord(GUIBeatMap& map, float bpm, std::int32_t beatsPerBar,
                                     std::int32_t firstPosition);

    // An MP3 song's frame table as the table to write (other songs have
    // none); the sources then point into the song's reader.
    static void addFrameTable(const AudioFileReader& song, BeatsWriteSources& sources);
    // By the song's extension: moves the side files beside it into the song
    // (merge), or takes out the copy the song carries (strip). Files of
    // other kinds are left alone.
    static void placeMetaData(const std::string& songPath, bool merge);

    // Whether the beats span at least one overview pixel; an image needs
    // two beats at least framesPerOverviewPixel apart.
    static bool hasOverview(const Beats& beats);
    // The overview of the beats: light blue, a white line and number at
    // every barStep-th beat, and the upgrade notice when asked. Null when
    // the beats span no pixel.
    static std::unique_ptr<Image> overviewImage(const Beats& beats, std::int32_t barStep, bool notice);
    // Writes the overview beside the song ("png" in place of the last three
    // characters). A failure shows "Could not save .png file." with the
    // writer's text and gives false.
    static bool writeOverviewImage(const Beats& beats, std::int32_t barStep, bool notice,
                                   const std::string& songPath);

    // The exported beat-map picture's layout for the song at the tempo.
    struct ExportLayout {
        std::int32_t samplesPerRow = 0;
        std::int32_t valuesPerRow = 0;
        std::int32_t rows = 0;
        std::int32_t rowHeight = 0;
        std::int32_t width = 0;   // valuesPerRow + 1
        std::int32_t height = 0;  // rowHeight x rows
    };
    // Zero sizes for a tempo, bar or song that gives no row.
    static ExportLayout exportLayout(std::int32_t beatsPerBar, float bpm, std::int32_t songLength, float zoom,
                                     std::int32_t samplesPerValue);
    // The picture: transparent, the map's rows in its top-left corner and
    // the markers over them. Null for an empty layout.
    static std::unique_ptr<Image> exportImage(const GUIBeatMap& map, GUIMarkerMap& markers,
                                              const ExportLayout& layout);
};

#endif
