// The null output device: endpoint, streams paced in real time or on the
// virtual clock, their records and captures.
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/PlatformLog.h"
#include "platform/audio/AudioBackend.h"
#include "platform/audio/NullAudio.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace platform::audio {
namespace {

std::int64_t realMonotonicNs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// ---- Records and captures ---------------------------------------------------------

struct Pacer;

struct StreamState {
    std::mutex mutex;  // guards record's plain fields, the memory capture and the file
    NullStreamRecord record;
    std::atomic<std::int64_t> periods{0};
    std::atomic<std::int64_t> underruns{0};
    std::atomic<std::int64_t> lateWakes{0};
    bool captureMemory = false;
    std::vector<std::uint8_t> captured;
    std::FILE* file = nullptr;
    std::uint32_t fileDataBytes = 0;
    std::shared_ptr<Pacer> pacer;  // while running on the virtual clock

    NullStreamRecord snapshot() {
        std::lock_guard lock(mutex);
        NullStreamRecord copy = record;
        copy.periods = periods.load();
        copy.underruns = underruns.load();
        copy.lateWakes = lateWakes.load();
        return copy;
    }
};

struct Registry {
    std::mutex mutex;
    std::vector<std::shared_ptr<StreamState>> streams;
    int opened = 0;
    bool memoryCapture = false;
    std::string captureDirectory;
    std::int64_t settleGuardMs = 20000;

    Registry() {
        if (const char* directory = std::getenv("VELKARN_NULL_CAPTURE"); directory != nullptr) {
            captureDirectory = directory;
        }
    }
};

Registry& registry() {
    static Registry* instance = new Registry;  // lives for the process: streams may outlive static destruction
    return *instance;
}

std::shared_ptr<StreamState> findState(int openOrder) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto& state : r.streams) {
        if (state->record.openOrder == openOrder) return state;
    }
    return nullptr;
}

void putLe16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void putLe32(std::uint8_t* at, std::uint32_t value) {
    putLe16(at, value & 0xFFFF);
    putLe16(at + 2, value >> 16);
}

