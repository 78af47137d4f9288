#include "network/NetworkCommands.h"

#include "framework/Log.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string formatInt64(std::int64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    return text;
}

}  // namespace

bool NetworkCommands::parseInt64(const char* text, std::int64_t& value) {
    const char* at = text;
    while (std::isspace(static_cast<unsigned char>(*at))) ++at;
    bool negative = false;
    if (*at == '+' || *at == '-') negative = *at++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*at))) return false;
    // Accumulated as a negative number, which reaches the smallest int64.
    std::int64_t result = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (; std::isdigit(static_cast<unsigned char>(*at)); ++at) {
        const int digit = *at - '0';
        if (result < (lowest + digit) / 10) return false;
        result = result * 10 - digit;
    }
    if (!negative) {
        if (result == lowest) return false;
        result = -result;
    }
    value = result;
    return true;
}

bool NetworkCommands::parseInt32(const char* text, std::int32_t& value) {
    std::int64_t wide = 0;
    if (!parseInt64(text, wide) || wide < std::numeric_limits<std::int32_t>::min() ||
        wide > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    value = static_cast<std::int32_t>(wide);
    return true;
}

bool NetworkCommands::parseBeatReply(const std::string& text, std::int64_t& position, std::int32_t& length) {
    const char* at = text.c_str();
    if (!parseInt64(at, position)) return false;
    while (std::isspace(static_cast<unsigned char>(*at))) ++at;
    if (*at == '+' || *at == '-') ++at;
    while (std::isdigit(static_cast<unsigned char>(*at))) ++at;
    return parseInt32(at, length);
}

std::string NetworkCommands::beatIndexAtRequest(std::int64_t sampleTime) { return "PIB" + formatInt64(sampleTime); }
std::string NetworkCommands::beatRequest(int index) { return "GB" + std::to_string(index); }
std::string NetworkCommands::updateRequest(int index) { return "UPD" + std::to_string(index); }

void NetworkCommands::answerAsServer(const AddressIPv4& peer, const std::string& text, std::string& reply) {
    reply.clear();
    if (startsWith(text, "TALK")) {
        chat_.set(peer.toString() + " [client]: " + text.substr(4));
        host_.notifyMainWindow(0, 0);
    } else if (startsWith(text, "TIME")) {
        reply = formatInt64(host_.currentSampleTime());
    } else if (startsWith(text, "IBEAT")) {
        reply = std::to_string(host_.currentBeatIndex());
    } else if (startsWith(text, "PIB")) {
        std::int64_t time = 0;
        int index = 0;
        if (!parseInt64(text.c_str() + 3, time)) {
            logMessage("Malformed number received: " + text.substr(0, 64), __FILE__, __LINE__);
        } else if (!host_.tryBeatIndexAt(time, index)) {
            logMessage("Time outside the held beats received: " + text.substr(0, 64), __FILE__, __LINE__);
        } else {
            reply = std::to_string(index);
        }
    } else if (startsWith(text, "GB")) {
        std::int32_t index = 0;
        TrackBeat beat;
        if (!parseInt32(text.c_str() + 2, index)) {
            logMessage("Malformed number received: " + text.substr(0, 64), __FILE__, __LINE__);
        } else if (!host_.tryBeatAt(index, beat)) {
            logMessage("Beat outside the held beats received: " + text.substr(0, 64), __FILE__, __LINE__);
        } else {
            reply = formatInt64(beat.position) + " " + std::to_string(beat.length);
        }
    } else {
        logMessage("Unknown command received.", __FILE__, __LINE__);
    }
}

void NetworkCommands::answerAsClient(int beatOffset, const std::string& text, std::string& reply) {
    reply.clear();
    if (startsWith(text, "TALK")) {
        chat_.set("[server]: " + text.substr(4));
        host_.notifyMainWindow(0, 0);
    } else if (startsWith(text, "UPD")) {
        std::int32_t remote = 0;
        TrackBeat beat;
        if (!parseInt32(text.c_str() + 3, remote)) {
            logMessage("Malformed number received: " + text.substr(0, 64), __FILE__, __LINE__);
            return;
        }
        const std::int64_t local = static_cast<std::int64_t>(remote) + beatOffset;
        if (local < std::numeric_limits<std::int32_t>::min() || local > std::numeric_limits<std::int32_t>::max() ||
            !host_.tryBeatAt(static_cast<int>(local), beat)) {
            logMessage("Beat update outside the held beats received: " + text.substr(0, 64), __FILE__, __LINE__);
            return;
        }
        host_.notifyMainWindow(2, static_cast<int>(local));
    } else {
        logMessage("Unknown command received.", __FILE__, __LINE__);
    }
}

void NetworkCommands::clientLeft(const AddressIPv4& peer) {
    chat_.set(peer.toString() + " [client] <closed>");
    host_.notifyMainWindow(0, 0);
}

void NetworkCommands::serverLeft() {
    chat_.set("[server] <closed>");
    host_.notifyMainWindow(0, 0);
}
