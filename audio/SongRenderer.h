// Renders one deck beat of a song into a deck's two ring pairs: the song's
// span for the beat is fitted to the grid's beat length (copied, resampled
// or time-scaled), optionally reversed, and laid down with a linear
// crossfade of n frames centred on each beat boundary, shaped by the
// slot's gain ramp.
//
// The main ring takes what lies inside the beat's boundaries, the overlap
// ring the first half of its fade-in before them and the second half of its
// fade-out after them; the deck output is their sum. One renderer per
// song; it runs on the deck's render thread under lock 2 and allocates
// nothing per beat.
#ifndef VELKARN_AUDIO_SONGRENDERER_H
#define VELKARN_AUDIO_SONGRENDERER_H

#include "audio/Beats.h"
#include "audio/SongBeat.h"

#include <cstdint>

class Interpolator;
class TimeScaler;

using SongSpan = Beats::BeatLength;

// The frames of a song file: read returns one pointer per channel to count
// frames from position (frames before 0 and past the end are silence),
// valid until the next read. maximumRead is the most one read may ask.
class SongFrameSource {
public:
    virtual ~SongFrameSource() = default;
    virtual float** read(std::int32_t position, std::int32_t count, bool readAhead) = 0;
    virtual std::int32_t channels() const = 0;
    virtual std::int32_t maximumRead() const = 0;
};

// A deck's rings: main and overlap, left and right, each `size` frames.
struct DeckRings {
    float* mainLeft;
    float* mainRight;
    float* overlapLeft;
    float* overlapRight;
    std::int32_t size;
};

class SongRenderer {
public:
    // Songs open their readers with a 3-second cache: the longest read.
    static constexpr float cacheSeconds = 3.0f;

    // Work buffers of trunc((60 / minimumTempo + 0.5) x 44100 + 0.5) frames
    // per channel (88,200 at 40 BPM), and a scratch of a whole read for
    // reversing the read frames. The interpolator and time scaler are the
    // caller's and outlive the renderer.
    SongRenderer(Interpolator& interpolator, TimeScaler& timeScaler, float minimumTempo,
                 std::int32_t maximumRead);
    virtual ~SongRenderer();
    SongRenderer(const SongRenderer&) = delete;
    SongRenderer& operator=(const SongRenderer&) = delete;

    // Renders the slot (span, play) as a beat of count frames at ring index
    // b with an overlap of n frames. Output b + t holds song frame p + t / h
    // (h = count / span length), or p + v - t / h reversed. An overlap
    // larger than the beat is cut to the beat (logged once); a beat that
    // would pass the read limit or the work buffers renders as silence
    // (logged once).
    void renderBeat(SongFrameSource& source, const SongSpan& span, const SongBeat& play,
                    const DeckRings& rings, std::int32_t b, std::int32_t count, std::int32_t n,
                    bool timeScaling, float knee);

    // A silent beat (paused, or no song holds it): everything of its own
    // stretch becomes silence, but the previous beat's fade-out tail in the
    // overlap ring at b .. b + n - n/2 - 1 stays.
    static void renderSilence(const DeckRings& rings, std::int32_t b, std::int32_t count, std::int32_t n);

    std::int32_t workFrames() const { return workFrames_; }

private:
    Interpolator& interpolator_;
    TimeScaler& timeScaler_;
    std::int32_t workFrames_;
    std::int32_t maximumRead_;
    float* work_[2];
    float* scratch_;
    bool overlapLogged_ = false;
    bool tooLongLogged_ = false;
};

#endif
