#include "platform/midi/MidiService.h"

#include "platform/EventLoop.h"
#include "platform/midi/MidiBackend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

namespace platform::midi {

MidiResult MidiBackend::inputName(unsigned index, const std::vector<std::string>& listed, std::string& name) {
    if (index >= listed.size()) return midiBadDeviceId;
    name = listed[index];
    return midiOk;
}

MidiResult MidiBackend::outputName(unsigned index, const std::vector<std::string>& listed, std::string& name) {
    if (index >= listed.size()) return midiBadDeviceId;
    name = listed[index];
    return midiOk;
}

MidiResult MidiBackend::injectedFailure(const char*) { return midiOk; }

namespace {

struct Input {
    WindowHandle window = noWindow;
    // Shared with the receiver, which may run on the backend's thread.
    std::shared_ptr<std::atomic<bool>> started;
    std::unique_ptr<MidiInputPort> port;
};

struct Service {
    std::mutex mutex;
    std::shared_ptr<MidiBackend> chosen;  // by the environment, at first use
    std::vector<std::string> inputs;      // the latest lists
    std::vector<std::string> outputs;
    std::map<MidiHandle, Input> openInputs;
    std::map<MidiHandle, std::unique_ptr<MidiOutputPort>> openOutputs;
    MidiHandle lastHandle = 0;
};

Service& service() {
    static Service* instance = new Service;  // lives to the end; ports may close late
    return *instance;
}

// With the service's lock held. The caller keeps the backend for the call,
// so an in-process fake removed meanwhile is not freed under it.
std::shared_ptr<MidiBackend> currentBackend(Service& s) {
    if (auto fake = installedFakeMidiBackend(); fake != nullptr) return fake;
    if (!s.chosen) {
        const char* choice = std::getenv("VELKARN_MIDI");
        if (choice != nullptr && std::strcmp(choice, "none") == 0) {
            s.chosen = makeEmptyMidiBackend();
        } else if (choice != nullptr && std::strcmp(choice, "fake") == 0) {
            s.chosen = makeEnvironmentFakeMidiBackend();
        } else {
            s.chosen = makeRtMidiBackend();
        }
    }
    return s.chosen;
}

class EmptyBackend : public MidiBackend {
public:
    std::vector<std::string> listInputs() override { return {}; }
    std::vector<std::string> listOutputs() override { return {}; }
    MidiResult openInput(unsigned, const std::string&, MidiReceiver, std::unique_ptr<MidiInputPort>&) override {
        return midiBadDeviceId;
    }
    MidiResult openOutput(unsigned, const std::string&, MidiHandle, std::unique_ptr<MidiOutputPort>&) override {
        return midiBadDeviceId;
    }
};

}  // namespace

std::unique_ptr<MidiBackend> makeEmptyMidiBackend() { return std::make_unique<EmptyBackend>(); }

unsigned midiInputCount() {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    s.inputs = currentBackend(s)->listInputs();
    return static_cast<unsigned>(s.inputs.size());
}

unsigned midiOutputCount() {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    s.outputs = currentBackend(s)->listOutputs();
    return static_cast<unsigned>(s.outputs.size());
}

MidiResult midiInputName(unsigned index, std::string& name) {
    name.clear();
    Service& s = service();
    std::lock_guard lock(s.mutex);
    MidiResult result = currentBackend(s)->inputName(index, s.inputs, name);
    if (result != midiOk) name.clear();
    return result;
}

MidiResult midiOutputName(unsigned index, std::string& name) {
    name.clear();
    Service& s = service();
    std::lock_guard lock(s.mutex);
    MidiResult result = currentBackend(s)->outputName(index, s.outputs, name);
    if (result != midiOk) name.clear();
    return result;
}

MidiResult midiInputOpen(unsigned index, WindowHandle window, MidiHandle& handle) {
    handle = noMidiHandle;
    Service& s = service();
    std::lock_guard lock(s.mutex);
    const auto chosen = currentBackend(s);
    if (MidiResult failure = chosen->injectedFailure("inputOpen"); failure != midiOk) return failure;
    if (index >= s.inputs.size()) s.inputs = chosen->listInputs();  // never listed, or listed before a plug-in
    if (index >= s.inputs.size()) return midiBadDeviceId;
    if (!isWindow(window)) return midiInvalidParameter;
    const MidiHandle made = ++s.lastHandle;
    Input input;
    input.window = window;
    input.started = std::make_shared<std::atomic<bool>>(false);
    MidiReceiver receiver = [window, made, started = input.started](std::uint32_t packed) {
        if (started->load()) postMessage(window, midiInDataMessage, made, static_cast<std::intptr_t>(packed));
    };
    if (MidiResult opened = chosen->openInput(index, s.inputs[index], std::move(receiver), input.port);
        opened != midiOk) {
        return opened;
    }
    s.openInputs.emplace(made, std::move(input));
    handle = made;
    postMessage(window, midiInOpenMessage, made, 0);
    return midiOk;
}

namespace {

MidiResult setDelivery(MidiHandle handle, bool on, const char* call) {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    if (MidiResult failure = currentBackend(s)->injectedFailure(call); failure != midiOk) return failure;
    auto found = s.openInputs.find(handle);
    if (found == s.openInputs.end()) return midiInvalidHandle;
    found->second.started->store(on);
    return midiOk;
}

}  // namespace

MidiResult midiInputStart(MidiHandle handle) { return setDelivery(handle, true, "inputStart"); }
MidiResult midiInputStop(MidiHandle handle) { return setDelivery(handle, false, "inputStop"); }

MidiResult midiInputClose(MidiHandle handle) {
    Service& s = service();
    std::unique_ptr<MidiInputPort> port;
    WindowHandle window = noWindow;
    {
        std::lock_guard lock(s.mutex);
        if (MidiResult failure = currentBackend(s)->injectedFailure("inputClose"); failure != midiOk) return failure;
        auto found = s.openInputs.find(handle);
        if (found == s.openInputs.end()) return midiInvalidHandle;
        found->second.started->store(false);
        port = std::move(found->second.port);
        window = found->second.window;
        s.openInputs.erase(found);
    }
    port.reset();  // waits for a receiver call in progress
    postMessage(window, midiInCloseMessage, handle, 0);
    return midiOk;
}

MidiResult midiOutputOpen(unsigned index, MidiHandle& handle) {
    handle = noMidiHandle;
    Service& s = service();
    std::lock_guard lock(s.mutex);
    const auto chosen = currentBackend(s);
    if (MidiResult failure = chosen->injectedFailure("outputOpen"); failure != midiOk) return failure;
    if (index >= s.outputs.size()) s.outputs = chosen->listOutputs();
    if (index >= s.outputs.size()) return midiBadDeviceId;
    std::unique_ptr<MidiOutputPort> port;
    const MidiHandle made = ++s.lastHandle;
    if (MidiResult opened = chosen->openOutput(index, s.outputs[index], made, port); opened != midiOk) return opened;
    handle = made;
    s.openOutputs.emplace(handle, std::move(port));
    return midiOk;
}

int midiShortMessageLength(std::uint8_t status) {
    if (status < 0x80) return 0;
    if (status < 0xF0) {
        const int kind = status >> 4;
        return kind == 0xC || kind == 0xD ? 2 : 3;
    }
    switch (status) {
    case 0xF0:
    case 0xF7: return 0;
    case 0xF1:
    case 0xF3: return 2;
    case 0xF2: return 3;
    default: return 1;
    }
}

MidiResult midiOutputShortMessage(MidiHandle handle, std::uint32_t packed) {
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(packed), static_cast<std::uint8_t>(packed >> 8),
                                   static_cast<std::uint8_t>(packed >> 16)};
    const int length = midiShortMessageLength(bytes[0]);
    Service& s = service();
    std::lock_guard lock(s.mutex);
    if (MidiResult failure = currentBackend(s)->injectedFailure("outputShortMessage"); failure != midiOk) return failure;
    auto found = s.openOutputs.find(handle);
    if (found == s.openOutputs.end()) return midiInvalidHandle;
    if (length == 0 || (length > 1 && bytes[1] >= 0x80) || (length > 2 && bytes[2] >= 0x80)) {
        return midiInvalidParameter;
    }
    return found->second->send(bytes, static_cast<std::size_t>(length));
}

