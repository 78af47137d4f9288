// The sound devices that can play or record the application's format,
// found once at start-up: waveIn, waveOut, DirectSound capture and
// DirectSound output devices, at most 16 of each, with names of at most
// 127 bytes. It also checks a device choice stored in the settings.
//
// Failures while listing are logged and the device left out; nothing is
// thrown, and whether the lists suffice is the application's decision.
#ifndef VELKARN_AUDIO_AUDIODEVICELIST_H
#define VELKARN_AUDIO_AUDIODEVICELIST_H

#include "audio/FormatAudio.h"
#include "platform/audio/AudioRecords.h"

#include <array>
#include <cstdint>

class AudioDeviceList {
public:
    static constexpr int maxDevices = 16;
    static constexpr int nameSize = 128;  // bytes, with the terminating zero

    enum class Kind { WaveIn, WaveOut, Capture, DirectSound };

    explicit AudioDeviceList(const FormatAudio& format);

    // The position of the first entry named exactly name; 0 when none is.
    int indexOfWaveInDevice(const char* name) const;
    int indexOfWaveOutDevice(const char* name) const;
    int indexOfCaptureDevice(const char* name) const;
    int indexOfDirectSoundDevice(const char* name) const;

    // The waveOut device number of the named entry; -1 when absent.
    int waveOutDeviceId(const char* name) const;
    // The identifier of the named DirectSound output; the default
    // output's identifier when absent. Valid as long as the list.
    const platform::audio::Guid* directSoundGuid(const char* name) const;

    // Checks a stored choice of an output (or input) device: name is a
    // buffer of nameSize bytes. A name that is in its list (DirectSound's
    // when useDirectSound is nonzero, else the wave list) is kept;
    // otherwise useDirectSound becomes 0, the name the first wave device's
    // (waveOut for output, waveIn for input) and the latency 50.0 ms.
    void validateChoice(bool output, std::int32_t& useDirectSound, char* name, float& latencyMs) const;

    int count(Kind kind) const { return list(kind).count; }
    // "" beyond the count.
    const char* name(Kind kind, int index) const;

private:
    struct List {
        std::int32_t count = 0;
        std::array<std::array<char, nameSize>, maxDevices> names{};
        std::array<std::uint32_t, maxDevices> numbers{};
        std::array<platform::audio::Guid, maxDevices> guids{};
    };

    const List& list(Kind kind) const;
    static int indexIn(const List& list, const char* name);
    static void add(List& list, const std::string& name, std::uint32_t number, const platform::audio::Guid& guid);

    void listWaveDevices(List& list, bool output);
    void listCaptureDevices();
    void listOutputs();
    static bool onCapture(const platform::audio::Guid* guid, const char* description, void* context);
    static bool onOutput(const platform::audio::Guid* guid, const char* description, void* context);

    FormatAudio format_;
    List waveIn_;
    List waveOut_;
    List capture_;
    List directSound_;
    int outputEntriesSeen_ = 0;
};

#endif
