// The receive side of the network link on any stream of bytes, cut into
// pieces the input picks: every message must be exactly a run of bytes up
// to and including a zero, in stream order, as a plain walk of the stream
// finds them; a run that cannot fit the buffer ends the stream there. The
// header of each message names its kind, and the text is what lies between
// the header and the zero.
//
// Bytes 0..7: the piece lengths, used in turn (n + 1 bytes; 255: as many as
// fit). Byte 8: how many times the rest repeats to make the stream, so that
// a run longer than the buffer is reachable from a short input.
#include "FuzzSupport.h"

#include "network/MessageReassembler.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

using Kind = MessageReassembler::Kind;

void checkKind(const std::string& message) {
    std::string_view text;
    const Kind kind = MessageReassembler::kindOf(message.data(), message.size(), text);
    const bool framed = message.size() >= 6 && message.compare(0, 3, "QRT") == 0 &&
                        (message[3] == 'M' || message[3] == 'R') && (message[4] == 'A' || message[4] == 'B');
    fuzz::check((kind == Kind::alien) != framed, "a message of the wrong kind");
    if (!framed) {
        fuzz::check(text.empty(), "an alien message has a text");
        return;
    }
    const bool request = message[3] == 'M';
    const bool binary = message[4] == 'B';
    const Kind expected = request ? (binary ? Kind::binaryRequest : Kind::request)
                                  : (binary ? Kind::binaryReply : Kind::reply);
    fuzz::check(kind == expected, "the header names another kind");
    fuzz::check(text == std::string_view(message).substr(5, message.size() - 6), "the text is not the body");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Cursor cursor(data, size);
    std::uint8_t pieces[8];
    for (std::uint8_t& piece : pieces) piece = cursor.byte();
    const int repeats = cursor.byte() + 1;
    const std::string_view rest(reinterpret_cast<const char*>(cursor.rest()), cursor.restSize());
    std::string stream;
    for (int i = 0; i < repeats && stream.size() < 3 * MessageReassembler::capacity; ++i) stream += rest;

    // The plain walk: runs up to each zero, until one would not fit.
    std::vector<std::string> expected;
    bool expectedEnd = false;
    for (std::size_t start = 0; start < stream.size();) {
        const std::size_t zero = stream.find('\0', start);
        const std::size_t end = zero == std::string::npos ? stream.size() : zero + 1;
        if (end - start > MessageReassembler::capacity || (zero == std::string::npos &&
                                                           end - start == MessageReassembler::capacity)) {
            expectedEnd = true;
            break;
        }
        if (zero == std::string::npos) break;
        expected.push_back(stream.substr(start, end - start));
        start = end;
    }

    MessageReassembler messages;
    std::vector<std::string> got;
    std::size_t fed = 0;
    bool more = true;
    for (int turn = 0; fed < stream.size() && more; ++turn) {
        const std::uint8_t piece = pieces[turn % 8];
        std::size_t count = piece == 255 ? messages.room() : std::size_t{piece} + 1;
        count = std::min({count, messages.room(), stream.size() - fed});
        fuzz::check(count > 0, "no room while the stream goes on");
        std::copy_n(stream.data() + fed, count, messages.space());
        fed += count;
        more = messages.received(count, [&](const char* message, std::size_t length) {
            fuzz::check(length >= 1 && message[length - 1] == '\0', "a message does not end with its zero");
            fuzz::check(got.size() < expected.size() && std::string_view(message, length) == expected[got.size()],
                        "a message that the stream does not hold there");
            got.emplace_back(message, length);
        });
        fuzz::check(messages.waiting() <= MessageReassembler::capacity, "more bytes wait than the buffer holds");
        fuzz::check(messages.room() == MessageReassembler::capacity - messages.waiting(), "room and waiting disagree");
    }
    fuzz::check(got.size() == expected.size(), "messages were lost");
    fuzz::check(!more == expectedEnd, "the stream ended at another place");
    for (const std::string& message : got) checkKind(message);
    if (more) fuzz::noteAccepted();
    return 0;
}
