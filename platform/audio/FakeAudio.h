// Test mode of the audio services: while a FakeAudio exists, the wave and
// sound-device services answer from its scripted entries instead of the
// real lists, record every call, and fail the calls a test picks. Devices
// opened on it play through null streams (NullAudio.h), so they can be
// stepped and captured like the null device.
//
// Script the entries and failures before the code under test runs; the
// call record may be read at any time.
#ifndef VELKARN_PLATFORM_AUDIO_FAKEAUDIO_H
#define VELKARN_PLATFORM_AUDIO_FAKEAUDIO_H

#include "platform/audio/AudioRecords.h"

#include <optional>
#include <string>
#include <vector>

namespace platform::audio {

struct FakeWaveEntry {
    WaveDeviceCaps caps;
    bool failCapabilities = false;
};

struct FakeOutputEntry {
    std::optional<Guid> guid;  // none: the alias of the default output
    std::string description;
    OutputCaps caps;
    bool failCreate = false;
    bool failCapabilities = false;
};

struct FakeCaptureEntry {
    Guid guid;
    std::string description;
    CaptureCaps caps;
    bool failCreate = false;
    bool failCapabilities = false;
};

struct FakeFailures {
    int outputEnumerationAfter = -1;   // enumeration fails after this many entries; -1 never
    int captureEnumerationAfter = -1;
    bool cooperativeLevel = false;
    bool createBuffer = false;
    bool notifications = false;
    int failingLock = 0;  // the n-th buffer lock since the fake was made fails (1: the first); 0 none
    bool openWaveOut = false;
    bool prepareHeader = false;
    bool threadStart = false;  // every platform::Thread start fails
    AudioResult result = resultBackendError;
};

class FakeAudio {
public:
    FakeAudio();   // installs it; one at a time
    ~FakeAudio();  // uninstalls it; close its devices first

    FakeAudio(const FakeAudio&) = delete;
    FakeAudio& operator=(const FakeAudio&) = delete;

    std::vector<FakeWaveEntry> waveOut;
    std::vector<FakeWaveEntry> waveIn;
    std::vector<FakeOutputEntry> outputs;  // in enumeration order, the alias included when wanted
    std::vector<FakeCaptureEntry> captures;
    FakeFailures failures;

    // Every call so far, one line each ("waveOutCapabilities 3", "lock 0
    // 8820", ...), in the order they were made.
    std::vector<std::string> calls() const;
    bool called(const std::string& line) const;
    void clearCalls();
    // Buffer locks so far, for failingLock.
    int locks() const;
};

}  // namespace platform::audio

#endif
