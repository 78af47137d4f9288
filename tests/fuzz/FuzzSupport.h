// What every fuzz target shares: the entry points libFuzzer calls, a File
// over the input bytes, the process set-up (own data directory, fatal stops
// that throw, scripted boxes) and the guard that tells a specified refusal
// from a fault.
#ifndef VELKARN_TESTS_FUZZ_FUZZSUPPORT_H
#define VELKARN_TESTS_FUZZ_FUZZSUPPORT_H

#include "framework/MemoryFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz {

// A read-only File over the input (at most 2^31 - 1 bytes are seen).
class InputFile : public MemoryFile {
public:
    InputFile(const std::uint8_t* data, std::size_t size)
        : MemoryFile(data, size > 0x7fffffffu ? 0x7fffffff : static_cast<int>(size)) {}
    bool write(const void*, int) override { return false; }
};

// Once per process: a fresh data directory (VELKARN_HOME) removed at exit,
// fatal stops turned into FatalStop, boxes answered by the script.
void initialize();

// The process's data directory; scratch files of a target go here.
const std::string& scratchDirectory();

// Runs the body; StringException and FatalStop (the refusals the parsers
// specify for bad input) end it quietly, anything else escapes and is a
// finding.
template <typename Body>
void guarded(Body&& body);

// Counts the inputs a target's parser accepted whole (the replay wants every
// seed, being a valid file, accepted).
void noteAccepted();
int acceptedCount();

// A broken invariant: prints the message and aborts, which libFuzzer and
// the replay both report with the input that caused it.
[[noreturn]] void fail(const char* what);

inline void check(bool condition, const char* what) {
    if (!condition) fail(what);
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size);
bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes);
void removeFile(const std::string& path);

// Reads little pieces off the front of the input (zero past its end).
class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t u32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= std::uint32_t{byte()} << (8 * i);
        return value;
    }
    const std::uint8_t* rest() const { return data_ + (at_ < size_ ? at_ : size_); }
    std::size_t restSize() const { return at_ < size_ ? size_ - at_ : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

}  // namespace fuzz

#include "framework/Log.h"
#include "framework/StringException.h"

template <typename Body>
void fuzz::guarded(Body&& body) {
    try {
        body();
    } catch (const StringException&) {
    } catch (const FatalStop&) {
    }
}

#endif
