#include "platform/audio/WaveOutHandle.h"

#include <chrono>
#include <cstring>
#include <system_error>

namespace platform::audio {

WaveOutHandle::WaveOutHandle(const WaveFormat& format, WaveOutCallback callback, void* instance)
    : format_(format),
      frameBytes_(bytesPerFrame(format)),
      silence_(silenceByte(format)),
      callback_(callback),
      instance_(instance) {}

WaveOutHandle::~WaveOutHandle() = default;

AudioResult WaveOutHandle::open(const StreamOpener& opener, const WaveFormat& format, WaveOutCallback callback,
                                void* instance, WaveOutHandle*& handle) {
    handle = nullptr;
    if (bytesPerFrame(format) <= 0) return resultBadFormat;
    std::unique_ptr<WaveOutHandle> made(new WaveOutHandle(format, callback, instance));
    if (AudioResult result = opener(*made, made->stream_); result != resultOk) return result;
    try {
        made->completion_ = std::thread([raw = made.get()] { raw->completionLoop(); });
    } catch (const std::system_error& error) {
        setBackendFailure(std::string("Cannot start the completion thread: ") + error.what());
        return resultBackendError;
    }
    handle = made.release();
    return resultOk;
}

AudioResult WaveOutHandle::prepare(WaveHeader* header) {
    if (header == nullptr || (header->data == nullptr && header->bufferLength > 0)) return resultInvalidCall;
    if ((header->flags & headerInQueue) != 0) return resultInvalidCall;
    header->flags |= headerPrepared;
    return resultOk;
}

AudioResult WaveOutHandle::unprepare(WaveHeader* header) {
    if (header == nullptr || (header->flags & headerInQueue) != 0) return resultInvalidCall;
    header->flags &= ~headerPrepared;
    return resultOk;
}

AudioResult WaveOutHandle::write(WaveHeader* header) {
    if (header == nullptr) return resultInvalidCall;
    std::lock_guard lock(writers_);
    if ((header->flags & headerPrepared) == 0 || (header->flags & headerInQueue) != 0 ||
        header->bufferLength % static_cast<std::uint32_t>(frameBytes_) != 0) {
        return resultInvalidCall;
    }
    if (queued_.load() >= static_cast<int>(queueCapacity)) return resultOutOfMemory;
    header->flags = (header->flags & ~headerDone) | headerInQueue;
    queued_.fetch_add(1);
    if (resetting_) {
        // Written while a reset runs: that reset returns it too.
        handBack(header);
        doneSignal_.set();
        return resultOk;
    }
    pending_.push(header);  // never full: queued_ bounds it
    if (!started_) {
        const int periodFrames = static_cast<int>(header->bufferLength) / frameBytes_;
        if (AudioResult result = stream_->start(periodFrames); result != resultOk) {
            // Nothing pulls yet, so this thread may take it back.
            WaveHeader* taken = nullptr;
            while (pending_.pop(taken)) {
                taken->flags &= ~headerInQueue;
                queued_.fetch_sub(1);
            }
            return result;
        }
        started_ = true;
    }
    return resultOk;
}

void WaveOutHandle::handBack(WaveHeader* header) {
    inDelivery_.fetch_add(1);
    done_.push(header);  // never full: queued_ bounds it
}

void WaveOutHandle::pull(std::uint8_t* out, int frames) {
    const std::size_t bytes = static_cast<std::size_t>(frames) * static_cast<std::size_t>(frameBytes_);
    std::size_t position = 0;
    bool handedBack = false;
    while (position < bytes) {
        if (current_ == nullptr) {
            if (!pending_.pop(current_)) {
                std::memset(out + position, silence_, bytes - position);
                stream_->countUnderrun();
                break;
            }
            offset_ = 0;
        }
        const std::size_t left = current_->bufferLength - offset_;
        const std::size_t count = left < bytes - position ? left : bytes - position;
        std::memcpy(out + position, current_->data + offset_, count);
        position += count;
        offset_ += static_cast<std::uint32_t>(count);
        if (offset_ >= current_->bufferLength) {
            handBack(current_);
            current_ = nullptr;
            handedBack = true;
        }
    }
    if (handedBack) doneSignal_.set();
}

bool WaveOutHandle::settle(std::int64_t guardMs) {
    // Usually the completion thread is done within microseconds.
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    while (inDelivery_.load() != 0 && std::chrono::steady_clock::now() < until) __builtin_ia32_pause();
    std::unique_lock lock(deliveredMutex_);
    return delivered_.wait_for(lock, std::chrono::milliseconds(guardMs), [this] { return inDelivery_.load() == 0; });
}

void WaveOutHandle::completionLoop() {
    completionId_.store(std::this_thread::get_id());
    callback_(this, waveOutOpened, instance_, nullptr);
    while (true) {
        WaveHeader* header = nullptr;
        while (done_.pop(header)) {
            header->flags = (header->flags & ~headerInQueue) | headerDone;
            queued_.fetch_sub(1);
            callback_(this, waveOutDone, instance_, header);
            {
                std::lock_guard lock(deliveredMutex_);
                inDelivery_.fetch_sub(1);
            }
            delivered_.notify_all();
        }
        if (closing_.load() && done_.empty()) break;
        // Headers come back one period apart; a short look first spares
        // the wake-up when the next is about due.
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(20);
        while (done_.empty() && !closing_.load() && std::chrono::steady_clock::now() < until) __builtin_ia32_pause();
        if (!done_.empty()) continue;
        doneSignal_.wait();
    }
    callback_(this, waveOutClosed, instance_, nullptr);
}

AudioResult WaveOutHandle::reset() {
    if (onCompletionThread()) return resultInvalidCall;
    {
        std::lock_guard lock(writers_);
        resetting_ = true;
    }
    // From here nothing pulls, so this thread takes pull's side.
    stream_->stop();
    {
        std::lock_guard lock(writers_);
        started_ = false;
        if (current_ != nullptr) {
            handBack(current_);
            current_ = nullptr;
        }
        WaveHeader* header = nullptr;
        while (pending_.pop(header)) handBack(header);
    }
    doneSignal_.set();
    waitUntilDelivered();
    std::lock_guard lock(writers_);
    resetting_ = false;
    return resultOk;
}

void WaveOutHandle::waitUntilDelivered() {
    std::unique_lock lock(deliveredMutex_);
    delivered_.wait(lock, [this] { return inDelivery_.load() == 0; });
}

AudioResult WaveOutHandle::close() {
    if (onCompletionThread()) return resultInvalidCall;
    reset();
    closing_.store(true);
    doneSignal_.set();
    completion_.join();
    stream_.reset();
    delete this;
    return resultOk;
}

}  // namespace platform::audio
