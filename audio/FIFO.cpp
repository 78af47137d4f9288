#include "audio/FIFO.h"

#include "audio/AlignedFloats.h"
#include "framework/Reporters.h"
#include "primitives.h"

#include <algorithm>
#include <cmath>

namespace {

// The ring's samples may be copied out by the reader while the writer
// overwrites them, so they are accessed atomically. Release stores and
// acquire loads (plain moves on x86-64): a reader that sees any sample of a
// write also sees the `writing_` mark set before it, and so can tell that
// its block was torn.
void storeSamples(float* ring, const float* from, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) std::atomic_ref<float>(ring[i]).store(from[i], std::memory_order_release);
}

void loadSamples(float* to, float* ring, std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) to[i] = std::atomic_ref<float>(ring[i]).load(std::memory_order_acquire);
}

}  // namespace

FIFO::FIFO(const FormatAudio& format, float seconds)
    : format_(format),
      size_(static_cast<std::int32_t>(static_cast<float>(format.sampleRate) * seconds) + 1),
      buffers_(static_cast<std::size_t>(std::max(format.channels, 0)), nullptr) {
    for (float*& buffer : buffers_) buffer = allocateZeroedFloats(size_);
}

FIFO::~FIFO() {
    for (float* buffer : buffers_) releaseAligned(buffer);
}

void FIFO::write(float* const* channels, std::int32_t n) { writeAt(channels, 0, n); }

void FIFO::writeAt(float* const* channels, std::int32_t start, std::int32_t n) {
    if (n <= 0) return;
    const std::int64_t from = written_.load(std::memory_order_relaxed);
    const std::int64_t end = from + n;
    // Only the last `size` frames of a longer write survive in the ring.
    const std::int64_t skip = std::max<std::int64_t>(0, n - size_);
    const std::int64_t first = from + skip;
    const std::int64_t count = n - skip;
    const std::int64_t at = first % size_;
    const std::int64_t head = std::min<std::int64_t>(count, size_ - at);

    writing_.store(end, std::memory_order_relaxed);
    for (std::size_t c = 0; c < buffers_.size(); ++c) {
        const float* source = channels[c] + start + skip;
        storeSamples(buffers_[c] + at, source, head);
        storeSamples(buffers_[c], source + head, count - head);
    }
    written_.store(end, std::memory_order_release);
}

void FIFO::read(Motor* /*caller*/, float* const* out, std::int32_t n) {
    if (n <= 0) return;
    const auto silence = [&] {
        for (std::size_t c = 0; c < buffers_.size(); ++c) reportPrimitiveError(zaviZero_32f(out[c], n), __FILE__, __LINE__);
    };
    const std::int64_t end = written_.load(std::memory_order_acquire);
    if (end - consumed_ < n || n > size_) {
        silence();
        return;
    }
    const std::int64_t first = end - n;
    const std::int64_t at = first % size_;
    const std::int64_t head = std::min<std::int64_t>(n, size_ - at);
    for (std::size_t c = 0; c < buffers_.size(); ++c) {
        loadSamples(out[c], buffers_[c] + at, head);
        loadSamples(out[c] + head, buffers_[c], n - head);
    }
    // Frame f sits where frame f + size is written; a write that reached
    // past first + size meanwhile may have replaced some of the copy.
    if (writing_.load(std::memory_order_acquire) > first + size_) {
        silence();
        return;
    }
    consumed_ += n;
}
