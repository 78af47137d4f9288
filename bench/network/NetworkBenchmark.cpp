// A TIME round trip over loopback through the link, against a bare TCP
// ping-pong of the same bytes on two plain threads; and the time a clock
// alignment takes (eleven exchanges 10 ms apart, then three beat queries).
#include "network/NetworkClient.h"
#include "network/NetworkCommands.h"
#include "network/NetworkServer.h"
#include "network/TrackInfoClient.h"
#include "platform/Sockets.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

const AddressIPv4 loopback(platform::Ipv4Bytes{127, 0, 0, 1});

// A clock at 44.1 samples per ms and a grid of 22050-frame beats from 0.
class SteadyHost : public NetworkHost {
public:
    float minimumTempo() override { return 40.0f; }
    float maximumTempo() override { return 220.0f; }
    std::int64_t currentSampleTime() override {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - origin_).count();
        return offset_ + us * 441 / 10000;
    }
    int currentBeatIndex() override { return static_cast<int>(currentSampleTime() / 22050); }
    TrackBeat beatAt(int index) override { return TrackBeat{index, index * 22050LL, 22050, 0.0f}; }
    bool tryBeatIndexAt(std::int64_t time, int& index) override {
        if (time < 0) return false;
        index = static_cast<int>(time / 22050);
        return true;
    }
    bool tryBeatAt(int index, TrackBeat& beat) override {
        if (index < 0) return false;
        beat = beatAt(index);
        return true;
    }
    void notifyMainWindow(int, int) override {}
    std::int64_t offset_ = 10000000;

private:
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

class Answers : public NetworkServerListener {
public:
    explicit Answers(NetworkHost& host) : commands_(host, chat_) {}
    void received(NetworkServer&, const AddressIPv4& peer, const std::string& text, std::string& reply) override {
        commands_.answerAsServer(peer, text, reply);
    }
    void disconnected(NetworkServer&, const AddressIPv4&) override {}
    void stopped(NetworkServer&) override {}

private:
    ChatLine chat_;
    NetworkCommands commands_;
};

class Quiet : public NetworkClientListener {
public:
    void disconnected(NetworkClient&) override {}
};

void timeRoundTrip(benchmark::State& state) {
    SteadyHost host;
    Answers answers(host);
    NetworkServer server(answers, 0);
    server.start();
    Quiet quiet;
    NetworkClient client(quiet, server.boundPort());
    client.connect(loopback);
    std::string reply;
    for (auto _ : state) {
        if (!client.request("TIME", reply)) state.SkipWithError("no reply");
        benchmark::DoNotOptimize(reply.data());
    }
}
BENCHMARK(timeRoundTrip)->UseRealTime();

// Reads one zero-terminated message; false when the peer closed. Each side
// sends one message per turn, so nothing follows the zero.
bool readMessage(platform::SocketHandle handle, std::string& message) {
    message.clear();
    char buffer[256];
    for (;;) {
        const long count = platform::receiveBytes(handle, buffer, sizeof buffer);
        if (count <= 0) return false;
        message.append(buffer, static_cast<std::size_t>(count));
        if (message.back() == '\0') return true;
    }
}

void barePingPong(benchmark::State& state) {
    const platform::SocketHandle listening = platform::openTcpSocket();
    int port = 0;
    platform::bindToAnyAddress(listening, 0);
    platform::listenOn(listening, 1);
    platform::localPort(listening, port);
    const std::string request("QRTMATIME\0", 10);
    const std::string answer("QRTRA10000000\0", 14);
    std::thread echo([&] {
        const platform::SocketHandle peer = platform::acceptConnection(listening);
        std::string message;
        while (readMessage(peer, message)) platform::sendBytes(peer, answer.data(), answer.size());
        platform::closeSocket(peer);
    });
    const platform::SocketHandle client = platform::openTcpSocket();
    platform::connectTo(client, loopback.bytes(), port, 5000);
    std::string message;
    for (auto _ : state) {
        platform::sendBytes(client, request.data(), request.size());
        if (!readMessage(client, message)) state.SkipWithError("no reply");
    }
    platform::shutdownSocket(client);
    echo.join();
    platform::closeSocket(client);
    platform::closeSocket(listening);
}
BENCHMARK(barePingPong)->UseRealTime();

void synchronize(benchmark::State& state) {
    SteadyHost server;
    SteadyHost local;
    local.offset_ = server.offset_ + 1234567;
    Answers answers(server);
    NetworkServer network(answers, 0);
    network.start();
    Quiet quiet;
    NetworkClient client(quiet, network.boundPort());
    client.connect(loopback);
    TrackInfoClient tic(local);
    tic.setNetworkClient(&client);
    for (auto _ : state) {
        tic.synchronize();
        state.PauseTiming();
        tic.detach();
        state.ResumeTiming();
    }
}
BENCHMARK(synchronize)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
