// The text commands, answered over a fake application.
#include "NetworkTestSupport.h"

#include "network/NetworkCommands.h"

#include <cinttypes>
#include <limits>

using namespace network_testing;

namespace {

class Commands : public NetworkTest {
protected:
    // A grid of 300 beats of 22050 frames from beat 0 at frame 0; the clock
    // stands in beat 105.
    static constexpr std::int32_t length = 22050;
    static constexpr std::int64_t now = 105 * static_cast<std::int64_t>(length) + 7;
    FakeHost host{0, std::chrono::steady_clock::now(), 0, 300, 0, length};
    ChatLine chat;
    NetworkCommands commands{host, chat};
    const AddressIPv4 peer{platform::Ipv4Bytes{10, 0, 0, 7}};

    void SetUp() override {
        NetworkTest::SetUp();
        host.freezeAt(now);
    }
    static std::string beatReply(std::int64_t index) {
        return std::to_string(index * length) + " " + std::to_string(length);
    }
};

struct ServerCase {
    std::string request;
    std::string reply;
    const char* logged;  // the log line's ending, or nullptr for none
};

TEST_F(Commands, ServerAnswersFromTheApplication) {
    const std::string unknown = "Unknown command received.";
    const std::vector<ServerCase> cases = {
        {"TIME", std::to_string(now), nullptr},
        {"TIMEx", std::to_string(now), nullptr},
        {"IBEAT", "105", nullptr},
        {"IBEATxyz", "105", nullptr},
        {"PIB" + std::to_string(12 * length), "12", nullptr},
        {"PIB " + std::to_string(13 * length - 1) + "x", "12", nullptr},
        {"PIB+0", "0", nullptr},
        {"GB12", beatReply(12), nullptr},
        {"GB 12", beatReply(12), nullptr},
        {"GB12x", beatReply(12), nullptr},
        {"GB299", beatReply(299), nullptr},
        {"GB300", "", "Beat outside the held beats received: GB300"},
        {"GB-1", "", "Beat outside the held beats received: GB-1"},
        {"GB99999999", "", "Beat outside the held beats received: GB99999999"},
        {"GB2147483648", "", "Malformed number received: GB2147483648"},
        {"GB-", "", "Malformed number received: GB-"},
        {"GB", "", "Malformed number received: GB"},
        {"PIB", "", "Malformed number received: PIB"},
        {"PIB-1", "", "Time outside the held beats received: PIB-1"},
        {"PIB9223372036854775807", "", "Time outside the held beats received: PIB9223372036854775807"},
        {"PIB9223372036854775808", "", "Malformed number received: PIB9223372036854775808"},
        {"PIB-9223372036854775808", "", "Time outside the held beats received: PIB-9223372036854775808"},
        {"XYZ", "", "Unknown command received."},
        {"UPD5", "", "Unknown command received."},
        {"", "", "Unknown command received."},
        {"TAL", "", "Unknown command received."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        testing_support::clearLog();
        std::string reply = "untouched";
        commands.answerAsServer(peer, c.request, reply);
        EXPECT_EQ(reply, c.reply);
        const auto texts = testing_support::logTexts();
        if (c.logged == nullptr) {
            EXPECT_TRUE(texts.empty());
        } else {
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(logCount(c.logged), 1);
        }
    }
    EXPECT_TRUE(host.notifications().empty());
}

TEST_F(Commands, TalkFillsTheChatLineCutTo511Bytes) {
    struct Case {
        std::string text;
        std::string line;
    };
    const std::string prefix = "10.0.0.7 [client]: ";
    const std::string long600(600, 'w');
    const std::vector<Case> cases = {
        {"hello", prefix + "hello"},
        {"", prefix},
        {long600, (prefix + long600).substr(0, 511)},
    };
    for (const auto& c : cases) {
        std::string reply = "untouched";
        commands.answerAsServer(peer, "TALK" + c.text, reply);
        EXPECT_EQ(reply, "");
        EXPECT_EQ(chat.text(), c.line);
        EXPECT_LE(chat.text().size(), 511u);
    }
    EXPECT_EQ(host.notifications(), (std::vector<std::pair<int, int>>(3, {0, 0})));
}

TEST_F(Commands, ClientTakesTalkAndBeatUpdates) {
    struct Case {
        std::string request;
        int beatOffset;
        std::vector<std::pair<int, int>> notified;
        std::string chat;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"TALKhi", 0, {{0, 0}}, "[server]: hi", nullptr},
        {"UPD10", 0, {{2, 10}}, "", nullptr},
        {"UPD10", 7, {{2, 17}}, "", nullptr},
        {"UPD10", -10, {{2, 0}}, "", nullptr},
        {"UPD 299", 0, {{2, 299}}, "", nullptr},
        {"UPD10", -11, {}, "", "Beat update outside the held beats received: UPD10"},
        {"UPD300", 0, {}, "", "Beat update outside the held beats received: UPD300"},
        {"UPD2147483647", 1, {}, "", "Beat update outside the held beats received: UPD2147483647"},
        {"UPDx", 0, {}, "", "Malformed number received: UPDx"},
        {"TIME", 0, {}, "", "Unknown command received."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request + " offset " + std::to_string(c.beatOffset));
        testing_support::clearLog();
        FakeHost local{0, std::chrono::steady_clock::now(), 0, 300, 0, length};
        ChatLine line;
        NetworkCommands client(local, line);
        std::string reply = "untouched";
        client.answerAsClient(c.beatOffset, c.request, reply);
        EXPECT_EQ(reply, "");
        EXPECT_EQ(local.notifications(), c.notified);
        EXPECT_EQ(line.text(), c.chat);
        EXPECT_EQ(logCount(c.logged == nullptr ? "never logged" : c.logged), c.logged == nullptr ? 0 : 1);
        if (c.logged == nullptr) {
            EXPECT_TRUE(testing_support::logTexts().empty());
        }
    }
}

TEST_F(Commands, ConnectionStatesInTheChatLine) {
    commands.clientLeft(peer);
    EXPECT_EQ(chat.text(), "10.0.0.7 [client] <closed>");
    commands.serverLeft();
    EXPECT_EQ(chat.text(), "[server] <closed>");
    EXPECT_EQ(host.notifications(), (std::vector<std::pair<int, int>>(2, {0, 0})));
}

TEST_F(Commands, NumbersAreReadAsScanfReadsThem) {
    struct Case {
        const char* text;
        bool is64;
        std::int64_t value;
    };
    const std::int64_t max64 = std::numeric_limits<std::int64_t>::max();
    const std::int64_t min64 = std::numeric_limits<std::int64_t>::min();
    const std::vector<Case> cases = {
        {"0", true, 0}, {"  42", true, 42}, {"\t-7x", true, -7}, {"+5 6", true, 5},
        {"9223372036854775807", true, max64}, {"-9223372036854775808", true, min64},
    };
    for (const auto& c : cases) {
        std::int64_t value = -1;
        EXPECT_TRUE(NetworkCommands::parseInt64(c.text, value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
        // scanf's own reading agrees wherever it does not overflow.
        long long reference = 0;
        EXPECT_EQ(std::sscanf(c.text, "%lld", &reference), 1);
        EXPECT_EQ(reference, c.value) << c.text;
    }
    for (const char* bad : {"", " ", "-", "+", "x1", "- 1", "9223372036854775808", "-9223372036854775809",
                            "99999999999999999999"}) {
        std::int64_t value = 123;
        EXPECT_FALSE(NetworkCommands::parseInt64(bad, value)) << bad;
        EXPECT_EQ(value, 123) << bad;
    }
    std::int32_t small = 0;
    EXPECT_TRUE(NetworkCommands::parseInt32("-2147483648", small));
    EXPECT_EQ(small, std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(NetworkCommands::parseInt32("2147483648", small));
    std::int64_t position = 0;
    std::int32_t beatLength = 0;
    EXPECT_TRUE(NetworkCommands::parseBeatReply("-44100 22050", position, beatLength));
    EXPECT_EQ(position, -44100);
    EXPECT_EQ(beatLength, 22050);
    EXPECT_FALSE(NetworkCommands::parseBeatReply("44100", position, beatLength));
    EXPECT_FALSE(NetworkCommands::parseBeatReply("44100 x", position, beatLength));
}

TEST_F(Commands, AddressesAreFourNumbersUpTo255) {
    struct Case {
        const char* text;
        const char* result;  // nullptr: refused
    };
    const std::vector<Case> cases = {
        {"10.0.0.7", "10.0.0.7"}, {"255.255.255.255", "255.255.255.255"}, {" 1. 2 .3.4 ", "1.2.3.4"},
        {"300.1.1.1", nullptr}, {"a.b.c.d", nullptr}, {"", nullptr}, {"1.2.3", nullptr},
        {"1.2.3.4.5", nullptr}, {"1.2.3.4x", nullptr}, {"-1.2.3.4", nullptr}, {"0001.2.3.4", nullptr},
    };
    for (const auto& c : cases) {
        AddressIPv4 address(platform::Ipv4Bytes{9, 9, 9, 9});
        EXPECT_EQ(AddressIPv4::parse(c.text, address), c.result != nullptr) << c.text;
        EXPECT_EQ(address.toString(), c.result != nullptr ? c.result : "9.9.9.9") << c.text;
    }
    // The int form: the low byte is the first number.
    EXPECT_EQ(AddressIPv4(platform::Ipv4Bytes{127, 0, 0, 1}).toInt(), 0x0100007Fu);
    EXPECT_EQ(AddressIPv4(0x0100007Fu).toString(), "127.0.0.1");
}

}  // namespace
