// The scope's one-second ring of the output: each block's channels summed
// and scaled by the gain, written on the output device's thread; the new
// samples taken on the user-interface thread for drawing. Lock 0 guards the
// ring, its positions, the collected count and the repaint flag. Writing
// allocates nothing.
#ifndef VELKARN_SCOPE_SCOPETAP_H
#define VELKARN_SCOPE_SCOPETAP_H

#include <cstdint>
#include <memory>

class ScopeTap {
public:
    // A ring of sampleRate samples, zeroed.
    explicit ScopeTap(int sampleRate);
    ~ScopeTap();

    ScopeTap(const ScopeTap&) = delete;
    ScopeTap& operator=(const ScopeTap&) = delete;

    int ringSize() const { return ringSize_; }

    // Output thread: adds the block (channel 0 copied, the others added,
    // the sum times gainPercent / 100) at the write position, wrapping at
    // the ring's end; of a block longer than the ring only its newest
    // ring-size frames are kept. When the frames collected since the last
    // take span more than refreshIntervalMs the repaint is marked pending;
    // true when it was not pending before: the caller then posts its one
    // paint request, and the next comes after the paint took the flag.
    bool write(const float* const* channels, int channelCount, std::int32_t frames, float gainPercent,
               float refreshIntervalMs);

    // User-interface thread: copies the samples written since the last take
    // (the whole ring when at least a ring's worth came) into signal at
    // their ring indices and their magnitudes into magnitude (both ring-size
    // arrays); the read position ends just after the newest sample. Returns
    // how many were taken.
    std::int32_t takeSamples(float* signal, float* magnitude);

    // Reads and clears the repaint flag.
    bool takeRepaintPending();

    std::int32_t readPosition() const;
    std::int32_t writePosition() const;

private:
    void writeStretch(const float* const* channels, int channelCount, std::int32_t from, std::int32_t at,
                      std::int32_t count, float gain);

    std::int32_t ringSize_;
    std::unique_ptr<float[]> ring_;
    std::int32_t readPosition_ = 0;
    std::int32_t writePosition_ = 0;
    std::int64_t collected_ = 0;  // frames since the last take, capped at two rings
    bool repaintPending_ = false;
};

#endif
