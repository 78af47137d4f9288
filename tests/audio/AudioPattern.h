// Blocks a test can recognise: a producer that writes a pattern per block,
// and a reader that splits what a device played back into those blocks.
// Used by the tests and by their child programs (no test framework here).
#ifndef VELKARN_TESTS_AUDIO_AUDIOPATTERN_H
#define VELKARN_TESTS_AUDIO_AUDIOPATTERN_H

#include "audio/AudioClient.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace audio_test {

// Sample f of channel c in block n of a producer with this seed: never 0
// after conversion at any width, and different from block to block.
float patternSample(int seed, std::int64_t block, int frame, int channel);

// The bytes a device plays for that block.
std::vector<std::uint8_t> expectedBlock(int seed, std::int64_t block, const FormatAudio& format, int frames);

// Fills every block with the pattern of its seed, counting blocks.
class PatternProducer : public AudioClient {
public:
    explicit PatternProducer(int seed = 1) : seed_(seed) {}
    void render(Motor* device, float** channels, std::int32_t frames) override;

    int seed() const { return seed_; }
    std::int64_t blocks() const { return blocks_.load(); }
    bool rendering() const { return rendering_.load(); }
    // The thread of each block, in order.
    std::vector<std::thread::id> threads() const;
    std::vector<Motor*> devices() const;

private:
    int seed_;
    std::atomic<std::int64_t> blocks_{0};
    std::atomic<bool> rendering_{false};
    mutable std::mutex mutex_;
    std::vector<std::thread::id> threads_;
    std::vector<Motor*> devices_;
};

// What a capture holds, period by period.
struct Period {
    enum Kind { Block, Silence, Torn } kind = Torn;
    int seed = 0;
    std::int64_t block = -1;
};

// Splits a capture into periods of `frames` frames and names each: a whole
// block of one of the producers (searched among their first `upTo`
// blocks), silence, or neither.
std::vector<Period> readPeriods(const std::vector<std::uint8_t>& capture, const FormatAudio& format, int frames,
                                const std::vector<const PatternProducer*>& producers, std::int64_t upTo);

}  // namespace audio_test

#endif
