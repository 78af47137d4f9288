// The text commands two instances exchange, without the user interface.
//
//   "TALK" + text     either side    -> ""            a chat line
//   "TIME"            client asks    -> "%lld"        the current sample time
//   "IBEAT"           client asks    -> "%d"          the current beat index
//   "PIB" + time      client asks    -> "%d"          the beat index at that time
//   "GB" + index      client asks    -> "%lld %d"     that beat's position and length
//   "UPD" + index     server tells   -> ""            the server's beat changed
//
// Commands are recognised by their leading letters; what follows is read
// as a number the way scanf reads one. Nothing a peer sends stops the
// program: a bad number or a beat the grid does not hold gets "" and a log
// line.
#ifndef VELKARN_NETWORK_NETWORKCOMMANDS_H
#define VELKARN_NETWORK_NETWORKCOMMANDS_H

#include "network/AddressIPv4.h"
#include "network/ChatLine.h"
#include "network/NetworkHost.h"

#include <cstdint>
#include <string>

class NetworkCommands {
public:
    NetworkCommands(NetworkHost& host, ChatLine& chat) : host_(host), chat_(chat) {}

    // A request from a client, on a connection's receive thread.
    void answerAsServer(const AddressIPv4& peer, const std::string& text, std::string& reply);
    // A request from the server; beatOffset is local minus remote beat
    // index. The reply is always "".
    void answerAsClient(int beatOffset, const std::string& text, std::string& reply);
    // The connection states shown in the chat line (kind 0 notified).
    void clientLeft(const AddressIPv4& peer);
    void serverLeft();

    static std::string talkRequest(const std::string& text) { return "TALK" + text; }
    static std::string timeRequest() { return "TIME"; }
    static std::string beatIndexAtRequest(std::int64_t sampleTime);
    static std::string beatRequest(int index);
    static std::string updateRequest(int index);

    // Leading blanks, an optional sign and at least one digit; what follows
    // is ignored. False for no digits or a value out of range.
    static bool parseInt64(const char* text, std::int64_t& value);
    static bool parseInt32(const char* text, std::int32_t& value);
    // "%lld %d": a beat's position and length.
    static bool parseBeatReply(const std::string& text, std::int64_t& position, std::int32_t& length);

private:
    NetworkHost& host_;
    ChatLine& chat_;
};

#endif
