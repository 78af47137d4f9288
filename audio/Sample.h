// A whole short sound in memory as float channel buffers, such as the beat
// mapper's click. It is read once through the song-file factory.
#ifndef VELKARN_AUDIO_SAMPLE_H
#define VELKARN_AUDIO_SAMPLE_H

#include "audio/FormatAudio.h"

#include <cstdint>
#include <string>
#include <vector>

class Sample {
public:
    // Opens the file through SampleDisk::open (a relative name is under
    // "samples/"), without meta-data, and reads it whole in blocks of one
    // second. Throws the factory's StringException texts.
    Sample(const std::string& name, bool absolute);
    virtual ~Sample();
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;

    const FormatAudio& format() const { return format_; }
    std::int32_t length() const { return length_; }
    std::int32_t channelCount() const { return static_cast<std::int32_t>(channels_.size()); }
    const float* channel(std::int32_t index) const { return channels_[index]; }

    // The index of the first smallest and of the first largest sample of a
    // channel; 0 for an empty sound.
    std::int32_t minimumIndex(std::int32_t channel) const;
    std::int32_t maximumIndex(std::int32_t channel) const;

private:
    FormatAudio format_;
    std::int32_t length_ = 0;
    std::vector<float*> channels_;  // length samples each (at least one allocated)
};

#endif