MidiResult midiOutputReset(MidiHandle handle) {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    if (MidiResult failure = currentBackend(s)->injectedFailure("outputReset"); failure != midiOk) return failure;
    auto found = s.openOutputs.find(handle);
    if (found == s.openOutputs.end()) return midiInvalidHandle;
    return found->second->reset();
}

MidiResult midiOutputClose(MidiHandle handle) {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    if (MidiResult failure = currentBackend(s)->injectedFailure("outputClose"); failure != midiOk) return failure;
    auto found = s.openOutputs.find(handle);
    if (found == s.openOutputs.end()) return midiInvalidHandle;
    s.openOutputs.erase(found);
    return midiOk;
}

bool midiErrorText(MidiResult result, std::string& text) {
    switch (result) {
    case midiOk: text = "The operation completed successfully."; return true;
    case midiError: text = "The MIDI system reported an error."; return true;
    case midiBadDeviceId: text = "There is no MIDI device with this number."; return true;
    case midiAllocated: text = "The MIDI device is already in use."; return true;
    case midiInvalidHandle: text = "The MIDI device handle is not valid."; return true;
    case midiNoDriver: text = "No MIDI system is available (no ALSA sequencer)."; return true;
    case midiNoMemory: text = "There is not enough memory for the MIDI device."; return true;
    case midiInvalidParameter: text = "A parameter of the MIDI call is not valid."; return true;
    default: text.clear(); return false;
    }
}

void resetMidiService() {
    Service& s = service();
    std::lock_guard lock(s.mutex);
    s.chosen.reset();
    s.inputs.clear();
    s.outputs.clear();
}

}  // namespace platform::midi
