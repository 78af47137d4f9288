// The beat map: a song reduced to a short energy envelope (the largest
// sample magnitude of each block of samplesPerValue frames) and drawn folded
// into rows of a fixed number of beats at a given tempo, so that a steady
// beat shows as vertical stripes. It also estimates the tempo by
// autocorrelation of the envelope, refines a tempo to a thousandth of a BPM
// by folding the onset signal over the song, and computes the 256-column
// folded profile that the beat meta-data stores.
//
// All analysis takes CD-format audio (stereo, 44,100 Hz, 16 bits).
// analyse runs on the progress dialog's job thread while the window's
// thread waits in the dialog; everything else runs on the user-interface
// thread. The map holds no lock of its own.
#ifndef VELKARN_TOOLS_GUIBEATMAP_H
#define VELKARN_TOOLS_GUIBEATMAP_H

#include "framework/GUIComponent.h"

#include <cstdint>
#include <memory>

class AudioFileReader;
class DialogProgress;
class GUIBeatMapClient;
class GUIBeatMapData;
class Image;

class GUIBeatMap : public GUIComponent {
public:
    static constexpr int profileColumns = 256;

    // The image starts transparent light blue; every refresh repaints it.
    GUIBeatMap(int x, int y, int width, int height, std::int32_t samplesPerValue, GUIBeatMapClient* client);
    ~GUIBeatMap() override;

    // Builds the envelope of the whole song a second at a time (the tail
    // that does not fill a whole chunk is dropped) and derives the onset
    // signals. A song that is not CD format is a fatal stop. With a
    // dialog: range 0 .. chunks - 1, position after each chunk, and an
    // abort seen before a chunk ends the analysis with count 0 and false.
    // A song shorter than one value leaves the map empty and gives true.
    bool analyse(AudioFileReader* song, DialogProgress* progress);
    // Takes `envelope` (from the aligned allocator, `count` values) as the
    // map's own and derives the onset signals from it.
    void setEnvelope(std::int32_t count, float* envelope);
    // The envelope itself (not a copy); its count goes to *count.
    float* envelope(std::int32_t* count);

    std::unique_ptr<GUIBeatMapData> saveData() const;
    void restoreData(const GUIBeatMapData& data);

    // Renders the rows into the image and redraws the map. *twoValuesPerColumn
    // tells whether each column shows the larger of two values (the marker
    // map needs it to line up with the columns).
    void refresh(std::int32_t rowHeight, float scroll, float mix, float gain, float bpm, std::int32_t beatsPerRow,
                 bool* twoValuesPerColumn);

    // The autocorrelation peaks between 90 and 180 BPM (per beat when
    // beatsPerBar is 1, per bar of beatsPerBar beats otherwise), strongest
    // first, at most maxCount; none without an envelope.
    void findTempoCandidates(std::int32_t beatsPerBar, float* tempi, std::int32_t* count, std::int32_t maxCount);
    // Tries every thousandth of a BPM between the tempi of one envelope
    // value more and less per bar, and keeps the one whose bars line up the
    // onsets best.
    void refineTempo(float* bpm, std::int32_t beatsPerBar);
    // The onsets folded over two bars, rotated so that the beat at
    // offsetSamples comes first, reduced to 256 columns, as logarithms
    // scaled to a maximum of 1. Free it with releaseAligned.
    float* foldedProfile(float bpm, std::int32_t beatsPerBar, std::int32_t offsetSamples, std::int32_t* count);

    // Copies the image into `target` from the top-left corner, as much as
    // fits in both.
    void copyImageTo(Image& target) const;

    void draw(const GUIRectangle& clip) override;
    void mouseWheel(const GUIPoint& point, int notches) override;

    std::int32_t samplesPerValue() const { return samplesPerValue_; }
    std::int32_t valueCount() const { return count_; }
    std::int32_t totalSamples() const { return totalSamples_; }
    const float* onset() const { return onset_; }
    const float* onsetPlusOne() const { return onsetPlusOne_; }
    const Image& image() const { return *image_; }

private:
    void releaseArrays();
    // New uninitialised arrays of `count` values (none for 0).
    void allocateArrays(std::int32_t count);
    void deriveOnsets();
    // The tempo whose bar of beatsPerBar beats lasts `period` values.
    float tempoForPeriod(std::int32_t period, std::int32_t beatsPerBar) const;

    std::int32_t samplesPerValue_;
    GUIBeatMapClient* client_;
    std::unique_ptr<Image> image_;
    std::int32_t count_ = 0;
    std::int32_t totalSamples_ = 0;
    float* envelope_ = nullptr;
    float* onset_ = nullptr;
    float* onsetPlusOne_ = nullptr;
};

#endif
