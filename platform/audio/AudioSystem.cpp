#include "platform/audio/AudioSystem.h"

#include "platform/audio/AudioBackend.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform::audio {
namespace {

struct Lists {
    std::vector<std::unique_ptr<Endpoint>> owned;
    std::vector<Endpoint*> outputs;
    std::vector<Endpoint*> inputs;
    Endpoint* defaultOutput = nullptr;
    bool portAudio = false;
};

std::mutex listsMutex;
Lists* lists = nullptr;  // made on first use, kept until shutdownAudio

Lists& ensureLists() {
    std::lock_guard lock(listsMutex);
    if (lists != nullptr) return *lists;
    auto made = std::make_unique<Lists>();
    std::vector<std::unique_ptr<Endpoint>> outputs;
    std::vector<std::unique_ptr<Endpoint>> inputs;
    const char* choice = std::getenv("VELKARN_AUDIO");
    if (choice == nullptr || std::strcmp(choice, "null") != 0) {
        made->portAudio = startPortAudio(outputs, inputs);
    }
    for (auto& endpoint : outputs) {
        made->outputs.push_back(endpoint.get());
        made->owned.push_back(std::move(endpoint));
    }
    // startPortAudio puts its default output first when it has one.
    made->defaultOutput = made->outputs.empty() ? nullptr : made->outputs.front();
    auto null = makeNullEndpoint();
    made->outputs.push_back(null.get());
    if (made->defaultOutput == nullptr) made->defaultOutput = null.get();
    made->owned.push_back(std::move(null));
    for (auto& endpoint : inputs) {
        made->inputs.push_back(endpoint.get());
        made->owned.push_back(std::move(endpoint));
    }
    lists = made.release();
    return *lists;
}

}  // namespace

const std::vector<Endpoint*>& outputEndpoints() { return ensureLists().outputs; }
const std::vector<Endpoint*>& inputEndpoints() { return ensureLists().inputs; }
Endpoint& defaultOutputEndpoint() { return *ensureLists().defaultOutput; }

Endpoint* findOutputEndpoint(const Guid& guid) {
    for (Endpoint* endpoint : ensureLists().outputs) {
        if (endpoint->guid() == guid) return endpoint;
    }
    return nullptr;
}

Endpoint* findInputEndpoint(const Guid& guid) {
    for (Endpoint* endpoint : ensureLists().inputs) {
        if (endpoint->guid() == guid) return endpoint;
    }
    return nullptr;
}

void shutdownAudio() {
    std::lock_guard lock(listsMutex);
    if (lists == nullptr) return;
    const bool portAudio = lists->portAudio;
    delete lists;
    lists = nullptr;
    if (portAudio) stopPortAudio();
}

bool portAudioRunning() { return ensureLists().portAudio; }

}  // namespace platform::audio
