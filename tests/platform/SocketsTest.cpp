#include "platform/SocketErrors.h"
#include "platform/Sockets.h"
#include "platform/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using platform::SocketHandle;

// A listening socket on a free loopback port.
struct Listener {
    Listener() {
        handle = platform::openTcpSocket();
        EXPECT_EQ(platform::setReuseAddress(handle), 0);
        EXPECT_EQ(platform::bindToAnyAddress(handle, 0), 0);
        EXPECT_EQ(platform::listenOn(handle, 5), 0);
        EXPECT_EQ(platform::localPort(handle, port), 0);
    }
    ~Listener() { platform::closeSocket(handle); }
    SocketHandle handle;
    int port = 0;
};

SocketHandle connectTo(int port) {
    const SocketHandle handle = platform::openTcpSocket();
    EXPECT_EQ(platform::connectTo(handle, {127, 0, 0, 1}, port, 5000), 0);
    return handle;
}

TEST(Sockets, BytesCrossAndAddressesAreRead) {
    Listener listener;
    const SocketHandle client = connectTo(listener.port);
    const SocketHandle server = platform::acceptConnection(listener.handle);
    ASSERT_NE(server, platform::invalidSocket);
    EXPECT_EQ(platform::sendBytes(client, "abc", 3), 3);
    char buffer[8] = {};
    EXPECT_EQ(platform::receiveBytes(server, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "abc");
    platform::Ipv4Bytes peer{};
    EXPECT_EQ(platform::peerAddress(server, peer), 0);
    EXPECT_EQ(peer, (platform::Ipv4Bytes{127, 0, 0, 1}));
    int sendSize = 0;
    int receiveSize = 0;
    EXPECT_EQ(platform::socketBufferSizes(server, sendSize, receiveSize), 0);
    EXPECT_GT(sendSize, 0);
    EXPECT_GT(receiveSize, 0);
    platform::closeSocket(client);
    EXPECT_EQ(platform::receiveBytes(server, buffer, sizeof buffer), 0);  // the peer closed
    platform::closeSocket(server);
}

TEST(Sockets, FailuresLeaveWinsockCodes) {
    int freePort = 0;
    {
        Listener gone;
        freePort = gone.port;
    }
    const SocketHandle refused = platform::openTcpSocket();
    EXPECT_EQ(platform::connectTo(refused, {127, 0, 0, 1}, freePort, 5000), -1);
    EXPECT_EQ(platform::lastSocketError(), 10061);
    platform::closeSocket(refused);

    // Writing to a peer that has gone gives an error, never SIGPIPE.
    Listener listener;
    const SocketHandle client = connectTo(listener.port);
    platform::closeSocket(platform::acceptConnection(listener.handle));
    long sent = 0;
    for (int i = 0; i < 100 && sent >= 0; ++i) {
        sent = platform::sendBytes(client, "x", 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(sent, -1);
    const int code = platform::lastSocketError();
    EXPECT_TRUE(code == 10058 || code == 10054) << code;  // broken pipe or reset
    platform::closeSocket(client);
}

TEST(Sockets, ShutdownWakesWaitingThreads) {
    Listener listener;
    SocketHandle accepted = 0;
    std::thread accepting([&] { accepted = platform::acceptConnection(listener.handle); });
    const SocketHandle client = connectTo(listener.port);
    accepting.join();
    ASSERT_NE(accepted, platform::invalidSocket);

    long received = 1;
    std::thread receiving([&] {
        char byte;
        received = platform::receiveBytes(accepted, &byte, 1);
    });
    std::thread waiting([&] { EXPECT_EQ(platform::acceptConnection(listener.handle), platform::invalidSocket); });
    EXPECT_EQ(platform::shutdownSocket(accepted), 0);
    EXPECT_EQ(platform::shutdownSocket(listener.handle), 0);
    receiving.join();
    waiting.join();
    EXPECT_EQ(received, 0);
    platform::closeSocket(accepted);
    platform::closeSocket(client);
}

TEST(Sockets, AThreadMayEndItsOwnOwner) {
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    auto* owner = new platform::Thread;
    ASSERT_TRUE(owner->start([&] {
        while (!started) std::this_thread::yield();
        EXPECT_TRUE(owner->isCurrent());
        delete owner;  // detaches instead of joining itself
        done = true;
    }));
    EXPECT_FALSE(owner->isCurrent());
    started = true;
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace
