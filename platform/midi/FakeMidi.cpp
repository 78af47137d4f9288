#include "platform/midi/FakeMidi.h"

#include "platform/Clock.h"
#include "platform/midi/MidiBackend.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace platform::midi {

struct FakeMidi::State {
    mutable std::mutex mutex;
    std::vector<FakeMidiFailure> failures;
    std::map<std::string, int> callCounts;
    std::vector<std::string> calls;
    std::vector<FakeMidiSent> sent;
    std::map<int, std::pair<std::string, MidiReceiver>> inputPorts;  // by port serial
    int openOutputs = 0;
    int lastSerial = 0;
    std::string logPath;  // child processes: sent messages go here too
};

namespace {

using State = FakeMidi::State;

class FakeInputPort : public MidiInputPort {
public:
    FakeInputPort(std::shared_ptr<State> state, int serial) : state_(std::move(state)), serial_(serial) {}
    ~FakeInputPort() override {
        std::lock_guard lock(state_->mutex);  // an injection in progress finishes first
        state_->inputPorts.erase(serial_);
    }

private:
    std::shared_ptr<State> state_;
    int serial_;
};

class FakeOutputPort : public MidiOutputPort {
public:
    FakeOutputPort(std::shared_ptr<State> state, MidiHandle handle) : state_(std::move(state)), handle_(handle) {}
    ~FakeOutputPort() override {
        std::lock_guard lock(state_->mutex);
        --state_->openOutputs;
    }
    MidiResult send(const std::uint8_t* bytes, std::size_t count) override {
        record(std::vector<std::uint8_t>(bytes, bytes + count), false);
        return midiOk;
    }
    MidiResult reset() override {
        record({}, true);
        return midiOk;
    }

private:
    void record(std::vector<std::uint8_t> bytes, bool reset) {
        FakeMidiSent entry{monotonicNs(), handle_, std::move(bytes), reset};
        std::lock_guard lock(state_->mutex);
        if (!state_->logPath.empty()) {
            if (std::FILE* file = std::fopen(state_->logPath.c_str(), "a"); file != nullptr) {
                std::fprintf(file, "%lld %llu", static_cast<long long>(entry.timeNs),
                             static_cast<unsigned long long>(entry.handle));
                if (reset) std::fprintf(file, " reset");
                for (std::uint8_t byte : entry.bytes) std::fprintf(file, " %02X", byte);
                std::fprintf(file, "\n");
                std::fclose(file);
            }
        }
        state_->sent.push_back(std::move(entry));
    }

    std::shared_ptr<State> state_;
    MidiHandle handle_;
};

class FakeBackend : public MidiBackend {
public:
    FakeBackend(std::shared_ptr<State> state, const std::vector<FakeMidiPort>* inputs,
                const std::vector<FakeMidiPort>* outputs)
        : state_(std::move(state)), inputs_(inputs), outputs_(outputs) {}

    std::vector<std::string> listInputs() override { return names(*inputs_); }
    std::vector<std::string> listOutputs() override { return names(*outputs_); }

    MidiResult inputName(unsigned index, const std::vector<std::string>& listed, std::string& name) override {
        return nameOf(*inputs_, index, listed, name);
    }
    MidiResult outputName(unsigned index, const std::vector<std::string>& listed, std::string& name) override {
        return nameOf(*outputs_, index, listed, name);
    }

    MidiResult openInput(unsigned index, const std::string& name, MidiReceiver receiver,
                         std::unique_ptr<MidiInputPort>& port) override {
        std::lock_guard lock(state_->mutex);
        state_->calls.push_back("inputOpen " + name);
        if (const FakeMidiPort* scripted = find(*inputs_, index, name); scripted == nullptr) {
            return midiBadDeviceId;
        } else if (scripted->failOpen != midiOk) {
            return scripted->failOpen;
        }
        const int serial = ++state_->lastSerial;
        state_->inputPorts.emplace(serial, std::make_pair(name, std::move(receiver)));
        port = std::make_unique<FakeInputPort>(state_, serial);
        return midiOk;
    }

    MidiResult openOutput(unsigned index, const std::string& name, MidiHandle handle,
                          std::unique_ptr<MidiOutputPort>& port) override {
        std::lock_guard lock(state_->mutex);
        state_->calls.push_back("outputOpen " + name);
        if (const FakeMidiPort* scripted = find(*outputs_, index, name); scripted == nullptr) {
            return midiBadDeviceId;
        } else if (scripted->failOpen != midiOk) {
            return scripted->failOpen;
        }
        ++state_->openOutputs;
        port = std::make_unique<FakeOutputPort>(state_, handle);
        return midiOk;
    }

    MidiResult injectedFailure(const char* call) override {
        std::lock_guard lock(state_->mutex);
        const int count = state_->callCounts[call]++;
        if (std::string(call) != "inputOpen" && std::string(call) != "outputOpen") state_->calls.push_back(call);
        for (const FakeMidiFailure& failure : state_->failures) {
            if (failure.call != call || count < failure.after) continue;
            if (failure.times < 0 || count < failure.after + failure.times) return failure.result;
        }
        return midiOk;
    }

private:
    static std::vector<std::string> names(const std::vector<FakeMidiPort>& ports) {
        std::vector<std::string> listed;
        for (const FakeMidiPort& port : ports) listed.push_back(port.name);
        return listed;
    }
    static MidiResult nameOf(const std::vector<FakeMidiPort>& ports, unsigned index,
                             const std::vector<std::string>& listed, std::string& name) {
        if (index >= listed.size()) return midiBadDeviceId;
        if (index < ports.size() && ports[index].failName != midiOk) return ports[index].failName;
        name = listed[index];
        return midiOk;
    }
    static const FakeMidiPort* find(const std::vector<FakeMidiPort>& ports, unsigned index, const std::string& name) {
        if (index < ports.size() && ports[index].name == name) return &ports[index];
        for (const FakeMidiPort& port : ports) {
            if (port.name == name) return &port;
        }
        return nullptr;
    }