// A 44-byte PCM header (tag 1) for dataBytes of audio.
void writeWavHeader(std::FILE* file, const WaveFormat& format, std::uint32_t dataBytes) {
    std::uint8_t header[44];
    std::memcpy(header, "RIFF", 4);
    putLe32(header + 4, 36 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLe32(header + 16, 16);
    putLe16(header + 20, waveFormatPcm);
    putLe16(header + 22, format.channels);
    putLe32(header + 24, format.samplesPerSecond);
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(bytesPerFrame(format));
    putLe32(header + 28, format.samplesPerSecond * frameBytes);
    putLe16(header + 32, frameBytes);
    putLe16(header + 34, format.bitsPerSample);
    std::memcpy(header + 36, "data", 4);
    putLe32(header + 40, dataBytes);
    std::fseek(file, 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, file);
    std::fseek(file, 0, SEEK_END);
    std::fflush(file);
}

// ---- Virtual pacing -------------------------------------------------------------------------

// The hand-off between the virtual clock's advance and a stream's thread.
// Shared, so that an advance waiting on it survives the stream's stop.
struct Pacer {
    std::mutex mutex;
    std::condition_variable changed;
    int openOrder = 0;
    std::int64_t startNs = 0;
    std::int64_t periodFrames = 0;
    std::int64_t rate = 1;
    std::int64_t periodsDone = 0;  // deadlines passed since start
    // Written under the mutex; atomic so that either side may look before
    // it blocks.
    std::atomic<bool> handed{false};
    std::atomic<bool> finished{false};
    bool settled = true;
    std::atomic<bool> threadEnded{false};
    std::atomic<bool> stopRequested{false};

    // start + ceil(k x period x 10^9 / rate), without overflow.
    std::int64_t deadlineNs(std::int64_t k) const {
        const std::int64_t frames = k * periodFrames;
        const std::int64_t whole = frames / rate;
        const std::int64_t rest = frames % rate;
        return startNs + whole * 1000000000 + (rest * 1000000000 + rate - 1) / rate;
    }
};

// Hand-offs between the advancing thread and a stream's thread come in
// quick succession; looking for a few microseconds before blocking saves
// two wake-ups per period.
template <typename Done>
bool spinBriefly(Done done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(30);
    do {
        if (done()) return true;
        __builtin_ia32_pause();
    } while (std::chrono::steady_clock::now() < until);
    return done();
}

class NullScheduler final : public VirtualScheduler {
public:
    NullScheduler() { VirtualClock::addScheduler(this); }

    void add(const std::shared_ptr<Pacer>& pacer) {
        std::lock_guard lock(mutex_);
        pacers_.push_back(pacer);
    }

    void remove(const std::shared_ptr<Pacer>& pacer) {
        std::lock_guard lock(mutex_);
        pacers_.erase(std::remove(pacers_.begin(), pacers_.end(), pacer), pacers_.end());
    }

    std::int64_t nextDeadlineNs() override {
        std::lock_guard lock(mutex_);
        std::int64_t earliest = -1;
        for (auto& pacer : pacers_) {
            std::lock_guard pacerLock(pacer->mutex);
            const std::int64_t deadline = pacer->deadlineNs(pacer->periodsDone + 1);
            if (earliest < 0 || deadline < earliest) earliest = deadline;
        }
        return earliest;
    }

    void fireDue(std::int64_t nowNs) override {
        while (true) {
            std::shared_ptr<Pacer> due;
            std::int64_t dueAt = 0;
            {
                std::lock_guard lock(mutex_);
                for (auto& pacer : pacers_) {
                    std::lock_guard pacerLock(pacer->mutex);
                    const std::int64_t deadline = pacer->deadlineNs(pacer->periodsDone + 1);
                    if (deadline > nowNs) continue;
                    if (!due || deadline < dueAt || (deadline == dueAt && pacer->openOrder < due->openOrder)) {
                        due = pacer;
                        dueAt = deadline;
                    }
                }
            }
            if (!due) return;
            runPeriod(*due);
        }
    }

private:
    void runPeriod(Pacer& pacer) {
        std::unique_lock lock(pacer.mutex);
        ++pacer.periodsDone;
        if (pacer.stopRequested || pacer.threadEnded) return;
        pacer.handed = true;
        pacer.finished = false;
        pacer.changed.notify_all();
        const std::int64_t guardMs = settleGuardMs();
        lock.unlock();
        spinBriefly([&] { return pacer.finished.load() || pacer.threadEnded.load(); });
        lock.lock();
        // The stream's own thread reports; the guard only catches a chain
        // that never settles.
        const bool done = pacer.changed.wait_for(lock, std::chrono::milliseconds(guardMs + 1000),
                                                 [&] { return pacer.finished || pacer.threadEnded; });
        if (!done || !pacer.settled) {
            const std::string message = "The work of null audio stream " + std::to_string(pacer.openOrder) +
                                        "'s period did not finish within " + std::to_string(guardMs) + " ms.";
            lock.unlock();
            PLATFORM_NOTE(message);
            throw std::runtime_error(message);
        }
    }

    static std::int64_t settleGuardMs() {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        return r.settleGuardMs;
    }

    std::mutex mutex_;
    std::vector<std::shared_ptr<Pacer>> pacers_;
};

NullScheduler& scheduler() {
    static NullScheduler* instance = new NullScheduler;  // registered with the clock for the process's life
    return *instance;
}

// ---- Streams -----------------------------------------------------------------------------------------

class NullStream final : public BackendStream {
public:
    NullStream(std::shared_ptr<StreamState> state, const WaveFormat& format, PullSource& source)
        : state_(std::move(state)), format_(format), source_(source) {}

    ~NullStream() override {
        stop();
        std::lock_guard lock(state_->mutex);
        state_->record.closed = true;
        if (state_->file != nullptr) {
            writeWavHeader(state_->file, format_, state_->fileDataBytes);
            std::fclose(state_->file);
            state_->file = nullptr;
        }
    }

    AudioResult start(int periodFrames) override {
        if (thread_.joinable()) return resultOk;
        if (periodFrames < 1) periodFrames = 1;
        periodFrames_ = periodFrames;
        buffer_.assign(static_cast<std::size_t>(periodFrames) * static_cast<std::size_t>(bytesPerFrame(format_)), 0);
        stopRequested_.store(false);
        {
            std::lock_guard lock(state_->mutex);
            state_->record.periodFrames = periodFrames;
            state_->record.running = true;
            ++state_->record.starts;
        }
        const bool paced = VirtualClock::enabled();
        try {
            if (paced) {
                pacer_ = std::make_shared<Pacer>();
                pacer_->openOrder = state_->record.openOrder;
                pacer_->startNs = monotonicNs();
                pacer_->periodFrames = periodFrames;
                pacer_->rate = format_.samplesPerSecond;
                {
                    std::lock_guard lock(state_->mutex);
                    state_->pacer = pacer_;
                }
                thread_ = std::thread([this] { virtualLoop(); });
                scheduler().add(pacer_);
            } else {
                startNs_ = realMonotonicNs();
                thread_ = std::thread([this] { realTimeLoop(); });
            }
        } catch (const std::system_error& error) {
            setBackendFailure(std::string("Cannot start the null device's thread: ") + error.what());
            std::lock_guard lock(state_->mutex);
            state_->record.running = false;
            state_->pacer.reset();
            pacer_.reset();
            return resultBackendError;
        }
        return resultOk;
    }

    void stop() override {
        if (!thread_.joinable()) return;
        if (pacer_) {
            scheduler().remove(pacer_);
            std::lock_guard lock(pacer_->mutex);
            pacer_->stopRequested = true;
            pacer_->changed.notify_all();
        } else {
            std::lock_guard lock(wakeMutex_);
            stopRequested_.store(true);
            wake_.notify_all();
        }
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // a pull that stops its own stream: it ends when it returns
        } else {
            thread_.join();
        }
        std::lock_guard lock(state_->mutex);
        state_->record.running = false;
        state_->pacer.reset();
        pacer_.reset();
        if (state_->file != nullptr) writeWavHeader(state_->file, format_, state_->fileDataBytes);
    }

    void countUnderrun() override { state_->underruns.fetch_add(1); }

private:
    void runPeriod() {
        source_.pull(buffer_.data(), periodFrames_);
        state_->periods.fetch_add(1);
        if (state_->captureMemory || state_->file != nullptr) {
            std::lock_guard lock(state_->mutex);
            if (state_->captureMemory) state_->captured.insert(state_->captured.end(), buffer_.begin(), buffer_.end());
            if (state_->file != nullptr) {
                std::fwrite(buffer_.data(), 1, buffer_.size(), state_->file);
                state_->fileDataBytes += static_cast<std::uint32_t>(buffer_.size());
            }
        }
    }

    void realTimeLoop() {
        Pacer timing;  // only its deadline arithmetic
        timing.startNs = startNs_;
        timing.periodFrames = periodFrames_;
        timing.rate = format_.samplesPerSecond;
        std::int64_t done = 0;
        std::unique_lock lock(wakeMutex_);
        while (!stopRequested_.load()) {
            const auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(timing.deadlineNs(done + 1)));
            if (wake_.wait_until(lock, deadline, [&] { return stopRequested_.load(); })) break;
            lock.unlock();
            const std::int64_t now = realMonotonicNs();
            int ran = 0;
            while (!stopRequested_.load() && timing.deadlineNs(done + 1) <= now) {
                runPeriod();
                ++done;
                ++ran;
            }
            if (ran > 1) state_->lateWakes.fetch_add(1);
            lock.lock();
        }
    }

    void virtualLoop() {
        Pacer& pacer = *pacer_;
        std::unique_lock lock(pacer.mutex);
        while (true) {
            lock.unlock();
            spinBriefly([&] { return pacer.handed.load() || pacer.stopRequested.load(); });
            lock.lock();
            pacer.changed.wait(lock, [&] { return pacer.handed || pacer.stopRequested; });
            if (!pacer.handed) break;
            pacer.handed = false;
            lock.unlock();
            runPeriod();
            const bool settled = source_.settle(settleGuard());
            lock.lock();
            pacer.settled = settled;
            pacer.finished = true;
            pacer.changed.notify_all();
        }
        pacer.threadEnded = true;
        pacer.changed.notify_all();
    }

    static std::int64_t settleGuard() {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        return r.settleGuardMs;
    }

    std::shared_ptr<StreamState> state_;
    WaveFormat format_;
    PullSource& source_;
    int periodFrames_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::thread thread_;
    std::shared_ptr<Pacer> pacer_;
    std::int64_t startNs_ = 0;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopRequested_{false};
};

