#include "platform/audio/SoundBufferEmulation.h"

#include "platform/Event.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace platform::audio {

SoundBufferEmulation::SoundBufferEmulation(const BufferDescription& description)
    : description_(description),
      size_(description.bytes),
      frameBytes_(bytesPerFrame(description.format)),
      silence_(silenceByte(description.format)),
      memory_(description.bytes, silenceByte(description.format)) {
    cutStretches();
}

SoundBufferEmulation::~SoundBufferEmulation() {
    stop();
    stream_.reset();
}

AudioResult SoundBufferEmulation::create(const StreamOpener& opener, const BufferDescription& description,
                                         std::unique_ptr<SoundBuffer>& buffer) {
    const int frameBytes = bytesPerFrame(description.format);
    if (frameBytes <= 0) return resultBadFormat;
    if (description.bytes == 0 || description.bytes % static_cast<std::uint32_t>(frameBytes) != 0) {
        return resultInvalidCall;
    }
    std::unique_ptr<SoundBufferEmulation> made;
    try {
        made.reset(new SoundBufferEmulation(description));
    } catch (const std::bad_alloc&) {
        return resultOutOfMemory;
    }
    if (AudioResult result = opener(*made, made->stream_); result != resultOk) return result;
    buffer = std::move(made);
    return resultOk;
}

void SoundBufferEmulation::cutStretches() {
    stretchStarts_.assign(1, 0);
    for (const PositionNotify& notify : notifies_) {
        if (notify.offset != 0) stretchStarts_.push_back(notify.offset);
    }
    std::sort(stretchStarts_.begin(), stretchStarts_.end());
    stretchStarts_.erase(std::unique(stretchStarts_.begin(), stretchStarts_.end()), stretchStarts_.end());
    states_ = std::make_unique<std::atomic<int>[]>(stretchStarts_.size());
    writes_ = std::make_unique<std::atomic<std::uint64_t>[]>(stretchStarts_.size());
    std::uint32_t longest = 0;
    for (std::size_t i = 0; i < stretchStarts_.size(); ++i) {
        states_[i].store(stale);
        writes_[i].store(0);
        longest = std::max(longest, stretchEnd(static_cast<int>(i)) - stretchStarts_[i]);
    }
    snapshot_.assign(longest, silence_);
    stretch_ = -1;
}

int SoundBufferEmulation::stretchAt(std::uint32_t offset) const {
    auto after = std::upper_bound(stretchStarts_.begin(), stretchStarts_.end(), offset);
    return static_cast<int>(after - stretchStarts_.begin()) - 1;
}

std::uint32_t SoundBufferEmulation::stretchEnd(int stretch) const {
    const std::size_t next = static_cast<std::size_t>(stretch) + 1;
    return next < stretchStarts_.size() ? stretchStarts_[next] : size_;
}

void SoundBufferEmulation::markRange(std::uint32_t offset, std::uint32_t bytes, bool locking, std::uint64_t write) {
    if (bytes == 0) return;
    const int first = stretchAt(offset);
    const int last = stretchAt(offset + bytes - 1);
    for (int i = first; i <= last; ++i) {
        std::atomic<int>& state = states_[i];
        if (!locking) {
            writes_[i].store(write);
            state.store(fresh);
            continue;
        }
        // A stretch being copied for play is free again within one copy.
        int seen = state.load();
        while (seen == copying || !state.compare_exchange_weak(seen, locked)) {
            if (seen == copying) {
                std::this_thread::yield();
                seen = state.load();
            }
        }
    }
}

AudioResult SoundBufferEmulation::lock(std::uint32_t offset, std::uint32_t bytes, void** first,
                                       std::uint32_t* firstBytes, void** second, std::uint32_t* secondBytes) {
    if (first == nullptr || firstBytes == nullptr || offset >= size_ || bytes == 0 || bytes > size_) {
        return resultInvalidCall;
    }
    const std::uint32_t head = std::min(bytes, size_ - offset);
    const std::uint32_t tail = bytes - head;
    if (tail > 0 && (second == nullptr || secondBytes == nullptr)) return resultInvalidCall;
    markRange(offset, head, true);
    markRange(0, tail, true);
    *first = memory_.data() + offset;
    *firstBytes = head;
    if (second != nullptr) *second = tail > 0 ? memory_.data() : nullptr;
    if (secondBytes != nullptr) *secondBytes = tail;
    return resultOk;
}

