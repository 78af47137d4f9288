// The song reader for 16-bit PCM in a ".wav" file: each read fetches the
// frames inside the file in one piece from the data chunk, splits the
// interleaved samples into the channel buffers and scales them by 1/32768.
// This runs on the deck render threads for every block of a WAV song.
//
// One thread at a time; no lock.
#ifndef VELKARN_AUDIO_SAMPLEDISKPCM_H
#define VELKARN_AUDIO_SAMPLEDISKPCM_H

#include "audio/AudioFileReader.h"
#include "audio/FormatAudio.h"

#include <cstdint>
#include <memory>
#include <vector>

class File;

class SampleDiskPCM : public AudioFileReader {
public:
    // The samples are the dataBytes bytes from dataStart in `file`, which
    // the reader owns from the call on (also when the constructor throws).
    // Reads may ask for up to round(44100 x cacheSeconds) frames. Throws
    // StringException "PCM audio must be in CD format: stereo, 44.1 kHz, 16
    // bits." for any other format.
    SampleDiskPCM(std::unique_ptr<File> file, const FormatAudio& format, std::int32_t dataStart,
                  std::int32_t dataBytes, float cacheSeconds);
    ~SampleDiskPCM() override;
    SampleDiskPCM(const SampleDiskPCM&) = delete;
    SampleDiskPCM& operator=(const SampleDiskPCM&) = delete;

    FormatAudio* format() override { return &format_; }
    int length() const override { return length_; }
    // A count above the capacity stops the program ("Buffer too small.").
    // Frames the file does not hold (a read failing part way) are silent.
    float** read(std::int32_t position, std::int32_t count, bool readAhead) override;
    bool isFrameBased() const override { return false; }

    std::int32_t capacity() const { return capacity_; }

private:
    std::unique_ptr<File> file_;
    FormatAudio format_;
    std::int32_t length_ = 0;
    std::vector<std::int16_t> pcm_;  // capacity x channels
    float* channels_[2] = {};
    std::int32_t dataStart_ = 0;
    std::int32_t capacity_ = 0;
};

#endif
