// Inside the audio layer: sound endpoints (PortAudio's devices, the null
// device), the streams they open, and the sources those streams pull from
// (the wave-output and looping-buffer emulations). Nothing outside
// platform/audio/ includes this.
#ifndef VELKARN_PLATFORM_AUDIO_AUDIOBACKEND_H
#define VELKARN_PLATFORM_AUDIO_AUDIOBACKEND_H

#include "platform/audio/AudioRecords.h"
#include "platform/audio/NullAudio.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::audio {

// What a stream pulls its audio from.
class PullSource {
public:
    virtual ~PullSource() = default;
    // Called on the backend's thread, one call at a time: fills `frames`
    // frames of the stream's format at `out`. It only copies and signals:
    // it never allocates and never waits on a lock a renderer holds.
    virtual void pull(std::uint8_t* out, int frames) = 0;
    // Virtual pacing only, on the stream's thread right after a pull: waits
    // until the work that pull caused is done (a done callback returned, a
    // notified thread waits again). False when it took longer than guardMs.
    virtual bool settle(std::int64_t guardMs) = 0;
};

class BackendStream {
public:
    virtual ~BackendStream() = default;  // stops first
    // Starts pulling, preferably periodFrames at a time.
    virtual AudioResult start(int periodFrames) = 0;
    // Returns once no pull runs, and none runs until the next start.
    virtual void stop() = 0;
    // From inside pull: the source had nothing to play for part of it.
    virtual void countUnderrun() = 0;
};

// What a device takes, read once when the list is made.
struct EndpointFormats {
    bool mono = false;
    bool stereo = false;
    bool eightBit = false;
    bool sixteenBit = false;
    bool cdFormat = false;  // 2 channels, 44,100 Hz, 16 bits
    int maxChannels = 0;
};

class Endpoint {
public:
    virtual ~Endpoint() = default;
    virtual const std::string& name() const = 0;
    virtual const Guid& guid() const = 0;
    virtual const EndpointFormats& formats() const = 0;
    virtual bool supports(const WaveFormat& format) const = 0;
    // The stream pulls from source, which must outlive it.
    virtual AudioResult openStream(const WaveFormat& format, StreamKind kind, PullSource& source,
                                   std::unique_ptr<BackendStream>& stream) = 0;
};

// ---- The device lists ---------------------------------------------------------------

// Made on first use: PortAudio's default output, its other CD-format
// outputs (at most 15 with the first), then the null device; inputs are
// PortAudio's CD-format inputs. VELKARN_AUDIO=null leaves PortAudio out.
const std::vector<Endpoint*>& outputEndpoints();
const std::vector<Endpoint*>& inputEndpoints();
// The default output (the null device when PortAudio has none).
Endpoint& defaultOutputEndpoint();
Endpoint* findOutputEndpoint(const Guid& guid);
Endpoint* findInputEndpoint(const Guid& guid);

// ---- Backends -------------------------------------------------------------------------

// PortAudio: starts it (once, routing ALSA's and JACK's messages to the
// verbose log) and adds its endpoints. False when it cannot start.
bool startPortAudio(std::vector<std::unique_ptr<Endpoint>>& outputs, std::vector<std::unique_ptr<Endpoint>>& inputs);
void stopPortAudio();

// The null device's endpoint, and a null stream for the fake's entries.
std::unique_ptr<Endpoint> makeNullEndpoint();
bool nullDeviceSupports(const WaveFormat& format);
AudioResult openNullStream(const WaveFormat& format, StreamKind kind, PullSource& source,
                           std::unique_ptr<BackendStream>& stream);

// ---- Helpers ----------------------------------------------------------------------------

// Remembers a sound library's text for this thread's next resultName of
// resultBackendError, and as the thread's last error text.
void setBackendFailure(const std::string& text);

int bytesPerFrame(const WaveFormat& format);
std::uint8_t silenceByte(const WaveFormat& format);
// A stable identifier made from the host's and the device's names.
Guid guidFromName(const std::string& text);

}  // namespace platform::audio

#endif
