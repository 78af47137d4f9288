// Framing and the socket connection: message boundaries over a TCP stream,
// sizes, alien input, request and reply pairing, lifetime and sending.
#include "NetworkTestSupport.h"

#include "network/SocketList.h"
#include "platform/Thread.h"

#include <memory>
#include <sstream>

using namespace network_testing;

namespace {

class Framing : public NetworkTest {};

struct RawPeerCase {
    const char* scenario;
    const char* output;            // what the raw peer printed: each reply whole, zero left off
    std::vector<std::string> seen;  // requests the listener saw
    int aliens;                     // "received alien message." lines
    int binaries;                   // "Binary messages not yet supported." lines
    int disconnects;                // once the peer is gone
};

TEST_F(Framing, ServerReadsTheRawPeersStream) {
    const std::vector<RawPeerCase> cases = {
        {"split", "reply:QRTRAre:one\nreply:QRTRAre:two\nreply:QRTRAre:three\n", {"one", "two", "three"}, 0, 0, 1},
        {"merged", "reply:QRTRAre:one\nreply:QRTRAre:two\nreply:QRTRAre:three\n", {"one", "two", "three"}, 0, 0, 1},
        {"alien", "reply:QRTRAre:ping\n", {"ping"}, 1, 0, 1},
        {"unsolicited", "reply:QRTRAre:ping\n", {"ping"}, 1, 0, 1},
        {"binary", "reply:QRTRA\nreply:QRTRAre:ping\n", {"ping"}, 0, 1, 1},
        {"otherkind", "reply:QRTRAre:ping\n", {"ping"}, 1, 0, 1},
        {"nozero", "eof\n", {}, 1, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        testing_support::clearLog();
        RecordingServerListener listener;
        NetworkServer server(listener, 0);
        ASSERT_TRUE(server.start());
        PythonPeer peer({c.scenario, std::to_string(server.boundPort())});
        EXPECT_EQ(peer.output(), c.output);
        EXPECT_TRUE(eventually([&] { return listener.disconnectedCount() == c.disconnects; }));
        EXPECT_EQ(listener.texts(), c.seen);
        EXPECT_EQ(logCount("received alien message."), c.aliens);
        EXPECT_EQ(logCount("Binary messages not yet supported."), c.binaries);
        EXPECT_TRUE(server.isRunning());
        EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0; }));
    }
}

struct PiecesCase {
    const char* name;
    std::vector<std::string> pieces;  // sent one after the other
    std::vector<std::string> seen;
    int aliens;
};

