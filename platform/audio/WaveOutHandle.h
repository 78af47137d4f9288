// Inside the audio layer: the wave output over a backend stream.
#ifndef VELKARN_PLATFORM_AUDIO_WAVEOUTHANDLE_H
#define VELKARN_PLATFORM_AUDIO_WAVEOUTHANDLE_H

#include "platform/Event.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/SpscRing.h"
#include "platform/audio/WaveOutService.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace platform::audio {

class WaveOutHandle final : public PullSource {
public:
    // Opens a stream of the endpoint (or, with a stream opener, whatever it
    // opens) and starts the completion thread.
    using StreamOpener = std::function<AudioResult(PullSource&, std::unique_ptr<BackendStream>&)>;
    static AudioResult open(const StreamOpener& opener, const WaveFormat& format, WaveOutCallback callback,
                            void* instance, WaveOutHandle*& handle);

    AudioResult prepare(WaveHeader* header);
    AudioResult write(WaveHeader* header);
    AudioResult reset();
    AudioResult unprepare(WaveHeader* header);
    AudioResult close();  // deletes this on success

    void pull(std::uint8_t* out, int frames) override;
    bool settle(std::int64_t guardMs) override;

    ~WaveOutHandle() override;  // through close()

private:
    WaveOutHandle(const WaveFormat& format, WaveOutCallback callback, void* instance);

    void completionLoop();
    // By whichever thread produces into done_ at the time: pull, or a reset
    // (or a write during one) while nothing pulls.
    void handBack(WaveHeader* header);
    bool onCompletionThread() const { return std::this_thread::get_id() == completionId_.load(); }
    void waitUntilDelivered();

    static constexpr std::size_t queueCapacity = 64;

    WaveFormat format_;
    int frameBytes_;
    std::uint8_t silence_;
    WaveOutCallback callback_;
    void* instance_;
    std::unique_ptr<BackendStream> stream_;

    // Writers among themselves, and against reset; never taken by pull.
    std::mutex writers_;
    bool started_ = false;
    bool resetting_ = false;
    SpscRing<WaveHeader, queueCapacity> pending_;  // writers -> pull

    // Pull's own place in the header it plays.
    WaveHeader* current_ = nullptr;
    std::uint32_t offset_ = 0;

    SpscRing<WaveHeader, queueCapacity> done_;  // pull (or reset) -> completion thread
    Event doneSignal_;
    // Headers written and not yet through their done callback; bounds both
    // queues.
    std::atomic<int> queued_{0};
    // Headers handed back and not yet through their done callback; changes
    // to 0 are made under deliveredMutex_.
    std::atomic<int> inDelivery_{0};
    std::mutex deliveredMutex_;
    std::condition_variable delivered_;

    std::thread completion_;
    std::atomic<std::thread::id> completionId_{};
    std::atomic<bool> closing_{false};
};

}  // namespace platform::audio

#endif
