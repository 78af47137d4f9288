#include "platform/SocketErrors.h"

#include <cerrno>
#include <netdb.h>

namespace platform {
namespace {
thread_local int lastError = 0;
}

int winsockCodeFromErrno(int errnoValue) {
    switch (errnoValue) {
    case 0: return 0;
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: case ENFILE: return 10024;
    case EAGAIN: return 10035;  // EWOULDBLOCK is the same value
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: case EPIPE: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    default: return 10107;
    }
}

int winsockCodeFromGetaddrinfo(int result, int errnoValue) {
    switch (result) {
    case 0: return 0;
    case EAI_NONAME: return 11001;
    case EAI_AGAIN: return 11002;
    case EAI_FAIL: return 11003;
    case EAI_NODATA: case EAI_ADDRFAMILY: return 11004;
    case EAI_FAMILY: return 10047;
    case EAI_SOCKTYPE: return 10044;
    case EAI_SERVICE: return 10109;
    case EAI_MEMORY: return 10055;
    case EAI_BADFLAGS: return 10022;
    case EAI_SYSTEM: return winsockCodeFromErrno(errnoValue);
    default: return 11003;
    }
}

void setLastSocketError(int code) { lastError = code; }
int lastSocketError() { return lastError; }

int socketStartup(unsigned short /*wantedVersion*/, unsigned short& version) {
    version = 0x0002;  // 2.0: major in the low byte
    return 0;
}

int socketCleanup() { return 0; }

}  // namespace platform
