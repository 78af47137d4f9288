#include "platform/CrashGuard.h"

#include "platform/CompanionProtocol.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

// Prepared at installation, read by the handler.
struct Prepared {
    char* reportPath = nullptr;
    char* productLine = nullptr;
    char* logPath = nullptr;
    char* noMailClientNote = nullptr;
    char** companionArgv = nullptr;  // null-terminated; null when none
    long utcOffset = 0;
};

Prepared prepared;
std::atomic<bool> entered{false};
alignas(16) char alternateStack[64 * 1024];

constexpr int handledSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

char* copyOf(const std::string& text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

// ---- async-signal-safe output ----------------------------------------------

void put(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, text, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

void put(int fd, const char* text) { put(fd, text, std::strlen(text)); }

void putDecimal(int fd, long long value) {
    char digits[24];
    int i = sizeof digits;
    bool negative = value < 0;
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[--i] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) digits[--i] = '-';
    put(fd, digits + i, sizeof digits - static_cast<std::size_t>(i));
}

void putHex(int fd, unsigned long long value) {
    char digits[19] = "0x";
    for (int i = 0; i < 16; ++i) digits[2 + i] = "0123456789abcdef"[(value >> (60 - 4 * i)) & 15];
    put(fd, digits, 18);
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

void putTime(int fd) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    char text[25];
    formatCrashTime(now.tv_sec, prepared.utcOffset, text);
    put(fd, text, 24);
}

void copyFile(int fd, const char* path) {
    int source = ::open(path, O_RDONLY | O_CLOEXEC);
    if (source < 0) return;
    char buffer[4096];
    while (true) {
        ssize_t n = ::read(source, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        put(fd, buffer, static_cast<std::size_t>(n));
    }
    ::close(source);
}

bool writeReport(int signal, int code, const void* address, const char* thrown) {
    int fd = ::open(prepared.reportPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    put(fd, prepared.productLine);
    put(fd, "\nTime: ");
    putTime(fd);
    put(fd, "\nSignal: ");
    putDecimal(fd, signal);
    put(fd, " (");
    put(fd, signalName(signal));
    put(fd, "), code ");
    putDecimal(fd, code);
    put(fd, "\nAddress: ");
    putHex(fd, reinterpret_cast<unsigned long long>(address));
    put(fd, "\nThread: ");
    putDecimal(fd, static_cast<long long>(::syscall(SYS_gettid)));
    if (thrown != nullptr) {
        put(fd, "\nTerminate: ");
        put(fd, thrown);
    }
    put(fd, "\nBacktrace:\n");
    void* frames[64];
    int count = ::backtrace(frames, 64);  // loaded at installation, so it does not allocate here
    ::backtrace_symbols_fd(frames, count, fd);
    put(fd, "Memory map:\n");
    copyFile(fd, "/proc/self/maps");
    ::close(fd);
    return true;
}

void appendLogNote(const char* message) {
    int fd = ::open(prepared.logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    putTime(fd);
    put(fd, "   ");
    put(fd, prepared.productLine);
    put(fd, "\r\n");
    put(fd, message);
    put(fd, "\r\n");
    ::close(fd);
}

void runCompanion() {
    if (prepared.companionArgv == nullptr) return;
    pid_t child = ::_Fork();
    if (child == 0) {
        ::execve(prepared.companionArgv[0], prepared.companionArgv, environ);
        ::_exit(127);
    }
    if (child < 0) return;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == companion::crashNoMailClient) {
        appendLogNote(prepared.noMailClientNote);
    }
}

void dieBy(int signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    // Blocked while this handler runs; it is delivered when the handler
    // returns, with the default action.
    ::raise(signal);
}

void onSignal(int signal, siginfo_t* info, void* /*context*/) {
    if (entered.exchange(true)) {
        dieBy(signal);
        return;
    }
    int savedErrno = errno;
    if (writeReport(signal, info != nullptr ? info->si_code : 0, info != nullptr ? info->si_addr : nullptr, nullptr)) {
        runCompanion();
    }
    errno = savedErrno;
    dieBy(signal);
}

[[noreturn]] void onTerminate() {
    // Not a signal handler: the thrown text may be taken with C++ calls.
    std::string thrown = "no exception";
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& error) {
            thrown = error.what();
        } catch (const char* text) {
            thrown = text;
        } catch (...) {
            thrown = "an exception of unknown type";
        }
    }
    if (!entered.exchange(true)) {
        if (writeReport(SIGABRT, 0, nullptr, thrown.c_str())) runCompanion();
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGABRT, &action, nullptr);
    std::abort();
}

}  // namespace

void formatCrashTime(long long unixSeconds, long utcOffsetSeconds, char out[25]) {
    static const char weekdays[] = "SunMonTueWedThuFriSat";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    long long local = unixSeconds + utcOffsetSeconds;
    long long days = local / 86400;
    long long secondsOfDay = local % 86400;
    if (secondsOfDay < 0) {
        secondsOfDay += 86400;
        --days;
    }
    int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    long long z = days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long dayOfEra = z - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long monthIndex = (5 * dayOfYear + 2) / 153;
    int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    int hour = static_cast<int>(secondsOfDay / 3600);
    int minute = static_cast<int>(secondsOfDay / 60 % 60);
    int second = static_cast<int>(secondsOfDay % 60);

    std::memcpy(out, weekdays + 3 * weekday, 3);
    out[3] = ' ';
    std::memcpy(out + 4, months + 3 * (month - 1), 3);
    out[7] = ' ';
    out[8] = day < 10 ? ' ' : static_cast<char>('0' + day / 10);
    out[9] = static_cast<char>('0' + day % 10);
    out[10] = ' ';
    out[11] = static_cast<char>('0' + hour / 10);
    out[12] = static_cast<char>('0' + hour % 10);
    out[13] = ':';
    out[14] = static_cast<char>('0' + minute / 10);
    out[15] = static_cast<char>('0' + minute % 10);
    out[16] = ':';
    out[17] = static_cast<char>('0' + second / 10);
    out[18] = static_cast<char>('0' + second % 10);
    out[19] = ' ';
    long long y = year;
    for (int i = 23; i >= 20; --i) {
        out[i] = static_cast<char>('0' + y % 10);
        y /= 10;
    }
    out[24] = '\0';
}

void installCrashGuard(const CrashGuardSettings& settings) {
    prepared.reportPath = copyOf(settings.reportPath);
    prepared.productLine = copyOf(settings.productLine);
    prepared.logPath = copyOf(settings.logPath);
    prepared.noMailClientNote = copyOf(settings.noMailClientNote);
    if (!settings.companionCommand.empty()) {
        prepared.companionArgv = new char*[settings.companionCommand.size() + 1];
        for (std::size_t i = 0; i < settings.companionCommand.size(); ++i) {
            prepared.companionArgv[i] = copyOf(settings.companionCommand[i]);
        }
        prepared.companionArgv[settings.companionCommand.size()] = nullptr;
    }
    std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    prepared.utcOffset = local.tm_gmtoff;

    // backtrace() loads its unwinder on first use; do that now, not in the handler.
    void* frames[4];
    ::backtrace(frames, 4);

    stack_t stack {};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    ::sigaltstack(&stack, nullptr);

    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    ::sigemptyset(&action.sa_mask);
    for (int signal : handledSignals) ::sigaction(signal, &action, nullptr);
    std::set_terminate(onTerminate);
}

}  // namespace platform
