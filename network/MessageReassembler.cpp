#include "network/MessageReassembler.h"

MessageReassembler::Kind MessageReassembler::kindOf(const char* message, std::size_t length, std::string_view& text) {
    text = {};
    // The shortest message is the header and the zero.
    if (length < headerLength + 1 || std::memcmp(message, "QRT", 3) != 0) return Kind::alien;
    const char direction = message[3];
    const char kind = message[4];
    Kind result;
    if (direction == 'M' && kind == 'A') {
        result = Kind::request;
    } else if (direction == 'M' && kind == 'B') {
        result = Kind::binaryRequest;
    } else if (direction == 'R' && kind == 'A') {
        result = Kind::reply;
    } else if (direction == 'R' && kind == 'B') {
        result = Kind::binaryReply;
    } else {
        return Kind::alien;
    }
    text = std::string_view(message + headerLength, length - headerLength - 1);
    return result;
}
