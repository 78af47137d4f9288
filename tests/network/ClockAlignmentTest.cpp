// Clock alignment over an in-process pair: the server answers from fake
// application A, the client aligns fake application B, whose clock runs
// DELTA samples ahead of A's. Each fake has its own mutex.
#include "NetworkTestSupport.h"

#include "framework/StringException.h"
#include "network/NetworkCommands.h"
#include "network/TrackInfoClient.h"

#include <algorithm>
#include <cmath>
#include <random>

using namespace network_testing;

namespace {

constexpr std::int64_t delta = 1234567;
const AddressIPv4 loopback(platform::Ipv4Bytes{127, 0, 0, 1});

// Forwards one connection to the server, delaying each request 5 ms +- 2 ms
// and holding the chosen TIME requests (counted from 1) 300 ms.
class LatencyProxy {
public:
    LatencyProxy(int serverPort, std::vector<int> held) : held_(std::move(held)) {
        listening_ = platform::openTcpSocket();
        EXPECT_EQ(platform::bindToAnyAddress(listening_, 0), 0);
        EXPECT_EQ(platform::listenOn(listening_, 1), 0);
        EXPECT_EQ(platform::localPort(listening_, port_), 0);
        accepting_ = std::thread([this, serverPort] {
            client_ = platform::acceptConnection(listening_);
            server_ = platform::openTcpSocket();
            EXPECT_EQ(platform::connectTo(server_, loopback.bytes(), serverPort, 5000), 0);
            upstream_ = std::thread([this] { forwardRequests(); });
            downstream_ = std::thread([this] { copy(server_, client_); });
        });
    }
    ~LatencyProxy() {
        accepting_.join();
        platform::shutdownSocket(client_);
        platform::shutdownSocket(server_);
        upstream_.join();
        downstream_.join();
        for (auto handle : {listening_, client_, server_}) platform::closeSocket(handle);
    }
    int port() const { return port_; }

private:
    void forwardRequests() {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> spread(3, 7);
        std::string data;
        char buffer[65536];
        int times = 0;
        for (;;) {
            const long count = platform::receiveBytes(client_, buffer, sizeof buffer);
            if (count <= 0) break;
            data.append(buffer, static_cast<std::size_t>(count));
            std::size_t zero;
            while ((zero = data.find('\0')) != std::string::npos) {
                const std::string message = data.substr(0, zero + 1);
                data.erase(0, zero + 1);
                int delayMs = spread(random);
                if (message.compare(0, 9, "QRTMATIME") == 0 &&
                    std::find(held_.begin(), held_.end(), ++times) != held_.end()) {
                    delayMs = 300;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                platform::sendBytes(server_, message.data(), message.size());
            }
        }
        platform::shutdownSocket(server_);
    }
    static void copy(platform::SocketHandle from, platform::SocketHandle to) {
        char buffer[65536];
        for (;;) {
            const long count = platform::receiveBytes(from, buffer, sizeof buffer);
            if (count <= 0) break;
            platform::sendBytes(to, buffer, static_cast<std::size_t>(count));
        }
        platform::shutdownSocket(to);
    }

    std::vector<int> held_;
    int port_ = 0;
    platform::SocketHandle listening_ = platform::invalidSocket;
    platform::SocketHandle client_ = platform::invalidSocket;
    platform::SocketHandle server_ = platform::invalidSocket;
    std::thread accepting_, upstream_, downstream_;
};

// A grid of `count` equal beats on each side.
struct Pair {
    Pair(std::int64_t aStart, std::int32_t aLength, std::int64_t bStart, std::int32_t bLength)
        : a(0, origin, 0, 4000, aStart, aLength), b(delta, origin, 0, 4000, bStart, bLength), tic(b) {
        server.start();
    }
    // Freezes both clocks `left` samples before B's current beat (index
    // currentBeat, B's grid starting at 0) ends.
    static constexpr int currentBeat = 1000;
    void freezeWithLeft(std::int32_t bLength, std::int64_t left) {
        const std::int64_t nowB = (currentBeat + 1) * static_cast<std::int64_t>(bLength) - left;
        b.freezeAt(nowB);
        a.freezeAt(nowB - delta);
    }
    // Connects the client (through a proxy when given a port).
    void connect(int port = 0) {
        client.setPort(port == 0 ? server.boundPort() : port);
        ASSERT_TRUE(client.connect(loopback));
        tic.setNetworkClient(&client);
    }
    ~Pair() {
        client.disconnect();
        server.stop();
    }
    const FakeHost::Origin origin = std::chrono::steady_clock::now();
    FakeHost a;
    FakeHost b;
    CommandServer serverListener{a};
    NetworkServer server{serverListener, 0};
    QuietClientListener clientListener;
    NetworkClient client{clientListener, 0};
    TrackInfoClient tic;
};

class ClockAlignment : public NetworkTest {};

// The offset's error bound: half the slowest exchange counted, plus the
// whole millisecond the clock reads, in samples.
std::int64_t allowance(std::int64_t roundTripMs) { return (roundTripMs / 2 + 1) * 441 / 10 + 1; }

TEST_F(ClockAlignment, MeasuresTheOffsetBetweenRunningClocks) {
    Pair pair(0, 22050, 0, 22050);
    pair.connect();
    pair.tic.synchronize();
    ASSERT_TRUE(pair.tic.isSynchronized());
    const auto trips = pair.tic.roundTripsMs();
    ASSERT_EQ(trips.size(), 11u);
    const std::int64_t longest = *std::max_element(trips.begin(), trips.end());
    EXPECT_LE(std::llabs(pair.tic.timeOffset() - delta), allowance(longest));

    // Remote beat i is A's beat i - beat offset, moved onto B's clock.
    const TrackBeat first = pair.tic.firstBeat();
    for (int i = first.index + 1; i < first.index + 6; ++i) {
        bool answered = false;
        const TrackBeat remote = pair.tic.remoteBeat(i, answered);
        ASSERT_TRUE(answered) << i;
        const TrackBeat server = pair.a.gridBeat(i - pair.tic.beatOffset());
        EXPECT_EQ(remote.index, i);
        EXPECT_EQ(remote.position, server.position + pair.tic.timeOffset());
        EXPECT_LE(std::llabs(remote.position - (server.position + delta)), allowance(longest));
        EXPECT_EQ(remote.length, server.length);
        // And the beat that plays at its middle is the same one.
        const int index = pair.tic.remoteBeatIndexAt(remote.position + remote.length / 2, answered);
        EXPECT_TRUE(answered);
        EXPECT_EQ(index, i);
    }
}

TEST_F(ClockAlignment, TheMedianIgnoresHeldExchanges) {
    Pair pair(0, 22050, 0, 22050);
    LatencyProxy proxy(pair.server.boundPort(), {3, 8});
    pair.connect(proxy.port());
    pair.tic.synchronize();
    auto trips = pair.tic.roundTripsMs();
    ASSERT_EQ(trips.size(), 11u);
    std::sort(trips.begin(), trips.end());
    EXPECT_GE(trips[9], 300);  // the two held exchanges
    EXPECT_LT(trips[8], 300);
    // Bounded by the ordinary exchanges alone; a held one would be off by
    // some 6600 samples.
    EXPECT_LE(std::llabs(pair.tic.timeOffset() - delta), allowance(trips[8]));
}

struct BeatCase {
    const char* name;
    std::int64_t left;       // samples left of B's current beat
    std::int64_t phase;      // A's beats start this far after B's, on B's clock
    int firstAfterCurrent;   // 1: the next beat, 2: the one after
    int beatOffset;
};

TEST_F(ClockAlignment, PicksTheFirstBeatAndTheNearestServerBeat) {
    constexpr std::int32_t length = 44100;
    const std::vector<BeatCase> cases = {
        {"0.6 s left, server beat starts late", 26460, length / 4, 1, 0},
        {"0.4 s left, server beat starts late", 17640, length / 4, 2, 0},
        {"0.6 s left, server beat started early", 26460, 3 * length / 4, 1, 1},
        {"0.4 s left, server beat started early", 17640, 3 * length / 4, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // B's grid starts at 0; A's beat j lies at phase + j * length on
        // B's clock.
        Pair pair(c.phase - delta, length, 0, length);
        pair.freezeWithLeft(length, c.left);
        pair.connect();
        pair.tic.synchronize();
        const TrackBeat first = pair.tic.firstBeat();
        EXPECT_EQ(first.index, Pair::currentBeat + c.firstAfterCurrent);
        EXPECT_EQ(first.position, pair.b.gridBeat(first.index).position);
        EXPECT_EQ(pair.tic.beatOffset(), c.beatOffset);
        // The first beat lasts until the next server beat starts.
        const TrackBeat next = pair.a.gridBeat(first.index - c.beatOffset + 1);
        EXPECT_EQ(first.length, next.position + pair.tic.timeOffset() - first.position);
    }
}

// Grids about half a beat apart: the server beat nearest the first beat
// leaves it too short at a quick tempo or too long at a slow one, so the
// first beat ends one server beat later or earlier. Both tempos stay put,
// so failing here would fail on every try.
TEST_F(ClockAlignment, GridsHalfABeatApartSynchroniseAtAnyTempoInRange) {
    struct Case {
        const char* name;
        std::int32_t length;    // both grids' beat length
        std::int64_t left;      // samples left of B's current beat
        std::int64_t phase;     // A's beats start this far after B's, on B's clock
        int firstAfterCurrent;
        int beatOffset;
        std::int64_t firstLength;
    };
    const std::vector<Case> cases = {
        // The nearest server beat starts 0.48 beat before B's: it ends 11466
        // samples in, shorter than a beat at 220 per minute (12027).
        {"120 per minute, 0.48 beat apart", 22050, 17640, 11466, 2, 0, 11466 + 22050},
        {"174 per minute, 0.4 beat apart", 15207, 7000, 9125, 2, 0, 9125 + 15207},
        // The nearest server beat starts 0.4 beat after B's and ends 70000
        // samples in, longer than a beat at 40 per minute (66150).
        {"52.9 per minute, 0.4 beat apart", 50000, 26460, 20000, 1, 1, 20000},
        // In range as found: left as it is.
        {"120 per minute, 0.45 beat apart", 22050, 17640, 12128, 2, 1, 12128},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pair pair(c.phase - delta, c.length, 0, c.length);
        pair.freezeWithLeft(c.length, c.left);
        pair.connect();
        pair.tic.synchronize();
        const TrackBeat first = pair.tic.firstBeat();
        EXPECT_EQ(first.index, Pair::currentBeat + c.firstAfterCurrent);
        EXPECT_EQ(pair.tic.beatOffset(), c.beatOffset);
        // The clocks' offset is measured, not known.
        const auto trips = pair.tic.roundTripsMs();
        EXPECT_LE(std::llabs(first.length - c.firstLength), allowance(*std::max_element(trips.begin(), trips.end())));
        const TrackBeat next = pair.a.gridBeat(first.index - c.beatOffset + 1);
        EXPECT_EQ(first.length, next.position + pair.tic.timeOffset() - first.position);
        // The beat after it is the server's, at the server's length.
        bool answered = false;
        const TrackBeat second = pair.tic.remoteBeat(first.index + 1, answered);
        ASSERT_TRUE(answered);
        EXPECT_EQ(second.position, first.position + first.length);
        EXPECT_EQ(second.length, c.length);
    }
}

TEST_F(ClockAlignment, ABeatFasterThan220PerMinuteFails) {
    Pair pair(-delta, 10000, 0, 44100);
    pair.freezeWithLeft(44100, 44000);
    pair.connect();
    try {
        pair.tic.synchronize();
        ADD_FAILURE() << "synchronised";
    } catch (const StringException& error) {
        EXPECT_STREQ(error.what(), "Cannot connect. Cannot synchronize. Try again.");
    }
    EXPECT_FALSE(pair.tic.isSynchronized());
    bool answered = true;
    pair.tic.remoteBeat(1100, answered);
    EXPECT_FALSE(answered);
}

TEST_F(ClockAlignment, AnswersInsideTheFirstBeatCostNoRequest) {
    Pair pair(0, 22050, 0, 22050);
    pair.connect();
    pair.tic.synchronize();
    const TrackBeat first = pair.tic.firstBeat();
    const int before = pair.serverListener.requests();
    bool answered = false;
    struct Case {
        std::int64_t time;
        bool answered;
        int requests;  // added
    };
    const std::vector<Case> cases = {
        {first.position - 1, false, 0},
        {first.position, true, 0},
        {first.position + first.length - 1, true, 0},
        {first.position + first.length, true, 1},
    };
    int expected = before;
    for (const auto& c : cases) {
        const int index = pair.tic.remoteBeatIndexAt(c.time, answered);
        EXPECT_EQ(answered, c.answered) << c.time;
        if (c.answered) {
            EXPECT_EQ(index, c.time < first.position + first.length ? first.index : first.index + 1);
        }
        expected += c.requests;
        EXPECT_EQ(pair.serverListener.requests(), expected) << c.time;
    }
    // The first beat itself and earlier ones cost nothing either.
    pair.tic.remoteBeat(first.index, answered);
    EXPECT_TRUE(answered);
    pair.tic.remoteBeat(first.index - 1, answered);
    EXPECT_FALSE(answered);
    EXPECT_EQ(pair.serverListener.requests(), expected);

    pair.tic.detach();
    EXPECT_FALSE(pair.tic.isSynchronized());
    pair.tic.remoteBeatIndexAt(first.position + 5 * first.length, answered);
    EXPECT_FALSE(answered);
    pair.tic.remoteBeat(first.index + 5, answered);
    EXPECT_FALSE(answered);
    EXPECT_EQ(pair.serverListener.requests(), expected);
}

TEST_F(ClockAlignment, MisuseStopsThroughTheFatalPath) {
    FakeHost host(0, std::chrono::steady_clock::now(), 0, 100, 0, 22050);
    TrackInfoClient tic(host);
    struct Case {
        const char* name;
        std::function<void()> call;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"synchronize without a client", [&] { tic.synchronize(); }, "NetworkClient not yet set."},
        {"detach without a client", [&] { tic.detach(); }, "NetworkClient not yet set."},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.name;
        } catch (const FatalStop& stop) {
            EXPECT_STREQ(stop.what(), c.message) << c.name;
        }
    }
    Pair pair(0, 22050, 0, 22050);
    pair.connect();
    pair.tic.synchronize();
    try {
        pair.tic.synchronize();
        ADD_FAILURE() << "synchronised twice";
    } catch (const FatalStop& stop) {
        EXPECT_STREQ(stop.what(), "Already connected.");
    }
    EXPECT_TRUE(pair.tic.isSynchronized());
}

// A scripted server: TIME, PIB and GB answered so that the client aligns
// with beat offset 0 and time offset DELTA; afterwards the answers to the
// questions below come from the case.
TEST_F(ClockAlignment, UnbelievableAnswersCountAsNotAnswered) {
    constexpr std::int32_t length = 44100;
    constexpr int current = 1000;
    const std::int64_t nowB = current * static_cast<std::int64_t>(length) + 100;
    struct Case {
        const char* name;
        std::string question;  // "PIB" or "GB"
        std::int64_t asked;    // local time or local index
        std::string answer;
        bool answered;
        std::int64_t value;  // expected index or position
    };
    const int first = current + 1;
    const std::int64_t firstPosition = first * static_cast<std::int64_t>(length);
    const std::int64_t later = firstPosition + 10 * static_cast<std::int64_t>(length);  // 10 beats on
    // A server position that is the given local position on the clock as
    // measured: the answer is written once the offset is known, so that the
    // limits hold to the sample whatever the measurement's latency.
    auto server = [](std::int64_t localPosition) { return "@" + std::to_string(localPosition); };
    const std::vector<Case> cases = {
        {"index", "PIB", later, std::to_string(first + 10), true, first + 10},
        {"index with trailing text", "PIB", later, std::to_string(first + 10) + " beats", true, first + 10},
        {"not a number", "PIB", later, "many", false, 0},
        {"empty", "PIB", later, "", false, 0},
        {"below the first beat", "PIB", later, std::to_string(first - 1), false, 0},
        // Ten beats of 44100 frames hold at most 36 beats of 12027.
        {"at the limit", "PIB", later, std::to_string(first + 10 * length / 12027 + 1), true,
         first + 10 * length / 12027 + 1},
        {"beyond the limit", "PIB", later, std::to_string(first + 10 * length / 12027 + 2), false, 0},
        {"overflowing", "PIB", later, "2147483648", false, 0},
        {"beat", "GB", first + 10, server(later) + " 44100", true, later},
        {"shortest beat", "GB", first + 10, server(later) + " 12027", true, later},
        {"longest beat", "GB", first + 10, server(later) + " 66150", true, later},
        {"too short", "GB", first + 10, server(later) + " 12026", false, 0},
        {"too long", "GB", first + 10, server(later) + " 66151", false, 0},
        {"one number", "GB", first + 10, server(later), false, 0},
        {"not numbers", "GB", first + 10, "x y", false, 0},
        {"position too early", "GB", first + 10, server(firstPosition + 10 * 12027 - 1) + " 44100", false, 0},
        {"earliest position", "GB", first + 10, server(firstPosition + 10 * 12027) + " 44100", true,
         firstPosition + 10 * 12027},
        {"latest position", "GB", first + 10, server(firstPosition + 10 * 66150) + " 44100", true,
         firstPosition + 10 * 66150},
        {"position too late", "GB", first + 10, server(firstPosition + 10 * 66150 + 1) + " 44100", false, 0},
        {"huge position", "GB", first + 10, "9223372036854775807 44100", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pair pair(0, length, 0, length);
        pair.b.freezeAt(nowB);
        std::atomic<bool> aligned{false};
        std::atomic<std::int64_t> measured{0};
        auto written = [&measured](const std::string& answer) {
            if (answer.empty() || answer[0] != '@') return answer;
            const std::size_t end = answer.find(' ');
            const std::int64_t local = std::stoll(answer.substr(1, end - 1));
            return std::to_string(local - measured.load()) + (end == std::string::npos ? "" : answer.substr(end));
        };
        pair.serverListener.script = [&](const std::string& text) -> std::string {
            if (text == "TIME") return std::to_string(nowB - delta);
            if (!aligned) {
                if (text.rfind("PIB", 0) == 0) return std::to_string(first);
                if (text == "GB" + std::to_string(first)) return std::to_string(firstPosition - delta) + " 44100";
                if (text == "GB" + std::to_string(first + 1)) return std::to_string(firstPosition + length - delta) + " 44100";
                return "";
            }
            return text.rfind(c.question, 0) == 0 ? written(c.answer) : "";
        };
        pair.connect();
        pair.tic.synchronize();
        ASSERT_EQ(pair.tic.beatOffset(), 0);
        measured = pair.tic.timeOffset();
        aligned = true;
        bool answered = !c.answered;
        if (c.question == "PIB") {
            const int index = pair.tic.remoteBeatIndexAt(c.asked, answered);
            EXPECT_EQ(answered, c.answered);
            if (c.answered) {
                EXPECT_EQ(index, c.value);
            }
        } else {
            const TrackBeat beat = pair.tic.remoteBeat(static_cast<int>(c.asked), answered);
            EXPECT_EQ(answered, c.answered);
            EXPECT_EQ(beat.index, c.asked);
            if (c.answered) {
                EXPECT_EQ(beat.position, c.value);
            }
        }
    }
}

}  // namespace
