// Inside the audio layer: the looping buffer over a backend stream.
#ifndef VELKARN_PLATFORM_AUDIO_SOUNDBUFFEREMULATION_H
#define VELKARN_PLATFORM_AUDIO_SOUNDBUFFEREMULATION_H

#include "platform/audio/AudioBackend.h"
#include "platform/audio/DirectSoundService.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::audio {

class SoundBufferEmulation final : public SoundBuffer, public PullSource {
public:
    using StreamOpener = std::function<AudioResult(PullSource&, std::unique_ptr<BackendStream>&)>;
    static AudioResult create(const StreamOpener& opener, const BufferDescription& description,
                              std::unique_ptr<SoundBuffer>& buffer);
    ~SoundBufferEmulation() override;

    AudioResult lock(std::uint32_t offset, std::uint32_t bytes, void** first, std::uint32_t* firstBytes, void** second,
                     std::uint32_t* secondBytes) override;
    AudioResult unlock(void* first, std::uint32_t firstBytes, void* second, std::uint32_t secondBytes) override;
    AudioResult play(std::uint32_t flags) override;
    AudioResult stop() override;
    AudioResult setCurrentPosition(std::uint32_t offset) override;
    AudioResult setNotificationPositions(int count, const PositionNotify* positions) override;

    void pull(std::uint8_t* out, int frames) override;
    bool settle(std::int64_t guardMs) override;

private:
    explicit SoundBufferEmulation(const BufferDescription& description);

    // A stretch's state: what the cursor finds when it enters it.
    enum StretchState : int { stale, fresh, locked, copying };

    void cutStretches();
    int stretchAt(std::uint32_t offset) const;
    std::uint32_t stretchEnd(int stretch) const;
    // Marks the stretches that [offset, offset + bytes) touches.
    // Marks the stretches that [offset, offset + bytes) touches: locked, or
    // fresh with the given write number.
    void markRange(std::uint32_t offset, std::uint32_t bytes, bool locking, std::uint64_t write = 0);
    void enterStretch(int stretch);

    BufferDescription description_;
    std::uint32_t size_;
    int frameBytes_;
    std::uint8_t silence_;
    std::vector<std::uint8_t> memory_;
    std::unique_ptr<BackendStream> stream_;

    // Fixed while playing.
    std::vector<PositionNotify> notifies_;
    std::vector<std::uint32_t> stretchStarts_;  // ascending, from 0
    std::unique_ptr<std::atomic<int>[]> states_;
    // The unlock that last wrote each stretch, numbered in order.
    std::unique_ptr<std::atomic<std::uint64_t>[]> writes_;
    std::atomic<std::uint64_t> unlocks_{0};
    std::vector<std::uint8_t> snapshot_;

    std::mutex control_;  // play, stop, positions; never taken by pull
    bool playing_ = false;

    // Pull's own state.
    std::uint32_t cursor_ = 0;
    int stretch_ = -1;  // the stretch being played, -1 before entering one
    bool silent_ = false;
    std::uint64_t lastPlayedWrite_ = 0;
    std::atomic<std::int64_t> newPosition_{-1};
    static constexpr int maxSignalled = 64;
    std::array<Event*, maxSignalled> signalled_{};
    int signalledCount_ = 0;
};

}  // namespace platform::audio

#endif