AudioResult SoundBufferEmulation::unlock(void* first, std::uint32_t firstBytes, void* second,
                                         std::uint32_t secondBytes) {
    auto offsetOf = [this](void* pointer, std::uint32_t bytes, std::uint32_t& offset) {
        auto* at = static_cast<std::uint8_t*>(pointer);
        if (at < memory_.data() || at >= memory_.data() + size_) return false;
        offset = static_cast<std::uint32_t>(at - memory_.data());
        return bytes <= size_ - offset;
    };
    std::uint32_t firstOffset = 0;
    std::uint32_t secondOffset = 0;
    if (first == nullptr || !offsetOf(first, firstBytes, firstOffset)) return resultInvalidCall;
    if (second != nullptr && secondBytes > 0 && !offsetOf(second, secondBytes, secondOffset)) return resultInvalidCall;
    const std::uint64_t write = unlocks_.fetch_add(1) + 1;
    markRange(firstOffset, firstBytes, false, write);
    if (second != nullptr) markRange(secondOffset, secondBytes, false, write);
    return resultOk;
}

AudioResult SoundBufferEmulation::play(std::uint32_t) {
    std::lock_guard lock(control_);
    if (playing_) return resultOk;
    std::uint32_t shortest = size_;
    for (std::size_t i = 0; i < stretchStarts_.size(); ++i) {
        shortest = std::min(shortest, stretchEnd(static_cast<int>(i)) - stretchStarts_[i]);
    }
    const int periodFrames = std::max(1, static_cast<int>(shortest) / frameBytes_);
    if (AudioResult result = stream_->start(periodFrames); result != resultOk) return result;
    playing_ = true;
    return resultOk;
}

AudioResult SoundBufferEmulation::stop() {
    std::lock_guard lock(control_);
    if (!playing_) return resultOk;
    stream_->stop();
    playing_ = false;
    return resultOk;
}

AudioResult SoundBufferEmulation::setCurrentPosition(std::uint32_t offset) {
    if (offset >= size_) return resultInvalidCall;
    std::lock_guard lock(control_);
    if (playing_) {
        newPosition_.store(offset);
    } else {
        // Nothing pulls: the position is this thread's to set.
        cursor_ = offset;
        stretch_ = -1;
        newPosition_.store(-1);
    }
    return resultOk;
}

AudioResult SoundBufferEmulation::setNotificationPositions(int count, const PositionNotify* positions) {
    if ((description_.flags & bufferPositionNotify) == 0 || count < 0 || (count > 0 && positions == nullptr)) {
        return resultInvalidCall;
    }
    for (int i = 0; i < count; ++i) {
        if (positions[i].offset >= size_ || positions[i].event == nullptr) return resultInvalidCall;
    }
    std::lock_guard lock(control_);
    if (playing_ || count > maxSignalled) return resultInvalidCall;
    notifies_.assign(positions, positions + count);
    cutStretches();
    return resultOk;
}

void SoundBufferEmulation::enterStretch(int stretch) {
    stretch_ = stretch;
    int expected = fresh;
    silent_ = true;
    if (states_[stretch].compare_exchange_strong(expected, copying)) {
        // Audio written before what played last is never played after it:
        // a renderer that fell behind and filled the halves out of turn
        // costs a block, never the order of the blocks.
        const std::uint64_t write = writes_[stretch].load();
        if (write >= lastPlayedWrite_) {
            const std::uint32_t start = stretchStarts_[stretch];
            std::memcpy(snapshot_.data(), memory_.data() + start, stretchEnd(stretch) - start);
            lastPlayedWrite_ = write;
            silent_ = false;
        }
        states_[stretch].store(stale);
    }
    if (silent_) stream_->countUnderrun();
}

void SoundBufferEmulation::pull(std::uint8_t* out, int frames) {
    if (std::int64_t position = newPosition_.exchange(-1); position >= 0) {
        cursor_ = static_cast<std::uint32_t>(position);
        stretch_ = -1;
    }
    signalledCount_ = 0;
    const std::size_t bytes = static_cast<std::size_t>(frames) * static_cast<std::size_t>(frameBytes_);
    std::size_t position = 0;
    while (position < bytes) {
        if (stretch_ < 0) enterStretch(stretchAt(cursor_));
        const std::uint32_t start = stretchStarts_[stretch_];
        const std::uint32_t end = stretchEnd(stretch_);
        const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(end - cursor_, bytes - position));
        if (silent_) {
            std::memset(out + position, silence_, count);
        } else {
            std::memcpy(out + position, snapshot_.data() + (cursor_ - start), count);
        }
        const std::uint32_t before = cursor_;
        const std::uint32_t after = cursor_ + count;
        // Offset 0 is reached when the cursor wraps, i.e. at the end.
        for (const PositionNotify& notify : notifies_) {
            const std::uint32_t reached = notify.offset == 0 ? size_ : notify.offset;
            if (before < reached && reached <= after) {
                notify.event->set();
                if (signalledCount_ < maxSignalled) signalled_[signalledCount_++] = notify.event;
            }
        }
        cursor_ = after;
        if (cursor_ == end) stretch_ = -1;
        if (cursor_ == size_) cursor_ = 0;
        position += count;
    }
}

bool SoundBufferEmulation::settle(std::int64_t guardMs) {
    return Event::waitUntilSettled(signalled_.data(), signalledCount_, guardMs);
}

}  // namespace platform::audio