class NullEndpoint final : public Endpoint {
public:
    NullEndpoint() : name_(nullOutputName), guid_(guidFromName(std::string("Null/") + nullOutputName)) {
        formats_.mono = formats_.stereo = formats_.eightBit = formats_.sixteenBit = formats_.cdFormat = true;
        formats_.maxChannels = 65535;
    }
    const std::string& name() const override { return name_; }
    const Guid& guid() const override { return guid_; }
    const EndpointFormats& formats() const override { return formats_; }
    bool supports(const WaveFormat& format) const override { return nullDeviceSupports(format); }
    AudioResult openStream(const WaveFormat& format, StreamKind kind, PullSource& source,
                           std::unique_ptr<BackendStream>& stream) override {
        return openNullStream(format, kind, source, stream);
    }

private:
    std::string name_;
    Guid guid_;
    EndpointFormats formats_;
};

}  // namespace

std::unique_ptr<Endpoint> makeNullEndpoint() { return std::make_unique<NullEndpoint>(); }

bool nullDeviceSupports(const WaveFormat& format) {
    const unsigned bits = format.bitsPerSample;
    return format.formatTag == waveFormatPcm && format.channels >= 1 && format.samplesPerSecond >= 1 &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

AudioResult openNullStream(const WaveFormat& format, StreamKind kind, PullSource& source,
                           std::unique_ptr<BackendStream>& stream) {
    if (!nullDeviceSupports(format)) return resultBadFormat;
    auto state = std::make_shared<StreamState>();
    Registry& r = registry();
    std::string path;
    {
        std::lock_guard lock(r.mutex);
        state->record.openOrder = ++r.opened;
        state->captureMemory = r.memoryCapture;
        if (!r.captureDirectory.empty()) {
            path = r.captureDirectory + "/" + std::to_string(state->record.openOrder) + ".wav";
        }
    }
    state->record.kind = kind;
    state->record.format = format;
    if (!path.empty()) {
        state->file = std::fopen(path.c_str(), "w+b");
        if (state->file == nullptr) {
            PLATFORM_NOTE("Cannot write the null device's capture " + path + ": " + std::strerror(errno));
        } else {
            writeWavHeader(state->file, format, 0);
        }
    }
    {
        std::lock_guard lock(r.mutex);
        r.streams.push_back(state);
    }
    stream = std::make_unique<NullStream>(state, format, source);
    return resultOk;
}

// ---- Test controls ----------------------------------------------------------------------------------------

std::vector<NullStreamRecord> NullAudio::streams() {
    std::vector<std::shared_ptr<StreamState>> states;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        states = r.streams;
    }
    std::vector<NullStreamRecord> records;
    for (auto& state : states) records.push_back(state->snapshot());
    return records;
}