TEST_F(Framing, MessagesAreTheBytesUpToEachZero) {
    using namespace std::string_literals;
    const std::vector<PiecesCase> cases = {
        {"four header bytes wait for the rest", {"QRTM", "Aping\0"s}, {"ping"}, 0},
        {"empty text", {"QRTMA\0"s}, {""}, 0},
        {"too short, then whole", {"QRT\0QRTMAx\0"s}, {"x"}, 1},
        {"foreign start", {"XYZMAabc\0"s, "QRTMAy\0"s}, {"y"}, 1},
        {"split inside the text", {"QRTMAab", "cd\0QRTMAe"s, "f\0"s}, {"abcd", "ef"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::clearLog();
        LoopbackPair pair;
        RecordingPeer peer;
        auto socket = std::make_unique<Socket>(pair.takeFirst(), peer);
        ASSERT_TRUE(socket->start());
        for (const auto& piece : c.pieces) {
            ASSERT_EQ(platform::sendBytes(pair.second, piece.data(), piece.size()), static_cast<long>(piece.size()));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto replies = readRawMessages(pair.second, c.seen.size());
        ASSERT_EQ(replies.size(), c.seen.size());
        for (std::size_t i = 0; i < c.seen.size(); ++i) EXPECT_EQ(replies[i], "QRTRAre:" + c.seen[i]);
        EXPECT_EQ(peer.texts(), c.seen);
        EXPECT_EQ(logCount("received alien message."), c.aliens);
        EXPECT_EQ(peer.closedCount(), 0);
    }
}

TEST_F(Framing, LargestMessageGoesAndOneMoreByteIsRefused) {
    PythonServer python;
    RecordingClientListener listener;
    NetworkClient client(listener, python.port());
    ASSERT_TRUE(client.connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
    std::string reply;
    // 5 header bytes + 65530 characters + the zero = 65536.
    const std::string largest = "len?" + std::string(65530 - 4, 'x');
    EXPECT_TRUE(client.request(largest, reply));
    EXPECT_EQ(reply, "len:65536");
    EXPECT_FALSE(client.request(largest + "x", reply));
    EXPECT_EQ(reply, "");
    EXPECT_EQ(logCount("Message too big to send."), 1);
    EXPECT_TRUE(client.request("after", reply));
    EXPECT_EQ(reply, "re:after");
    client.disconnect();
    EXPECT_EQ(python.output(), "requests:2\n");
    EXPECT_EQ(listener.disconnectedCount(), 0);
}

struct StaleCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> exchanges;  // request, reply ("" for a time-out)
};

TEST_F(Framing, LateRepliesNeverAnswerLaterRequests) {
    const std::vector<StaleCase> cases = {
        {"one late reply", {{"sleep:1500:first", ""}, {"second", "re:second"}, {"third", "re:third"}}},
        {"two time-outs", {{"sleep:1200:a", ""}, {"sleep:1200:b", ""}, {"c", "re:c"}, {"d", "re:d"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::clearLog();
        PythonServer python;
        RecordingClientListener listener;
        auto client = std::make_unique<NetworkClient>(listener, python.port());
        ASSERT_TRUE(client->connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
        for (const auto& [request, expected] : c.exchanges) {
            std::string reply = "untouched";
            EXPECT_EQ(client->request(request, reply), !expected.empty()) << request;
            EXPECT_EQ(reply, expected) << request;
        }
        // The late replies were dropped, not taken as unsolicited.
        EXPECT_EQ(logCount("received alien message."), 0);
        client.reset();  // returns: nothing waits without end
        EXPECT_EQ(python.output(), "requests:" + std::to_string(c.exchanges.size()) + "\n");
    }
}

TEST_F(Framing, OnlyThePeersCloseIsReported) {
    struct Case {
        const char* name;
        bool serverCloses;
    };
    for (const Case c : {Case{"client disconnects", false}, Case{"server stops", true}}) {
        SCOPED_TRACE(c.name);
        RecordingServerListener serverListener;
        RecordingClientListener clientListener;
        NetworkServer server(serverListener, 0);
        ASSERT_TRUE(server.start());
        NetworkClient client(clientListener, server.boundPort());
        ASSERT_TRUE(client.connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
        ASSERT_TRUE(eventually([&] { return server.connectionCount() == 1; }));
        if (c.serverCloses) {
            server.stop();
            EXPECT_TRUE(eventually([&] { return clientListener.disconnectedCount() == 1; }));
            EXPECT_FALSE(client.isConnected());
            EXPECT_EQ(serverListener.disconnectedCount(), 0);
        } else {
            client.disconnect();
            EXPECT_TRUE(eventually([&] { return serverListener.disconnectedCount() == 1; }));
            EXPECT_EQ(clientListener.disconnectedCount(), 0);
            ASSERT_EQ(serverListener.peers().size(), 1u);
            EXPECT_EQ(serverListener.peers()[0].toString(), "127.0.0.1");
        }
        EXPECT_TRUE(eventually([&] { return server.connectionCount() == 0; }));
        EXPECT_EQ(clientListener.disconnectedCount() + serverListener.disconnectedCount(), 1);
    }
}

bool refuseThreads() { return true; }

TEST_F(Framing, AThreadThatCannotStartFailsTheConnection) {
    RecordingServerListener listener;
    NetworkServer server(listener, 0);
    ASSERT_TRUE(server.start());
    platform::Thread::setStartFault(refuseThreads);

    // The client's own connection.
    RecordingClientListener clientListener;
    NetworkClient client(clientListener, server.boundPort());
    EXPECT_FALSE(client.connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
    EXPECT_FALSE(client.isConnected());
    // The server's side of a raw connection: closed at once.
    const platform::SocketHandle raw = platform::openTcpSocket();
    ASSERT_EQ(platform::connectTo(raw, {127, 0, 0, 1}, server.boundPort(), 5000), 0);
    char byte;
    EXPECT_EQ(platform::receiveBytes(raw, &byte, 1), 0);
    platform::closeSocket(raw);
    // A second server cannot start its accept thread.
    NetworkServer second(listener, 0);
    EXPECT_FALSE(second.start());
    EXPECT_FALSE(second.isRunning());
    platform::Thread::setStartFault(nullptr);

    EXPECT_GE(logCount("Thread creation failed."), 2);
    EXPECT_EQ(logCount("Could not create network server thread."), 1);
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(listener.disconnectedCount(), 0);
    EXPECT_EQ(clientListener.disconnectedCount(), 0);
    // With threads back, the server takes connections again.
    EXPECT_TRUE(client.connect(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1})));
    std::string reply;
    EXPECT_TRUE(client.request("again", reply));
    EXPECT_EQ(reply, "re:again");
}

TEST_F(Framing, TheListHas128Slots) {
    RecordingPeer peer;
    SocketList list;
    std::vector<Socket*> listed;
    for (int i = 0; i < SocketList::slotCount; ++i) {
        auto socket = std::make_unique<Socket>(platform::openTcpSocket(), peer);
        listed.push_back(socket.get());
        ASSERT_TRUE(list.add(socket));
        EXPECT_EQ(socket, nullptr);
    }
    auto extra = std::make_unique<Socket>(platform::openTcpSocket(), peer);
    EXPECT_FALSE(list.add(extra));
    EXPECT_NE(extra, nullptr);  // still the caller's
    EXPECT_FALSE(list.remove(extra.get()));
    EXPECT_FALSE(list.remove(nullptr));
    EXPECT_TRUE(list.remove(listed[40]));
    EXPECT_FALSE(list.remove(listed[40]));
    EXPECT_EQ(list.count(), 127);
    EXPECT_TRUE(list.add(extra));
    EXPECT_EQ(list.count(), 128);
    list.clear();
    EXPECT_EQ(list.count(), 0);
}

TEST_F(Framing, ConcurrentSendsArriveWhole) {
    LoopbackPair pair;
    RecordingPeer peer;
    Socket socket(pair.takeFirst(), peer);
    constexpr int perThread = 150;
    constexpr std::size_t size = 60000;
    std::vector<std::string> received;
    // The reader starts late, so that the buffers fill and sends block
    // part-way: there two unguarded senders would interleave.
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        received = readRawMessages(pair.second, 2 * perThread);
    });
    auto sendMany = [&](char letter) {
        for (int i = 0; i < perThread; ++i) EXPECT_TRUE(socket.send(std::string(size, letter), "QRTMA"));
    };
    std::thread a(sendMany, 'a');
    std::thread b(sendMany, 'b');
    a.join();
    b.join();
    reader.join();
    ASSERT_EQ(received.size(), 2u * perThread);
    int counts[2] = {0, 0};
    for (const auto& message : received) {
        ASSERT_EQ(message.size(), 5 + size);
        ASSERT_EQ(message.substr(0, 5), "QRTMA");
        const char letter = message[5];
        ASSERT_TRUE(letter == 'a' || letter == 'b');
        EXPECT_EQ(message.find_first_not_of(letter, 5), std::string::npos);
        ++counts[letter - 'a'];
    }
    EXPECT_EQ(counts[0], perThread);
    EXPECT_EQ(counts[1], perThread);
}

TEST_F(Framing, AFailedSendClosesTheConnection) {
    LoopbackPair pair;
    RecordingPeer peer;
    auto socket = std::make_unique<Socket>(pair.takeFirst(), peer);
    ASSERT_TRUE(socket->start());
    // The peer never reads: the buffers fill, a send times out part-way.
    const std::string big(60000, 'z');
    bool failed = false;
    for (int i = 0; i < 1000 && !failed; ++i) failed = !socket->send(big, "QRTMA");
    EXPECT_TRUE(failed);
    EXPECT_EQ(logCount("Could not sent all bytes."), 1);
    // The handler hears of the closed connection.
    EXPECT_TRUE(eventually([&] { return peer.closedCount() == 1; }));
    std::string reply;
    EXPECT_FALSE(socket->request("late", reply));
}

// A peer that floods requests and never reads: once a reply cannot be sent
// the connection is over, and the requests already received are neither
// answered nor each logged as another failed send.
TEST_F(Framing, AFailedSendEndsTheRequestsAlreadyReceived) {
    LoopbackPair pair;
    RecordingPeer peer;
    peer.answer = [](const std::string&) { return std::string(60000, 'r'); };
    const platform::SocketHandle flooder = pair.takeSecond();
    const int requests = 2000;
    std::string flood;
    for (int i = 0; i < requests; ++i) flood += std::string("QRTMATIME", 10);
    auto socket = std::make_unique<Socket>(pair.takeFirst(), peer);
    ASSERT_TRUE(socket->start());
    ASSERT_EQ(platform::sendBytes(flooder, flood.data(), flood.size()), static_cast<long>(flood.size()));
    EXPECT_TRUE(eventually([&] { return peer.closedCount() == 1; }));
    EXPECT_EQ(logCount("Could not sent all bytes."), 1);
    EXPECT_EQ(logCount("Cannot send after socket shutdown."), 0);
    EXPECT_LT(peer.texts().size(), static_cast<std::size_t>(requests / 2));
    socket.reset();
    platform::closeSocket(flooder);
}

}  // namespace
