// Reporters turn a failed call of an outside service into a log line and a
// false result; the caller decides what follows. Any thread.
#ifndef VELKARN_FRAMEWORK_REPORTERS_H
#define VELKARN_FRAMEWORK_REPORTERS_H

#include <cstdint>

// True when the layer call succeeded; otherwise logs "Windows trouble in
// file %s, line %d: %s" with the text the layer left for this thread (or
// strerror(errno) when it left none) and returns false.
bool reportWindowsError(bool result, const char* source, int line);

// True for 0; otherwise logs "DirectX trouble in file %s, line %d: %s" with
// the code's symbolic name ("Unknown" until the audio engine registers its
// names, and for codes it does not know).
bool reportDirectXError(std::int32_t result, const char* source, int line);
using DirectXErrorNamer = const char* (*)(std::int32_t result);  // null: no name
void setDirectXErrorNamer(DirectXErrorNamer namer);

// True for 0; otherwise (errors and warnings alike) logs "Primitives trouble
// in file %s, line %d: %s" with the status text.
bool reportPrimitiveError(std::int32_t status, const char* source, int line);

// True for 0; otherwise logs "Registry trouble in file %s, line %d: %s"
// with the system's text of the code.
bool reportRegistryError(int code, const char* source, int line);

// For a socket call that returns 0 or -1: 0 gives true; -1 logs "Socket
// trouble in file %s, line %d: %s" with the text of the thread's last
// socket error and gives false; any other value logs "Alien socket error.
// Evacuate premises immediately." and gives false.
bool reportSocketError(int result, const char* source, int line);

// The text of a WinSock error code; "Unknown socket error." for others.
const char* socketErrorText(int code);

#endif