std::optional<NullStreamRecord> NullAudio::stream(int openOrder) {
    auto state = findState(openOrder);
    if (!state) return std::nullopt;
    return state->snapshot();
}

int NullAudio::newestStream() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.streams.empty() ? 0 : r.streams.back()->record.openOrder;
}

void NullAudio::forget() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.streams, [](const std::shared_ptr<StreamState>& state) {
        std::lock_guard stateLock(state->mutex);
        return state->record.closed;
    });
}

void NullAudio::setMemoryCapture(bool on) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.memoryCapture = on;
}

std::vector<std::uint8_t> NullAudio::capturedBytes(int openOrder) {
    auto state = findState(openOrder);
    if (!state) return {};
    std::lock_guard lock(state->mutex);
    return state->captured;
}

void NullAudio::setCaptureDirectory(const std::string& directory) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.captureDirectory = directory;
}

std::int64_t NullAudio::nextDeadlineNs(int openOrder, int k) {
    auto state = findState(openOrder);
    if (!state || k < 1) return -1;
    std::shared_ptr<Pacer> pacer;
    {
        std::lock_guard lock(state->mutex);
        pacer = state->pacer;
    }
    if (!pacer) return -1;
    std::lock_guard lock(pacer->mutex);
    return pacer->deadlineNs(pacer->periodsDone + k);
}

bool NullAudio::advanceToDeadline(int openOrder, int k) {
    const std::int64_t deadline = nextDeadlineNs(openOrder, k);
    if (deadline < 0) return false;
    VirtualClock::advanceNs(std::max<std::int64_t>(deadline - monotonicNs(), 0));
    return true;
}

void NullAudio::setSettleGuardMs(std::int64_t guardMs) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.settleGuardMs = guardMs;
}

}  // namespace platform::audio
