// The receive side of the framing without a socket: pieces of a stream in,
// messages out.
#include "network/MessageReassembler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Kind = MessageReassembler::Kind;
using Strings = std::vector<std::string>;

struct Fed {
    Strings messages;
    std::size_t waiting = 0;
    bool more = true;
};

// Feeds the pieces in order, each copied into the free space as it fits.
Fed feed(MessageReassembler& assembler, const Strings& pieces) {
    Fed fed;
    for (const std::string& piece : pieces) {
        EXPECT_LE(piece.size(), assembler.room());
        piece.copy(assembler.space(), piece.size());
        fed.more = assembler.received(piece.size(), [&](const char* message, std::size_t length) {
            fed.messages.emplace_back(message, length);
        });
        if (!fed.more) break;
    }
    fed.waiting = assembler.waiting();
    return fed;
}

std::string z(const std::string& text) { return text + std::string(1, '\0'); }

TEST(MessageReassembler, MessagesAreTheBytesUpToEachZeroWhateverThePieces) {
    const std::string big(MessageReassembler::capacity - 1, 'x');
    struct Case {
        const char* name;
        Strings pieces;
        Strings messages;
        std::size_t waiting;
        bool more;
    };
    const Case cases[] = {
        {"one whole", {z("QRTMAping")}, {z("QRTMAping")}, 0, true},
        {"two in one piece", {z("QRTMAa") + z("QRTRAb")}, {z("QRTMAa"), z("QRTRAb")}, 0, true},
        {"split in the header", {"QR", z("TMAping")}, {z("QRTMAping")}, 0, true},
        {"byte by byte", {"Q", "R", "T", "M", "A", "x", std::string(1, '\0')}, {z("QRTMAx")}, 0, true},
        {"a tail waits", {z("QRTMAa") + "QRTM"}, {z("QRTMAa")}, 4, true},
        {"the tail completed later", {z("QRTMAa") + "QRTM", z("Ab") + "Q"}, {z("QRTMAa"), z("QRTMAb")}, 1, true},
        {"empty messages", {std::string(3, '\0')}, {z(""), z(""), z("")}, 0, true},
        {"nothing", {""}, {}, 0, true},
        {"the largest message", {z(big)}, {z(big)}, 0, true},
        {"the largest in two pieces", {big.substr(0, 1000), z(big.substr(1000))}, {z(big)}, 0, true},
        {"a full buffer without a zero", {big + "x"}, {}, MessageReassembler::capacity, false},
        {"full after a message left room", {z("a"), big, "x"}, {z("a")}, MessageReassembler::capacity, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MessageReassembler assembler;
        const Fed fed = feed(assembler, c.pieces);
        EXPECT_EQ(fed.messages, c.messages);
        EXPECT_EQ(fed.waiting, c.waiting);
        EXPECT_EQ(fed.more, c.more);
        EXPECT_EQ(assembler.room(), MessageReassembler::capacity - c.waiting);
    }
}

TEST(MessageReassembler, TheHeaderNamesTheKind) {
    struct Case {
        std::string message;
        Kind kind;
        std::string text;
    };
    const Case cases[] = {
        {z("QRTMAping"), Kind::request, "ping"},
        {z("QRTMB\x01\x02"), Kind::binaryRequest, "\x01\x02"},
        {z("QRTRA"), Kind::reply, ""},
        {z("QRTRBdata"), Kind::binaryReply, "data"},
        {z("QRTXAping"), Kind::alien, ""},
        {z("QRTMCping"), Kind::alien, ""},
        {z("QRSMAping"), Kind::alien, ""},
        {z("QRTM"), Kind::alien, ""},  // shorter than a header and its zero
        {z(""), Kind::alien, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::string_view text = "left over";
        EXPECT_EQ(MessageReassembler::kindOf(c.message.data(), c.message.size(), text), c.kind);
        EXPECT_EQ(std::string(text), c.text);
    }
}

}  // namespace
