// The null output device: always the last output in the lists, "Null
// Output", CD-capable, taking any channel count at 8, 16, 24 or 32 bits.
//
// Each running stream pulls one period (a wave header, or a looping
// buffer's stretch between two notification positions) per deadline:
// start + ceil(k x period x 10^9 / rate) ns for k = 1, 2, ...
// - In real time a thread of the stream sleeps to those deadlines on
//   CLOCK_MONOTONIC; after a late wake it catches up at once.
// - While the virtual clock is on when a stream starts, its deadlines sit on
//   that clock: VirtualClock::advanceNs runs the due periods in order, each
//   on its stream's thread, and before the next one waits until the work the
//   period caused is done (the done callback has returned, the notified
//   thread waits again or has ended). A test so sees exactly one block per
//   period, without races. A chain that does not settle within the guard
//   makes the advance throw.
//
// Every stream is recorded with its counters, and can capture what it plays.
#ifndef VELKARN_PLATFORM_AUDIO_NULLAUDIO_H
#define VELKARN_PLATFORM_AUDIO_NULLAUDIO_H

#include "platform/audio/AudioRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::audio {

inline constexpr const char* nullOutputName = "Null Output";

enum class StreamKind { WaveOut, DirectSound };

struct NullStreamRecord {
    int openOrder = 0;  // 1 for the process's first null stream
    StreamKind kind = StreamKind::WaveOut;
    WaveFormat format;
    int periodFrames = 0;        // of the last start; 0 before the first
    std::int64_t periods = 0;    // pulls made
    std::int64_t underruns = 0;  // pulls that found nothing (or a part) to play
    std::int64_t lateWakes = 0;  // real-time wakes that found more than one period due
    std::int64_t starts = 0;
    bool running = false;
    bool closed = false;
};

class NullAudio {
public:
    // Every null stream opened since the last forget(), in open order.
    static std::vector<NullStreamRecord> streams();
    static std::optional<NullStreamRecord> stream(int openOrder);
    // The open order of the newest stream; 0 when none.
    static int newestStream();
    // Drops the records of closed streams (open order keeps counting).
    static void forget();

    // Streams opened from now on keep the bytes they play in memory.
    static void setMemoryCapture(bool on);
    static std::vector<std::uint8_t> capturedBytes(int openOrder);
    // Streams opened from now on write "<directory>/<open order>.wav" (PCM,
    // tag 1); the sizes in its header are rewritten at each stop and at
    // close. Empty turns it off. VELKARN_NULL_CAPTURE=<directory> sets it
    // for the whole process.
    static void setCaptureDirectory(const std::string& directory);

    // Virtual pacing: the k-th next deadline (k >= 1) of a running virtual
    // stream in virtual nanoseconds, or -1; and a move of the virtual clock
    // to it (false when there is none).
    static std::int64_t nextDeadlineNs(int openOrder, int k = 1);
    static bool advanceToDeadline(int openOrder, int k = 1);
    // How long a period's work may take before the advance fails (20 s).
    static void setSettleGuardMs(std::int64_t guardMs);
};

}  // namespace platform::audio

#endif
