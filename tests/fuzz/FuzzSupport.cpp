#include "FuzzSupport.h"

#include "platform/EventLoop.h"
#include "platform/UiScript.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzz {

namespace {

std::string& directory() {
    static std::string path;
    return path;
}

void removeDirectory() {
    std::error_code ignored;
    if (!directory().empty()) std::filesystem::remove_all(directory(), ignored);
}

}  // namespace

void initialize() {
    if (!directory().empty()) return;
    // tmpfs where there is one: the targets that go through files write
    // several small files per input.
    const char* base = std::getenv("VELKARN_FUZZ_TMP");
    std::string pattern = std::string(base ? base : (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp")) +
                          "/velkarn-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    directory() = pattern;
    std::atexit(removeDirectory);
    ::setenv("VELKARN_HOME", pattern.c_str(), 1);
    ::setenv("VELKARN_AUDIO", "null", 1);
    platform::setUiThread();
    platform::uiScript::enable();
    setFatalErrorHook(throwFatalStop);
}

const std::string& scratchDirectory() { return directory(); }

namespace {
int accepted = 0;
}  // namespace

void noteAccepted() { ++accepted; }
int acceptedCount() { return accepted; }

void fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) fail("cannot write a scratch file");
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void removeFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initialize();
    return 0;
}
