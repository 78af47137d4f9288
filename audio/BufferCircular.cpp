#include "audio/BufferCircular.h"

#include "audio/AlignedFloats.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "primitives.h"

#include <algorithm>

BufferCircular::BufferCircular(BufferSource* source, const FormatAudio& format, float seconds)
    : source_(source),
      format_(format),
      size_(static_cast<std::int32_t>(static_cast<float>(format.sampleRate) * seconds + 1.0f)),
      granularity_(source->maxBlockFrames()),
      buffers_(static_cast<std::size_t>(std::max(format.channels, 0)), nullptr) {
    for (float*& buffer : buffers_) buffer = allocateZeroedFloats(size_);
}

BufferCircular::~BufferCircular() {
    for (float* buffer : buffers_) releaseAligned(buffer);
}

void BufferCircular::read(float* const* out, std::int32_t outStart, std::int32_t position, std::int32_t n,
                          bool large) {
    if (static_cast<std::int64_t>(size_) < static_cast<std::int64_t>(n) + granularity_) {
        fatalError("Buffer too small.", __FILE__, __LINE__);
    }
    const std::int32_t request =
        std::min(size_ - granularity_, std::max(large ? 500000 : 4096, n + 64));
    float** ring = buffers_.data();
    const std::int64_t p = position;
    const std::int64_t end = firstFrame_ + filled_;

    if (p < firstFrame_ || p >= end) {
        // The source may deliver up to a block more than asked; request is at
        // most size - granularity, so the ring never wraps onto frame p.
        std::int32_t produced = 0;
        source_->readAt(ring, 0, size_, request, produced, position);
        start_ = 0;
        firstFrame_ = p;
        filled_ = std::clamp(produced, 0, size_);
    } else if (p + n > end) {
        // Frames from p on stay: the append, with a block's overshoot, must
        // end before p's ring slot comes round again.
        const std::int64_t keep = end - p;
        const auto room = static_cast<std::int32_t>(size_ - keep - (granularity_ - 1));
        const std::int32_t count = std::min(request, room);
        std::int32_t produced = 0;
        source_->readNext(ring, static_cast<std::int32_t>((start_ + filled_) % size_), size_, count, produced);
        std::int64_t held = static_cast<std::int64_t>(filled_) + std::clamp(produced, 0, size_);
        if (held > size_) {
            const std::int64_t excess = held - size_;
            firstFrame_ += excess;
            start_ = static_cast<std::int32_t>((start_ + excess) % size_);
            held = size_;
        }
        filled_ = static_cast<std::int32_t>(held);
    }

    std::int64_t from = p;
    if (from < firstFrame_) {
        logMessage("Samples overwritten.", __FILE__, __LINE__);
        from = firstFrame_;
    }
    copyOut(out, outStart, from, n);
}

void BufferCircular::copyOut(float* const* out, std::int32_t outStart, std::int64_t position, std::int32_t n) const {
    // Frames past what the source delivered are silence, never older ring
    // contents.
    const auto available =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(firstFrame_ + filled_ - position, 0, n));
    const auto at = static_cast<std::int32_t>((position - firstFrame_ + start_) % size_);
    const std::int32_t head = std::min(available, size_ - at);
    for (std::size_t c = 0; c < buffers_.size(); ++c) {
        float* target = out[c] + outStart;
        if (head > 0) reportPrimitiveError(dezoRide_32d(buffers_[c] + at, target, head), __FILE__, __LINE__);
        if (available > head) {
            reportPrimitiveError(dezoRide_32d(buffers_[c], target + head, available - head), __FILE__, __LINE__);
        }
        if (n > available) reportPrimitiveError(zaviZero_32f(target + available, n - available), __FILE__, __LINE__);
    }
}
