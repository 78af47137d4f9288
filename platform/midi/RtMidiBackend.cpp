// MIDI ports of the ALSA sequencer, through RtMidi with its ALSA API asked
// for by name. RtMidi reports errors to its callback (here: the log) and
// ALSA to its handler (AlsaMessages.h), so nothing reaches stderr.
#include "platform/AlsaMessages.h"
#include "platform/PlatformLog.h"
#include "platform/midi/MidiBackend.h"
#include "platform/midi/MidiNames.h"

#include <rtmidi/RtMidi.h>

#include <unistd.h>

#include <mutex>

namespace platform::midi {
namespace {

constexpr const char* clientName = "Velkarn";

void rtMidiMessage(RtMidiError::Type type, const std::string& text, void*) {
    const bool warning = type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING;
    if (warning) {
        PLATFORM_VERBOSE_NOTE("RtMidi: " + text);
    } else {
        PLATFORM_NOTE("RtMidi: " + text);
    }
}

bool sequencerPresent() {
    if (::access("/dev/snd/seq", R_OK | W_OK) == 0) return true;
    static std::once_flag once;
    std::call_once(once, [] { PLATFORM_VERBOSE_NOTE("No ALSA sequencer (/dev/snd/seq): no MIDI devices"); });
    return false;
}

// The port names of one direction, as the lists show them, in RtMidi's
// order; a sequencer that cannot be opened lists nothing.
template <typename Port>
std::vector<std::string> rawNames(Port& port) {
    std::vector<std::string> names;
    const unsigned count = port.getPortCount();
    for (unsigned i = 0; i < count; ++i) names.push_back(withoutSequencerAddress(port.getPortName(i)));
    return uniqueNames(names, maxMidiNameBytes);
}

template <typename Port>
std::unique_ptr<Port> makePort() {
    if (!sequencerPresent()) return nullptr;
    routeAlsaMessages();
    try {
        auto port = std::make_unique<Port>(RtMidi::LINUX_ALSA, clientName);
        port->setErrorCallback(rtMidiMessage, nullptr);
        return port;
    } catch (const RtMidiError& error) {
        PLATFORM_VERBOSE_NOTE("RtMidi does not start: " + error.getMessage());
        return nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The port's number in a fresh list, by the name the caller was shown.
template <typename Port>
bool findPort(Port& port, const std::string& name, unsigned& number) {
    const std::vector<std::string> names = rawNames(port);
    for (unsigned i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            number = i;
            return true;
        }
    }
    return false;
}

class RtInputPort : public MidiInputPort {
public:
    RtInputPort(std::unique_ptr<RtMidiIn> in, MidiReceiver receiver)
        : in_(std::move(in)), receiver_(std::move(receiver)) {}
    ~RtInputPort() override {
        // Closing ends RtMidi's input thread, so no callback runs after.
        in_->cancelCallback();
        in_->closePort();
    }
    MidiResult open(unsigned number) {
        in_->setCallback(&RtInputPort::received, this);
        // System exclusive dropped; timing clock and active sensing kept.
        in_->ignoreTypes(true, false, false);
        in_->openPort(number, "Velkarn Input");
        return in_->isPortOpen() ? midiOk : midiError;
    }

private:
    static void received(double, std::vector<unsigned char>* message, void* self) {
        if (message == nullptr || message->empty() || message->size() > 3) return;
        if (midiShortMessageLength(message->front()) != static_cast<int>(message->size())) return;
        std::uint32_t packed = 0;
        for (std::size_t i = 0; i < message->size(); ++i) packed |= std::uint32_t{(*message)[i]} << (8 * i);
        static_cast<RtInputPort*>(self)->receiver_(packed);
    }

    std::unique_ptr<RtMidiIn> in_;
    MidiReceiver receiver_;
};

class RtOutputPort : public MidiOutputPort {
public:
    explicit RtOutputPort(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {}
    ~RtOutputPort() override { out_->closePort(); }
    MidiResult open(unsigned number) {
        out_->openPort(number, "Velkarn Output");
        return out_->isPortOpen() ? midiOk : midiError;
    }
    MidiResult send(const std::uint8_t* bytes, std::size_t count) override {
        try {
            out_->sendMessage(bytes, count);
        } catch (const RtMidiError& error) {
            PLATFORM_NOTE("RtMidi: " + error.getMessage());
            return midiError;
        }
        return midiOk;
    }
    MidiResult reset() override {
        for (std::uint8_t channel = 0; channel < 16; ++channel) {
            const std::uint8_t allNotesOff[3] = {static_cast<std::uint8_t>(0xB0 | channel), 123, 0};
            if (MidiResult sent = send(allNotesOff, 3); sent != midiOk) return sent;
        }
        return midiOk;
    }

private:
    std::unique_ptr<RtMidiOut> out_;
};

class RtMidiBackend : public MidiBackend {
public:
    std::vector<std::string> listInputs() override {
        auto in = makePort<RtMidiIn>();
        return in ? rawNames(*in) : std::vector<std::string>{};
    }
    std::vector<std::string> listOutputs() override {
        auto out = makePort<RtMidiOut>();
        return out ? rawNames(*out) : std::vector<std::string>{};
    }
    MidiResult openInput(unsigned, const std::string& name, MidiReceiver receiver,
                         std::unique_ptr<MidiInputPort>& port) override {
        auto in = makePort<RtMidiIn>();
        if (!in) return midiNoDriver;
        unsigned number = 0;
        if (!findPort(*in, name, number)) return midiBadDeviceId;
        auto made = std::make_unique<RtInputPort>(std::move(in), std::move(receiver));
        if (MidiResult opened = made->open(number); opened != midiOk) return opened;
        port = std::move(made);
        return midiOk;
    }
    MidiResult openOutput(unsigned, const std::string& name, MidiHandle,
                          std::unique_ptr<MidiOutputPort>& port) override {
        auto out = makePort<RtMidiOut>();
        if (!out) return midiNoDriver;
        unsigned number = 0;
        if (!findPort(*out, name, number)) return midiBadDeviceId;
        auto made = std::make_unique<RtOutputPort>(std::move(out));
        if (MidiResult opened = made->open(number); opened != midiOk) return opened;
        port = std::move(made);
        return midiOk;
    }
};

}  // namespace

std::unique_ptr<MidiBackend> makeRtMidiBackend() { return std::make_unique<RtMidiBackend>(); }

}  // namespace platform::midi
