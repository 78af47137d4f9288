// Server and client: starting and stopping, the connection limit, lost
// servers and reconnection, broadcasts to peers that never answer.
#include "NetworkTestSupport.h"

#include <memory>

using namespace network_testing;

namespace {

class ServerClient : public NetworkTest {};

const AddressIPv4 loopback(platform::Ipv4Bytes{127, 0, 0, 1});

TEST_F(ServerClient, ASecondStartOpensNoSecondSocket) {
    RecordingServerListener listener;
    int port = 0;
    {
        NetworkServer server(listener, 0);
        ASSERT_TRUE(server.start());
        port = server.boundPort();
        EXPECT_TRUE(server.start());
        EXPECT_EQ(server.boundPort(), port);
        server.stop();
        EXPECT_FALSE(server.isRunning());
        // Nothing of the first server holds the port any more.
        NetworkServer again(listener, port);
        EXPECT_TRUE(again.start());
    }
    EXPECT_EQ(listener.stoppedCount(), 0);
}

TEST_F(ServerClient, The129thClientIsClosedAtOnce) {
    RecordingServerListener listener;
    NetworkServer server(listener, 0);
    ASSERT_TRUE(server.start());
    std::vector<platform::SocketHandle> raw;
    for (int i = 0; i < 128; ++i) {
        raw.push_back(platform::openTcpSocket());
        ASSERT_EQ(platform::connectTo(raw.back(), loopback.bytes(), server.boundPort(), 5000), 0);
        ASSERT_TRUE(eventually([&] { return server.connectionCount() == i + 1; }));
    }
    const platform::SocketHandle extra = platform::openTcpSocket();
    ASSERT_EQ(platform::connectTo(extra, loopback.bytes(), server.boundPort(), 5000), 0);
    char byte;
    EXPECT_EQ(platform::receiveBytes(extra, &byte, 1), 0);
    EXPECT_EQ(server.connectionCount(), 128);
    // The others are still served.
    const std::string request("QRTMAhi\0", 8);
    ASSERT_EQ(platform::sendBytes(raw[127], request.data(), request.size()), 8);
    EXPECT_EQ(readRawMessages(raw[127], 1), std::vector<std::string>{"QRTRAre:hi"});
    platform::closeSocket(extra);
    for (auto handle : raw) platform::closeSocket(handle);
    EXPECT_TRUE(eventually([&] { return listener.disconnectedCount() == 128; }));
    // A connection leaves the list after its listener heard of it.
    EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0; }));
}

TEST_F(ServerClient, StopTellsEveryClientButNotItsListener) {
    RecordingServerListener serverListener;
    NetworkServer server(serverListener, 0);
    ASSERT_TRUE(server.start());
    std::vector<std::unique_ptr<RecordingClientListener>> listeners;
    std::vector<std::unique_ptr<NetworkClient>> clients;
    for (int i = 0; i < 3; ++i) {
        listeners.push_back(std::make_unique<RecordingClientListener>());
        clients.push_back(std::make_unique<NetworkClient>(*listeners.back(), server.boundPort()));
        ASSERT_TRUE(clients.back()->connect(loopback));
    }
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 3; }));
    server.stop();
    EXPECT_FALSE(server.isRunning());
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(eventually([&] { return listeners[i]->disconnectedCount() == 1; })) << i;
        EXPECT_FALSE(clients[i]->isConnected());
    }
    EXPECT_EQ(serverListener.stoppedCount(), 0);
    EXPECT_EQ(serverListener.disconnectedCount(), 0);
}

TEST_F(ServerClient, AClientOutlivesItsServerAndReconnects) {
    RecordingServerListener serverListener;
    auto server = std::make_unique<NetworkServer>(serverListener, 0);
    ASSERT_TRUE(server->start());
    const int port = server->boundPort();
    RecordingClientListener listener;
    NetworkClient client(listener, port);
    ASSERT_TRUE(client.connect(loopback));
    EXPECT_TRUE(client.connect(loopback));  // already connected
    server.reset();
    EXPECT_TRUE(eventually([&] { return listener.disconnectedCount() == 1; }));
    EXPECT_FALSE(client.isConnected());
    std::string reply = "untouched";
    EXPECT_FALSE(client.request("nobody", reply));
    EXPECT_EQ(reply, "");
    EXPECT_FALSE(client.connect(loopback));  // nobody listens

    server = std::make_unique<NetworkServer>(serverListener, port);
    ASSERT_TRUE(server->start());
    ASSERT_TRUE(client.connect(loopback));
    EXPECT_TRUE(client.request("back", reply));
    EXPECT_EQ(reply, "re:back");
    EXPECT_EQ(listener.disconnectedCount(), 1);
}

TEST_F(ServerClient, SilentPeersCostOneTimeOutPerBroadcast) {
    RecordingServerListener serverListener;
    NetworkServer server(serverListener, 0);
    ASSERT_TRUE(server.start());
    // Five peers that never read nor answer, and one that answers.
    std::vector<platform::SocketHandle> silent;
    for (int i = 0; i < 5; ++i) {
        silent.push_back(platform::openTcpSocket());
        ASSERT_EQ(platform::connectTo(silent.back(), loopback.bytes(), server.boundPort(), 5000), 0);
    }
    RecordingClientListener listener;
    NetworkClient client(listener, server.boundPort());
    ASSERT_TRUE(client.connect(loopback));
    ASSERT_TRUE(eventually([&] { return server.connectionCount() == 6; }));

    const auto before = std::chrono::steady_clock::now();
    server.broadcast("TALKhello");
    const auto took = std::chrono::steady_clock::now() - before;
    // One shared deadline of a second; one per peer would be five.
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_EQ(listener.texts(), std::vector<std::string>{"TALKhello"});
    // Every silent peer got the whole request.
    for (auto handle : silent) EXPECT_EQ(readRawMessages(handle, 1), std::vector<std::string>{"QRTMATALKhello"});
    for (auto handle : silent) platform::closeSocket(handle);
}

TEST_F(ServerClient, StopWhileARequestIsInFlight) {
    RecordingServerListener serverListener;
    std::atomic<bool> answering{false};
    serverListener.answer = [&](const std::string& text) {
        answering = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return "re:" + text;
    };
    NetworkServer server(serverListener, 0);
    ASSERT_TRUE(server.start());
    RecordingClientListener listener;
    NetworkClient client(listener, server.boundPort());
    ASSERT_TRUE(client.connect(loopback));
    bool answered = true;
    std::string reply = "untouched";
    std::thread asking([&] { answered = client.request("slow", reply); });
    ASSERT_TRUE(eventually([&] { return answering.load(); }));
    server.stop();
    asking.join();
    EXPECT_FALSE(answered);
    EXPECT_EQ(reply, "");
    EXPECT_TRUE(eventually([&] { return listener.disconnectedCount() == 1; }));
    EXPECT_EQ(serverListener.stoppedCount(), 0);
}

}  // namespace
