#include "scope/ScopeTap.h"

#include "framework/CriticalSections.h"
#include "framework/Reporters.h"
#include "primitives.h"

#include <algorithm>

namespace {

constexpr int tapLock = 0;

class TapLock {
public:
    TapLock() { enterCriticalSection(tapLock); }
    ~TapLock() { leaveCriticalSection(tapLock); }
    TapLock(const TapLock&) = delete;
    TapLock& operator=(const TapLock&) = delete;
};

}  // namespace

ScopeTap::ScopeTap(int sampleRate) : ringSize_(sampleRate), ring_(new float[static_cast<std::size_t>(sampleRate)]()) {}

ScopeTap::~ScopeTap() = default;

void ScopeTap::writeStretch(const float* const* channels, int channelCount, std::int32_t from, std::int32_t at,
                            std::int32_t count, float gain) {
    float* target = ring_.get() + at;
    reportPrimitiveError(dezoRide_32d(channels[0] + from, target, count), __FILE__, __LINE__);
    for (int c = 1; c < channelCount; ++c) {
        reportPrimitiveError(zaviAdd_32f_I(channels[c] + from, target, count), __FILE__, __LINE__);
    }
    reportPrimitiveError(zaviMulC_32f_I(gain, target, count), __FILE__, __LINE__);
}

bool ScopeTap::write(const float* const* channels, int channelCount, std::int32_t frames, float gainPercent,
                     float refreshIntervalMs) {
    if (channelCount <= 0 || frames <= 0) return false;
    TapLock lock;
    // Only the newest ring's worth of a longer block can be kept.
    const std::int32_t skipped = std::max<std::int32_t>(0, frames - ringSize_);
    const std::int32_t count = frames - skipped;
    const std::int32_t start = static_cast<std::int32_t>((writePosition_ + static_cast<std::int64_t>(skipped)) % ringSize_);
    const std::int32_t first = std::min(count, ringSize_ - start);
    const float gain = gainPercent / 100.0f;
    writeStretch(channels, channelCount, skipped, start, first, gain);
    if (count > first) writeStretch(channels, channelCount, skipped + first, 0, count - first, gain);
    writePosition_ = static_cast<std::int32_t>((writePosition_ + static_cast<std::int64_t>(frames)) % ringSize_);
    collected_ = std::min<std::int64_t>(collected_ + frames, 2 * static_cast<std::int64_t>(ringSize_));
    if (refreshIntervalMs < static_cast<float>(collected_) / static_cast<float>(ringSize_) * 1000.0f) {
        // One paint request until the paint takes the flag.
        const bool newlyPending = !repaintPending_;
        repaintPending_ = true;
        return newlyPending;
    }
    return false;
}

std::int32_t ScopeTap::takeSamples(float* signal, float* magnitude) {
    TapLock lock;
    // After a stall of a ring or more the read position would lag the
    // write position for good: take the whole ring, oldest first.
    const bool wholeRing = collected_ >= ringSize_;
    const std::int32_t start = wholeRing ? writePosition_ : readPosition_;
    const std::int32_t n = wholeRing ? ringSize_ : static_cast<std::int32_t>(collected_);
    const std::int32_t first = std::min(n, ringSize_ - start);
    const std::int32_t parts[2][2] = {{start, first}, {0, n - first}};
    for (const auto& part : parts) {
        if (part[1] <= 0) continue;
        reportPrimitiveError(dezoRide_32d(ring_.get() + part[0], signal + part[0], part[1]), __FILE__, __LINE__);
        reportPrimitiveError(zaviAbs_32f(ring_.get() + part[0], magnitude + part[0], part[1]), __FILE__, __LINE__);
    }
    readPosition_ = static_cast<std::int32_t>((start + static_cast<std::int64_t>(n)) % ringSize_);
    collected_ = 0;
    return n;
}

bool ScopeTap::takeRepaintPending() {
    TapLock lock;
    const bool pending = repaintPending_;
    repaintPending_ = false;
    return pending;
}

std::int32_t ScopeTap::readPosition() const {
    TapLock lock;
    return readPosition_;
}

std::int32_t ScopeTap::writePosition() const {
    TapLock lock;
    return writePosition_;
}
