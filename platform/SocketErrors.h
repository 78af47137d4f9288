// Socket errors as the program knows them: WinSock codes. Socket calls of
// the layer set the calling thread's last socket error from errno (or from
// a getaddrinfo result) by meaning.
#ifndef VELKARN_PLATFORM_SOCKETERRORS_H
#define VELKARN_PLATFORM_SOCKETERRORS_H

namespace platform {

// EINTR -> 10004 ... EHOSTUNREACH -> 10065; an errno without a WinSock
// counterpart gives 10107 (system call failure).
int winsockCodeFromErrno(int errnoValue);

// EAI_NONAME -> 11001, EAI_AGAIN -> 11002, EAI_FAIL -> 11003,
// EAI_NODATA / EAI_ADDRFAMILY -> 11004, the rest by meaning; EAI_SYSTEM
// uses errnoValue.
int winsockCodeFromGetaddrinfo(int result, int errnoValue);

void setLastSocketError(int code);
int lastSocketError();

// The socket library's start-up and clean-up have nothing to do here and
// succeed; start-up reports version 2.0.
int socketStartup(unsigned short wantedVersion, unsigned short& version);
int socketCleanup();

}  // namespace platform

#endif
