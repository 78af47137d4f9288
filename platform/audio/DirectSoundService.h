// Sound devices by identifier: enumeration of outputs and capture devices,
// output devices with their capabilities, and looping buffers with
// position notifications.
//
// Output enumeration reports first an alias of the default output (no
// identifier), then every output of the lists; capture enumeration reports
// the inputs. The default-playback identifier opens the default output.
//
// A looping buffer:
// - starts silent; its stream runs from play to stop, and the play cursor
//   moves as the sound library pulls;
// - fires a notification when the cursor reaches its offset while playing,
//   never at play or at a set position;
// - is cut into stretches by its notification offsets (one stretch
//   without any). A stretch plays what was last unlocked in it; when the
//   cursor enters a stretch not written since it last played (or locked
//   right now), that pass plays silence and counts an underrun, and the
//   stretch is not read, so a block is never heard half old, half new.
//   Nor does a stretch play when it was written before the stretch played
//   last: then too the pass is silent and counts an underrun, so writes
//   made out of turn lose audio but never play it out of order.
#ifndef VELKARN_PLATFORM_AUDIO_DIRECTSOUNDSERVICE_H
#define VELKARN_PLATFORM_AUDIO_DIRECTSOUNDSERVICE_H

#include "platform/audio/AudioRecords.h"

#include <cstdint>
#include <memory>

namespace platform {
class Event;
}

namespace platform::audio {

// Called per entry; guid is null for the alias of the default output and
// points to storage that lives only during the call. False stops.
using DeviceEnumerationCallback = bool (*)(const Guid* guid, const char* description, void* context);

AudioResult enumerateOutputs(DeviceEnumerationCallback callback, void* context);
AudioResult enumerateCaptureDevices(DeviceEnumerationCallback callback, void* context);

inline constexpr std::uint32_t cooperativePriority = 2;
inline constexpr std::uint32_t bufferPositionNotify = 0x100;
inline constexpr std::uint32_t playLooping = 0x1;

struct BufferDescription {
    std::uint32_t flags = 0;
    std::uint32_t bytes = 0;  // a whole number of frames
    WaveFormat format;
};

struct PositionNotify {
    std::uint32_t offset = 0;  // bytes
    Event* event = nullptr;    // set when the cursor reaches offset
};

class SoundBuffer {
public:
    virtual ~SoundBuffer() = default;  // stops first
    // One region, or two when the range wraps past the end (second null
    // otherwise). The stretches it touches do not play until unlocked.
    virtual AudioResult lock(std::uint32_t offset, std::uint32_t bytes, void** first, std::uint32_t* firstBytes,
                             void** second, std::uint32_t* secondBytes) = 0;
    virtual AudioResult unlock(void* first, std::uint32_t firstBytes, void* second, std::uint32_t secondBytes) = 0;
    virtual AudioResult play(std::uint32_t flags) = 0;
    // Returns once the sound library no longer reads the buffer.
    virtual AudioResult stop() = 0;
    virtual AudioResult setCurrentPosition(std::uint32_t offset) = 0;
    // Only while stopped; the events must outlive the buffer's playing.
    virtual AudioResult setNotificationPositions(int count, const PositionNotify* positions) = 0;
};

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual AudioResult capabilities(OutputCaps& caps) = 0;
    // Accepted and ignored: no other program competes for the device here.
    virtual AudioResult setCooperativeLevel(const void* window, std::uint32_t level) = 0;
    virtual AudioResult createBuffer(const BufferDescription& description, std::unique_ptr<SoundBuffer>& buffer) = 0;
};

class CaptureDevice {
public:
    virtual ~CaptureDevice() = default;
    virtual AudioResult capabilities(CaptureCaps& caps) = 0;
};

// Null guid or defaultPlaybackGuid: the default output.
AudioResult createSoundDevice(const Guid* guid, std::unique_ptr<SoundDevice>& device);
// Null guid: the first input.
AudioResult createCaptureDevice(const Guid* guid, std::unique_ptr<CaptureDevice>& device);

}  // namespace platform::audio

#endif
