// Shared by the network tests: the fixture, a connected loopback pair,
// recording peers and listeners, a fake application and the raw Python
// peer.
#ifndef VELKARN_TESTS_NETWORK_NETWORKTESTSUPPORT_H
#define VELKARN_TESTS_NETWORK_NETWORKTESTSUPPORT_H

#include "TestEnvironment.h"
#include "framework/Log.h"
#include "network/ChatLine.h"
#include "network/NetworkClient.h"
#include "network/NetworkCommands.h"
#include "network/NetworkHost.h"
#include "network/NetworkPeer.h"
#include "network/NetworkServer.h"
#include "platform/Sockets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace network_testing {

// Fatal stops throw FatalStop; the log starts empty.
class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        setFatalErrorHook(throwFatalStop);
        testing_support::clearLog();
    }
    void TearDown() override { setFatalErrorHook(nullptr); }
};

// The log entries whose text ends with this message.
int logCount(const std::string& message);

// Polls until the condition holds; false after the bound (a generous one:
// it only keeps a broken test from hanging).
bool eventually(const std::function<bool()>& condition, int boundMs = 10000);

// Two ends of one loopback TCP connection.
struct LoopbackPair {
    LoopbackPair();
    ~LoopbackPair();
    platform::SocketHandle takeFirst() { return std::exchange(first, platform::invalidSocket); }
    platform::SocketHandle takeSecond() { return std::exchange(second, platform::invalidSocket); }
    platform::SocketHandle first = platform::invalidSocket;
    platform::SocketHandle second = platform::invalidSocket;
};

// Reads raw bytes from a handle until `count` zero-terminated messages came
// or the peer closed.
std::vector<std::string> readRawMessages(platform::SocketHandle handle, std::size_t count);

// A socket handler that answers with a function and records what came.
class RecordingPeer : public NetworkPeer {
public:
    std::function<std::string(const std::string&)> answer = [](const std::string& text) { return "re:" + text; };
    void received(Socket& socket, const std::string& text, std::string& reply) override;
    void closed(Socket& socket) override;
    std::vector<std::string> texts() const;
    int closedCount() const { return closed_.load(); }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::atomic<int> closed_{0};
};

class RecordingServerListener : public NetworkServerListener {
public:
    std::function<std::string(const std::string&)> answer = [](const std::string& text) { return "re:" + text; };
    void received(NetworkServer&, const AddressIPv4& peer, const std::string& text, std::string& reply) override;
    void disconnected(NetworkServer&, const AddressIPv4& peer) override;
    void stopped(NetworkServer&) override { stopped_.fetch_add(1); }
    int disconnectedCount() const { return disconnected_.load(); }
    int stoppedCount() const { return stopped_.load(); }
    std::vector<std::string> texts() const;
    std::vector<AddressIPv4> peers() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::vector<AddressIPv4> peers_;
    std::atomic<int> disconnected_{0};
    std::atomic<int> stopped_{0};
};

class RecordingClientListener : public NetworkClientListener {
public:
    std::function<std::string(const std::string&)> answer = [](const std::string& text) { return "re:" + text; };
    void received(NetworkClient&, const std::string& text, std::string& reply) override;
    void disconnected(NetworkClient&) override { disconnected_.fetch_add(1); }
    int disconnectedCount() const { return disconnected_.load(); }
    std::vector<std::string> texts() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> texts_;
    std::atomic<int> disconnected_{0};
};

// An application whose sample clock runs at 44.1 samples per ms of the
// monotonic clock from `base`, with a grid of equal beats (beat i starts at
// gridStart + (i - firstIndex) * beatLength). Its own mutex guards it.
class FakeHost : public NetworkHost {
public:
    using Origin = std::chrono::steady_clock::time_point;
    FakeHost(std::int64_t base, Origin origin, int firstIndex, int beatCount, std::int64_t gridStart,
             std::int32_t beatLength);

    float minimumTempo() override { return 40.0f; }
    float maximumTempo() override { return 220.0f; }
    std::int64_t currentSampleTime() override;
    int currentBeatIndex() override;
    TrackBeat beatAt(int index) override;
    bool tryBeatIndexAt(std::int64_t sampleTime, int& index) override;
    bool tryBeatAt(int index, TrackBeat& beat) override;
    void notifyMainWindow(int kind, int value) override;

    // Freezes the clock at a sample time (nullopt-like: -1 lets it run).
    void freezeAt(std::int64_t sampleTime);
    // The grid's beat of an index, without bounds (for expectations).
    TrackBeat gridBeat(int index) const;
    std::vector<std::pair<int, int>> notifications() const;
    int lastIndex() const { return firstIndex_ + beatCount_ - 1; }

private:
    mutable std::mutex mutex_;
    std::int64_t base_;
    Origin origin_;
    std::int64_t frozen_ = -1;
    int firstIndex_;
    int beatCount_;
    std::int64_t gridStart_;
    std::int32_t beatLength_;
    std::vector<std::pair<int, int>> notifications_;
};

// A server's listener that answers with the commands over a fake
// application, or with a script, and counts the requests.
class CommandServer : public NetworkServerListener {
public:
    explicit CommandServer(NetworkHost& host) : commands_(host, chat_) {}
    void received(NetworkServer&, const AddressIPv4& peer, const std::string& text, std::string& reply) override {
        requests_.fetch_add(1);
        if (script) {
            reply = script(text);
            return;
        }
        commands_.answerAsServer(peer, text, reply);
    }
    void disconnected(NetworkServer&, const AddressIPv4&) override {}
    void stopped(NetworkServer&) override {}
    int requests() const { return requests_.load(); }
    // Replaces the commands' answers when set (set before requests come).
    std::function<std::string(const std::string&)> script;

private:
    ChatLine chat_;
    NetworkCommands commands_;
    std::atomic<int> requests_{0};
};

class QuietClientListener : public NetworkClientListener {
public:
    void disconnected(NetworkClient&) override {}
};

// Runs tests/network/raw_peer.py with the arguments on its own thread.
class PythonPeer {
public:
    explicit PythonPeer(std::vector<std::string> arguments);
    ~PythonPeer();
    // Waits for the script to end and returns what it printed.
    std::string output();

private:
    std::string output_;
    bool joined_ = false;
    std::thread thread_;  // last: it starts once the others exist
};

// Starts raw_peer.py as a server and waits for its port.
class PythonServer {
public:
    PythonServer();
    int port() const { return port_; }
    std::string output() { return peer_->output(); }

private:
    testing_support::TemporaryDirectory directory_;
    std::unique_ptr<PythonPeer> peer_;
    int port_ = 0;
};

}  // namespace network_testing

#endif
