// What a stream of audio is: channels, frames per second and bits per
// sample. Every song reader reports its format as one, and every output
// device plays one.
#ifndef VELKARN_AUDIO_FORMATAUDIO_H
#define VELKARN_AUDIO_FORMATAUDIO_H

#include "platform/audio/AudioRecords.h"

#include <cstdint>

class FormatAudio {
public:
    // CD format: 2 channels, 44,100 Hz, 16 bits.
    FormatAudio() = default;
    FormatAudio(std::int32_t channels, std::int32_t sampleRate, std::int32_t bitsPerSample);
    FormatAudio(const FormatAudio&) = default;
    FormatAudio& operator=(const FormatAudio&) = default;
    virtual ~FormatAudio() = default;

    // The channel count, rate and bits of a wave-format record.
    static FormatAudio fromWaveFormat(const platform::audio::WaveFormat& record);

    // Clears the whole record, then fills it: tag 1 (PCM), channels, rate,
    // bytes per second = (bits / 8) x rate x channels, block alignment =
    // (bits / 8) x channels, bits, extra size 0.
    void toWaveFormat(platform::audio::WaveFormat& record) const;

    bool isCdFormat() const;
    bool equals(const FormatAudio& other) const;

    // A wave device (output or input) suits when this is CD format and the
    // device offers 44.1 kHz stereo 16-bit.
    bool supportsWaveDevice(const platform::audio::WaveDeviceCaps& caps) const;
    // A capture device suits when it is not emulated, this is CD format and
    // it offers 44.1 kHz stereo 16-bit.
    bool supportsCaptureDevice(const platform::audio::CaptureCaps& caps) const;
    // An output suits when it is not emulated and takes this channel count
    // (1 or 2) and sample width (8 or 16) as its primary format; the rate
    // is not looked at.
    bool supportsOutputDevice(const platform::audio::OutputCaps& caps) const;

    std::int32_t channels = 2;
    std::int32_t sampleRate = 44100;
    std::int32_t bitsPerSample = 16;
};

#endif
