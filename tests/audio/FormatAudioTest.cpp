#include "audio/FormatAudio.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform::audio;

namespace {

TEST(FormatAudio, WaveFormatRecordIsClearedThenFilled) {
    struct Case {
        FormatAudio format;
        std::uint32_t bytesPerSecond;
        std::uint16_t blockAlign;
    };
    const Case cases[] = {
        {FormatAudio(2, 44100, 16), 176400, 4},
        {FormatAudio(1, 8000, 8), 8000, 1},
        {FormatAudio(2, 44100, 24), 264600, 6},
        {FormatAudio(6, 48000, 32), 1152000, 24},
    };
    for (const Case& c : cases) {
        WaveFormat record;
        std::memset(static_cast<void*>(&record), 0xAA, sizeof record);
        c.format.toWaveFormat(record);
        EXPECT_EQ(record.formatTag, 1);
        EXPECT_EQ(record.channels, c.format.channels);
        EXPECT_EQ(record.samplesPerSecond, static_cast<std::uint32_t>(c.format.sampleRate));
        EXPECT_EQ(record.averageBytesPerSecond, c.bytesPerSecond);
        EXPECT_EQ(record.blockAlign, c.blockAlign);
        EXPECT_EQ(record.bitsPerSample, c.format.bitsPerSample);
        EXPECT_EQ(record.extraSize, 0);
        EXPECT_TRUE(FormatAudio::fromWaveFormat(record).equals(c.format));
    }
    EXPECT_EQ(sizeof(WaveFormat), 18u);
}

TEST(FormatAudio, DefaultsAndEquality) {
    const FormatAudio cd;
    EXPECT_EQ(cd.channels, 2);
    EXPECT_EQ(cd.sampleRate, 44100);
    EXPECT_EQ(cd.bitsPerSample, 16);
    EXPECT_TRUE(cd.isCdFormat());
    EXPECT_TRUE(cd.equals(FormatAudio(2, 44100, 16)));
    const FormatAudio others[] = {{1, 44100, 16}, {2, 48000, 16}, {2, 44100, 24}};
    for (const FormatAudio& other : others) {
        EXPECT_FALSE(other.isCdFormat());
        EXPECT_FALSE(cd.equals(other));
        EXPECT_FALSE(other.equals(cd));
    }
    FormatAudio copy(others[1]);
    EXPECT_TRUE(copy.equals(others[1]));
}

TEST(FormatAudio, DeviceSupportTable) {
    enum Device { Wave, Capture, Output };
    struct Case {
        FormatAudio format;
        Device device;
        std::uint32_t flags;
        std::uint32_t formats;
        bool supported;
    };
    const std::uint32_t stereo16 = outputPrimaryStereo | outputPrimary16Bit;
    const Case cases[] = {
        {{2, 44100, 16}, Wave, 0, waveFormat4S16, true},
        {{2, 44100, 16}, Wave, 0, 0x400, false},
        // Not CD format: wave and capture devices never suit, whatever they offer.
        {{2, 48000, 16}, Wave, 0, 0xFFFFFFFF, false},
        {{2, 48000, 16}, Capture, 0, 0xFFFFFFFF, false},
        // ... while an output can, since its rate is not looked at.
        {{2, 48000, 16}, Output, stereo16, 0, true},
        {{2, 44100, 16}, Capture, 0, waveFormat4S16, true},
        {{2, 44100, 16}, Capture, captureEmulated, waveFormat4S16, false},
        {{2, 44100, 16}, Capture, 0, 0x400, false},
        {{2, 44100, 16}, Output, stereo16, 0, true},
        {{2, 44100, 16}, Output, stereo16 | outputEmulated, 0, false},
        {{2, 44100, 16}, Output, outputPrimary16Bit, 0, false},
        {{2, 44100, 16}, Output, outputPrimaryStereo, 0, false},
        {{1, 44100, 16}, Output, outputPrimary16Bit, 0, false},
        {{1, 44100, 16}, Output, outputPrimaryMono | outputPrimary16Bit, 0, true},
        {{2, 44100, 8}, Output, outputPrimaryStereo, 0, false},
        {{2, 44100, 8}, Output, outputPrimaryStereo | outputPrimary8Bit, 0, true},
        // Other channel counts and widths are not tested by flag.
        {{6, 44100, 24}, Output, 0, 0, true},
    };
    for (const Case& c : cases) {
        bool supported = false;
        switch (c.device) {
        case Wave: supported = c.format.supportsWaveDevice(WaveDeviceCaps{"x", c.formats, 2}); break;
        case Capture: supported = c.format.supportsCaptureDevice(CaptureCaps{c.flags, c.formats, 2}); break;
        case Output: supported = c.format.supportsOutputDevice(OutputCaps{c.flags}); break;
        }
        EXPECT_EQ(supported, c.supported) << "device kind " << c.device << ", format (" << c.format.channels << ", "
                                          << c.format.sampleRate << ", " << c.format.bitsPerSample << "), flags "
                                          << std::hex << c.flags << ", formats " << c.formats;
    }
}

}  // namespace