    std::shared_ptr<State> state_;
    const std::vector<FakeMidiPort>* inputs_;
    const std::vector<FakeMidiPort>* outputs_;
};

std::mutex installedMutex;
std::shared_ptr<FakeBackend> installed;

std::vector<FakeMidiPort> portsFromEnvironment(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    std::string text = value != nullptr ? value : fallback;
    std::vector<FakeMidiPort> ports;
    std::stringstream stream(text);
    std::string name;
    while (std::getline(stream, name, ';')) {
        if (!name.empty()) ports.push_back({name});
    }
    return ports;
}

// A short message written as up to three hex bytes ("B0 07 40"), packed
// status first; 0 when the text holds none.
std::uint32_t packedFromHex(const char* text) {
    std::istringstream stream(text);
    std::uint32_t packed = 0;
    int shift = 0;
    for (std::string byte; shift < 24 && stream >> byte; shift += 8) {
        packed |= (static_cast<std::uint32_t>(std::strtoul(byte.c_str(), nullptr, 16)) & 0xFFu) << shift;
    }
    return packed;
}

// VELKARN_MIDI=fake: the fake and its scripted ports belong to the backend.
class EnvironmentFake : public MidiBackend {
public:
    EnvironmentFake()
        : inputs_(portsFromEnvironment("VELKARN_MIDI_FAKE_INPUTS", "Fake MIDI In 1;Fake MIDI In 2")),
          outputs_(portsFromEnvironment("VELKARN_MIDI_FAKE_OUTPUTS", "Fake MIDI Out 1;Fake MIDI Out 2")),
          state_(std::make_shared<State>()),
          backend_(state_, &inputs_, &outputs_) {
        if (const char* log = std::getenv("VELKARN_MIDI_FAKE_LOG"); log != nullptr) state_->logPath = log;
        if (const char* text = std::getenv("VELKARN_MIDI_FAKE_REPEAT"); text != nullptr) {
            const std::uint32_t packed = packedFromHex(text);
            if (packed != 0) repeater_ = std::thread([this, packed] { repeat(packed); });
        }
    }
    ~EnvironmentFake() override {
        {
            std::lock_guard lock(repeatMutex_);
            stopping_ = true;
        }
        repeatWake_.notify_all();
        if (repeater_.joinable()) repeater_.join();
    }
    std::vector<std::string> listInputs() override { return backend_.listInputs(); }
    std::vector<std::string> listOutputs() override { return backend_.listOutputs(); }
    MidiResult openInput(unsigned index, const std::string& name, MidiReceiver receiver,
                         std::unique_ptr<MidiInputPort>& port) override {
        return backend_.openInput(index, name, std::move(receiver), port);
    }
    MidiResult openOutput(unsigned index, const std::string& name, MidiHandle handle,
                          std::unique_ptr<MidiOutputPort>& port) override {
        return backend_.openOutput(index, name, handle, port);
    }

private:
    void repeat(std::uint32_t packed) {
        std::unique_lock wait(repeatMutex_);
        while (!repeatWake_.wait_for(wait, std::chrono::milliseconds(100), [this] { return stopping_; })) {
            std::lock_guard lock(state_->mutex);
            for (auto& [serial, port] : state_->inputPorts) port.second(packed);
        }
    }

    std::vector<FakeMidiPort> inputs_;
    std::vector<FakeMidiPort> outputs_;
    std::shared_ptr<State> state_;
    FakeBackend backend_;
    std::mutex repeatMutex_;
    std::condition_variable repeatWake_;
    bool stopping_ = false;
    std::thread repeater_;
};

}  // namespace

std::shared_ptr<MidiBackend> installedFakeMidiBackend() {
    std::lock_guard lock(installedMutex);
    return installed;
}

std::unique_ptr<MidiBackend> makeEnvironmentFakeMidiBackend() { return std::make_unique<EnvironmentFake>(); }

FakeMidi::FakeMidi() : state_(std::make_shared<State>()) {
    std::lock_guard lock(installedMutex);
    installed = std::make_shared<FakeBackend>(state_, &inputs, &outputs);
}

FakeMidi::~FakeMidi() {
    std::lock_guard lock(installedMutex);
    installed.reset();
}

void FakeMidi::fail(const FakeMidiFailure& failure) {
    std::lock_guard lock(state_->mutex);
    state_->failures.push_back(failure);
}

int FakeMidi::inject(const std::string& inputName, std::uint32_t packed) {
    std::lock_guard lock(state_->mutex);
    int reached = 0;
    for (auto& [serial, port] : state_->inputPorts) {
        if (port.first != inputName) continue;
        port.second(packed);
        ++reached;
    }
    return reached;
}

std::vector<FakeMidiSent> FakeMidi::sent() const {
    std::lock_guard lock(state_->mutex);
    return state_->sent;
}

void FakeMidi::clearSent() {
    std::lock_guard lock(state_->mutex);
    state_->sent.clear();
}

std::vector<std::string> FakeMidi::calls() const {
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

int FakeMidi::openInputs() const {
    std::lock_guard lock(state_->mutex);
    return static_cast<int>(state_->inputPorts.size());
}

int FakeMidi::openOutputs() const {
    std::lock_guard lock(state_->mutex);
    return state_->openOutputs;
}

}  // namespace platform::midi
