// The current user's settings store, with the semantics the program's
// settings records rely on. Keys hold typed values; names of keys and
// values are compared without regard to ASCII case and keep the case they
// were created with.
//
// The store is the file "registry.dat" in the data directory, rewritten
// whole on every change through a temporary file, a flush and a rename. A
// file that cannot be read is noted in the log, treated as empty, and
// renamed to "registry.dat.bad" before the next write.
//
// Results are the platform's error codes (0 success); errorText gives
// their texts. Any thread.
#ifndef VELKARN_PLATFORM_REGISTRY_H
#define VELKARN_PLATFORM_REGISTRY_H

#include <cstdint>
#include <string>

namespace platform::registry {

using Key = std::uint32_t;
constexpr Key currentUser = 0x80000001u;

constexpr std::uint32_t typeString = 1;
constexpr std::uint32_t typeBinary = 3;
constexpr std::uint32_t typeDword = 4;

constexpr int success = 0;
constexpr int fileNotFound = 2;
constexpr int invalidHandle = 6;
constexpr int writeFault = 29;
constexpr int invalidParameter = 87;
constexpr int moreData = 234;

// Opens the sub-key, creating it (and any missing level) when needed;
// createdNew tells whether the last level had to be created. A sub-key may
// name several levels separated by "\".
int createKey(Key parent, const std::string& subKey, Key& key, bool& createdNew);
// Opens an existing sub-key; fileNotFound when it does not exist.
int openKey(Key parent, const std::string& subKey, Key& key);
int closeKey(Key key);

// Reads a value into the caller's buffer. A missing value gives
// fileNotFound; a value larger than *size gives moreData with *size set to
// its size; otherwise success with *type and *size set. With data null
// only the type and size are given.
int queryValue(Key key, const std::string& name, std::uint32_t* type, void* data, std::uint32_t* size);

// Stores a value with the given type (kept as given) and bytes.
int setValue(Key key, const std::string& name, std::uint32_t type, const void* data, std::uint32_t size);

int deleteValue(Key key, const std::string& name);

// The system's text of a code, e.g. "The system cannot find the file specified."
std::string errorText(int code);

// The file behind the store.
std::string storePath();

}  // namespace platform::registry

#endif
