#include "NetworkTestSupport.h"

#include <fstream>
#include <sys/stat.h>

namespace network_testing {

int logCount(const std::string& message) {
    int count = 0;
    for (const auto& text : testing_support::logTexts()) {
        if (text.size() >= message.size() && text.compare(text.size() - message.size(), message.size(), message) == 0) {
            ++count;
        }
    }
    return count;
}

bool eventually(const std::function<bool()>& condition, int boundMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

LoopbackPair::LoopbackPair() {
    const platform::SocketHandle listening = platform::openTcpSocket();
    int port = 0;
    EXPECT_EQ(platform::bindToAnyAddress(listening, 0), 0);
    EXPECT_EQ(platform::listenOn(listening, 1), 0);
    EXPECT_EQ(platform::localPort(listening, port), 0);
    first = platform::openTcpSocket();
    EXPECT_EQ(platform::connectTo(first, {127, 0, 0, 1}, port, 5000), 0);
    second = platform::acceptConnection(listening);
    EXPECT_NE(second, platform::invalidSocket);
    platform::closeSocket(listening);
}

LoopbackPair::~LoopbackPair() {
    if (first != platform::invalidSocket) platform::closeSocket(first);
    if (second != platform::invalidSocket) platform::closeSocket(second);
}

std::vector<std::string> readRawMessages(platform::SocketHandle handle, std::size_t count) {
    std::vector<std::string> messages;
    std::string data;
    char buffer[65536];
    while (messages.size() < count) {
        const long received = platform::receiveBytes(handle, buffer, sizeof buffer);
        if (received <= 0) break;
        data.append(buffer, static_cast<std::size_t>(received));
        std::size_t zero;
        while (messages.size() < count && (zero = data.find('\0')) != std::string::npos) {
            messages.push_back(data.substr(0, zero));
            data.erase(0, zero + 1);
        }
    }
    return messages;
}

void RecordingPeer::received(Socket&, const std::string& text, std::string& reply) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
    }
    reply = answer(text);
}

void RecordingPeer::closed(Socket&) { closed_.fetch_add(1); }

std::vector<std::string> RecordingPeer::texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

void RecordingServerListener::received(NetworkServer&, const AddressIPv4&, const std::string& text,
                                       std::string& reply) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
    }
    reply = answer(text);
}

void RecordingServerListener::disconnected(NetworkServer&, const AddressIPv4& peer) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        peers_.push_back(peer);
    }
    disconnected_.fetch_add(1);
}

std::vector<std::string> RecordingServerListener::texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

std::vector<AddressIPv4> RecordingServerListener::peers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return peers_;
}

void RecordingClientListener::received(NetworkClient&, const std::string& text, std::string& reply) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
    }
    reply = answer(text);
}

std::vector<std::string> RecordingClientListener::texts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
}

FakeHost::FakeHost(std::int64_t base, Origin origin, int firstIndex, int beatCount, std::int64_t gridStart,
                   std::int32_t beatLength)
    : base_(base),
      origin_(origin),
      firstIndex_(firstIndex),
      beatCount_(beatCount),
      gridStart_(gridStart),
      beatLength_(beatLength) {}

std::int64_t FakeHost::currentSampleTime() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (frozen_ >= 0) return frozen_;
    const auto elapsed = std::chrono::steady_clock::now() - origin_;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    return base_ + us * 441 / 10000;
}

void FakeHost::freezeAt(std::int64_t sampleTime) {
    std::lock_guard<std::mutex> lock(mutex_);
    frozen_ = sampleTime;
}

TrackBeat FakeHost::gridBeat(int index) const {
    TrackBeat beat;
    beat.index = index;
    beat.position = gridStart_ + static_cast<std::int64_t>(index - firstIndex_) * beatLength_;
    beat.length = beatLength_;
    return beat;
}

int FakeHost::currentBeatIndex() {
    int index = 0;
    tryBeatIndexAt(currentSampleTime(), index);
    return index;
}

TrackBeat FakeHost::beatAt(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return gridBeat(index);
}

bool FakeHost::tryBeatIndexAt(std::int64_t sampleTime, int& index) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::int64_t end = gridStart_ + static_cast<std::int64_t>(beatCount_) * beatLength_;
    if (sampleTime < gridStart_ || sampleTime >= end) return false;
    index = firstIndex_ + static_cast<int>((sampleTime - gridStart_) / beatLength_);
    return true;
}

bool FakeHost::tryBeatAt(int index, TrackBeat& beat) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < firstIndex_ || index > firstIndex_ + beatCount_ - 1) return false;
    beat = gridBeat(index);
    return true;
}

void FakeHost::notifyMainWindow(int kind, int value) {
    std::lock_guard<std::mutex> lock(mutex_);
    notifications_.emplace_back(kind, value);
}

std::vector<std::pair<int, int>> FakeHost::notifications() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notifications_;
}

PythonPeer::PythonPeer(std::vector<std::string> arguments)
    : thread_([this, arguments] { output_ = testing_support::runPython("network/raw_peer.py", arguments); }) {}

PythonPeer::~PythonPeer() { output(); }

std::string PythonPeer::output() {
    if (!joined_) {
        thread_.join();
        joined_ = true;
    }
    return output_;
}

PythonServer::PythonServer() {
    const std::string portFile = directory_.file("port");
    peer_ = std::make_unique<PythonPeer>(std::vector<std::string>{"serve", portFile});
    struct stat status {};
    EXPECT_TRUE(eventually([&] { return ::stat(portFile.c_str(), &status) == 0; }));
    port_ = std::atoi(testing_support::readFile(portFile).c_str());
}

}  // namespace network_testing
