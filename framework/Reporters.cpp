#include "framework/Reporters.h"

#include "framework/Log.h"
#include "platform/LastError.h"
#include "platform/Registry.h"
#include "platform/SocketErrors.h"
#include "primitives.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

namespace {

std::atomic<DirectXErrorNamer> directXNamer{nullptr};

void logTrouble(const char* kind, const char* source, int line, const std::string& text) {
    appendToLog(std::string(kind) + " trouble in file " + sourceFileName(source) + ", line " + std::to_string(line) +
                ": " + text);
}

}  // namespace

bool reportWindowsError(bool result, const char* source, int line) {
    if (result) return true;
    int savedErrno = errno;
    std::string text = platform::takeLastErrorText();
    if (text.empty()) {
        char buffer[256];
        text = ::strerror_r(savedErrno, buffer, sizeof buffer);
    }
    logTrouble("Windows", source, line, text);
    return false;
}

void setDirectXErrorNamer(DirectXErrorNamer namer) { directXNamer.store(namer); }

bool reportDirectXError(std::int32_t result, const char* source, int line) {
    if (result == 0) return true;
    const char* name = nullptr;
    if (DirectXErrorNamer namer = directXNamer.load()) name = namer(result);
    logTrouble("DirectX", source, line, name != nullptr ? name : "Unknown");
    return false;
}

bool reportPrimitiveError(std::int32_t status, const char* source, int line) {
    if (status == 0) return true;
    logTrouble("Primitives", source, line, duvAduZurideVizide(status));
    return false;
}

bool reportRegistryError(int code, const char* source, int line) {
    if (code == 0) return true;
    logTrouble("Registry", source, line, platform::registry::errorText(code));
    return false;
}

bool reportSocketError(int result, const char* source, int line) {
    if (result == 0) return true;
    if (result == -1) {
        logTrouble("Socket", source, line, socketErrorText(platform::lastSocketError()));
    } else {
        logMessage("Alien socket error. Evacuate premises immediately.", __FILE__, __LINE__);
    }
    return false;
}

const char* socketErrorText(int code) {
    switch (code) {
    case 10004: return "Interrupted function call.";
    case 10013: return "Permission denied.";
    case 10014: return "Bad address.";
    case 10022: return "Invalid argument.";
    case 10024: return "Too many open files.";
    case 10035: return "Resource temporarily unavailable.";
    case 10036: return "Operation now in progress.";
    case 10037: return "Operation already in progress.";
    case 10038: return "Socket operation on non-socket.";
    case 10039: return "Destination address required.";
    case 10040: return "Message too long.";
    case 10041: return "Protocol wrong type for socket.";
    case 10042: return "Bad protocol option.";
    case 10043: return "Protocol not supported.";
    case 10044: return "Socket type not supported.";
    case 10045: return "Operation not supported.";
    case 10046: return "Protocol family not supported.";
    case 10047: return "Address family not supported by protocol family.";
    case 10048: return "Address already in use.";
    case 10049: return "Cannot assign requested address.";
    case 10050: return "Network is down.";
    case 10051: return "Network is unreachable.";
    case 10052: return "Network dropped connection on reset.";
    case 10053: return "Software caused connection abort.";
    case 10054: return "Connection reset by peer.";
    case 10055: return "No buffer space available.";
    case 10056: return "Socket is already connected.";
    case 10057: return "Socket is not connected.";
    case 10058: return "Cannot send after socket shutdown.";
    case 10060: return "Connection timed out.";
    case 10061: return "Connection refused.";
    case 10064: return "Host is down.";
    case 10065: return "No route to host.";
    case 10067: return "Too many processes.";
    case 10091: return "Network subsystem is unavailable.";
    case 10092: return "WINSOCK.DLL version out of range.";
    case 10093: return "Successful WSAStartup not yet performed.";
    case 10101: return "Graceful shutdown in progress.";
    case 10107: return "System call failure.";
    case 10109: return "Class type not found.";
    case 11001: return "Host not found.";
    case 11002: return "Non-authoritative host not found.";
    case 11003: return "This is a non-recoverable error.";
    case 11004: return "Valid name, no data record of requested type.";
    default: return "Unknown socket error.";
    }
}
