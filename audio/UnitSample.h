// Plays a short sound (a click, or a loop) into channels: started after a
// given number of frames, with a ramped gain.
#ifndef VELKARN_AUDIO_UNITSAMPLE_H
#define VELKARN_AUDIO_UNITSAMPLE_H

#include "audio/FormatAudio.h"
#include "audio/Sample.h"

#include <cstdint>
#include <memory>
#include <string>

class UnitSample {
public:
    static constexpr std::int32_t maximumBlock = 48000;

    // Loads the sound through the song-file factory (a relative name lies
    // under "samples/"); a sound of another format than `format` throws
    // StringException "The sample is not in a compatible format.".
    UnitSample(const FormatAudio& format, const std::string& name, bool absolute, bool looping);
    virtual ~UnitSample() = default;

    // The sound starts again from its beginning n frames into the blocks
    // to come.
    void triggerAfter(std::int32_t n);
    // Adds n frames of the sound to channels[0..], the gain ramped from
    // gainFrom to gainTo; a restart inside the block splits it there.
    void process(float* const* channels, std::int32_t n, float gainFrom, float gainTo);

    bool playing() const { return playing_; }
    std::int32_t position() const { return position_; }

private:
    void play(float* const* channels, std::int32_t start, std::int32_t n, float gainFrom, float gainTo);

    std::unique_ptr<Sample> sample_;
    bool looping_;
    bool playing_ = false;
    std::int32_t position_ = 0;
    bool restartPending_ = false;
    std::int32_t framesToRestart_ = 0;
};

#endif
