#include "audio/FormatAudio.h"

#include <cstring>

using namespace platform::audio;

FormatAudio::FormatAudio(std::int32_t channels, std::int32_t sampleRate, std::int32_t bitsPerSample)
    : channels(channels), sampleRate(sampleRate), bitsPerSample(bitsPerSample) {}

FormatAudio FormatAudio::fromWaveFormat(const WaveFormat& record) {
    return FormatAudio(record.channels, static_cast<std::int32_t>(record.samplesPerSecond), record.bitsPerSample);
}

void FormatAudio::toWaveFormat(WaveFormat& record) const {
    std::memset(static_cast<void*>(&record), 0, sizeof record);
    const std::int32_t bytesPerSample = bitsPerSample / 8;
    record.formatTag = waveFormatPcm;
    record.channels = static_cast<std::uint16_t>(channels);
    record.samplesPerSecond = static_cast<std::uint32_t>(sampleRate);
    record.averageBytesPerSecond = static_cast<std::uint32_t>(bytesPerSample) * static_cast<std::uint32_t>(sampleRate) *
                                   static_cast<std::uint32_t>(channels);
    record.blockAlign = static_cast<std::uint16_t>(bytesPerSample * channels);
    record.bitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    record.extraSize = 0;
}

bool FormatAudio::isCdFormat() const { return channels == 2 && sampleRate == 44100 && bitsPerSample == 16; }

bool FormatAudio::equals(const FormatAudio& other) const {
    return channels == other.channels && sampleRate == other.sampleRate && bitsPerSample == other.bitsPerSample;
}

bool FormatAudio::supportsWaveDevice(const WaveDeviceCaps& caps) const {
    return isCdFormat() && (caps.formats & waveFormat4S16) != 0;
}

bool FormatAudio::supportsCaptureDevice(const CaptureCaps& caps) const {
    if ((caps.flags & captureEmulated) != 0) return false;
    return isCdFormat() && (caps.formats & waveFormat4S16) != 0;
}

bool FormatAudio::supportsOutputDevice(const OutputCaps& caps) const {
    if ((caps.flags & outputEmulated) != 0) return false;
    if (channels == 1 && (caps.flags & outputPrimaryMono) == 0) return false;
    if (channels == 2 && (caps.flags & outputPrimaryStereo) == 0) return false;
    if (bitsPerSample == 8 && (caps.flags & outputPrimary8Bit) == 0) return false;
    if (bitsPerSample == 16 && (caps.flags & outputPrimary16Bit) == 0) return false;
    return true;
}
