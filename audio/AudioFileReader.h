// What a deck, the previewer and Sample read a song through: its format,
// its length in frames and spans of float samples, one buffer per channel.
// The factory SampleDisk::open picks the reader by the file's extension.
#ifndef VELKARN_AUDIO_AUDIOFILEREADER_H
#define VELKARN_AUDIO_AUDIOFILEREADER_H

#include "audio/FormatAudio.h"

#include <cstdint>

class AudioFileReader {
public:
    virtual ~AudioFileReader() = default;

    virtual FormatAudio* format() = 0;
    // Frames (samples per channel).
    virtual int length() const = 0;
    // One pointer per channel to `count` samples from frame `position`,
    // valid until the next read. Frames before 0 and past the end are
    // silent. A count above the reader's capacity is a fatal stop.
    virtual float** read(std::int32_t position, std::int32_t count, bool readAhead) = 0;
    // Whether positions are best asked for in whole codec frames.
    virtual bool isFrameBased() const = 0;

protected:
    AudioFileReader() = default;
    AudioFileReader(const AudioFileReader&) = default;
    AudioFileReader& operator=(const AudioFileReader&) = default;
};

#endif
