#include "app/Recorder.h"

#include "audio/Motor.h"
#include "audio/SampleConversion.h"
#include "framework/CriticalSections.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "primitives.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

namespace {

constexpr int bytesPerSample = 2;
constexpr auto idleWait = std::chrono::milliseconds(50);
// The writer copies the ring out in pieces of at most this many frames, so
// the output thread never waits long for lock 3.
constexpr std::int32_t maxStageFrames = 4096;

// Lock 3 for the length of a scope.
class RingLock {
public:
    RingLock() { enterCriticalSection(3); }
    ~RingLock() { leaveCriticalSection(3); }
    RingLock(const RingLock&) = delete;
    RingLock& operator=(const RingLock&) = delete;
};

void putLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

Recorder::Recorder(const FormatAudio& format, Motor* device, float ringSeconds, std::int64_t frameLimit)
    : ringFrames_(static_cast<std::int32_t>(static_cast<float>(format.sampleRate) * ringSeconds)),
      format_(format),
      frameLimit_(frameLimit) {
    if (!format.isCdFormat()) throw StringException("Recorder currently supports only CD format.");
    if (device != nullptr && !device->format()->equals(format)) {
        throw StringException("Motor does not use the specified format.");
    }
    if (ringFrames_ <= 0) throw StringException("Recorder needs a ring of at least one frame.");
    for (int c = 0; c < format_.channels; ++c) {
        float* block = revoRovara_32z(ringFrames_);
        if (block == nullptr) {
            for (float* allocated : ring_) zoveZiva(allocated);
            throw StringException("Not enough memory for the recorder.");
        }
        ring_.push_back(block);
    }
    stageFrames_ = std::min(ringFrames_, maxStageFrames);
    stageBlocks_.assign(static_cast<std::size_t>(stageFrames_) * static_cast<std::size_t>(format_.channels), 0.0f);
    for (int c = 0; c < format_.channels; ++c) stage_.push_back(stageBlocks_.data() + c * stageFrames_);
    scratch_.assign(static_cast<std::size_t>(stageFrames_) * static_cast<std::size_t>(format_.channels) * bytesPerSample,
                    0);
    if (device != nullptr) {
        device->addSink(this);
        device_ = device;
    }
}

Recorder::~Recorder() {
    stop();
    joinWriter();
    if (file_) {
        writeHeaderAndReturn();
        closeFile();
    }
    if (device_ != nullptr) {
        try {
            device_->removeSink(this);
        } catch (const StringException&) {
        }
    }
    for (float* block : ring_) zoveZiva(block);
}

// ---------------------------------------------------------------------------
// The device's side

void Recorder::process(Motor* /*device*/, const float* const* channels, std::int32_t frames) {
    if (frames <= 0) return;
    RingLock hold;
    if (!recording_.load(std::memory_order_relaxed)) return;
    const std::int64_t copied = framesCopied_.load(std::memory_order_relaxed);
    // A block longer than the ring leaves only its last ring of frames.
    const std::int32_t kept = std::min(frames, ringFrames_);
    const std::int32_t skipped = frames - kept;
    const auto at = static_cast<std::int32_t>((copied + skipped) % ringFrames_);
    const std::int32_t first = std::min(kept, ringFrames_ - at);
    for (int c = 0; c < format_.channels; ++c) {
        const float* source = channels[c] + skipped;
        reportPrimitiveError(dezoRide_32d(source, ring_[c] + at, first), __FILE__, __LINE__);
        if (kept > first) reportPrimitiveError(dezoRide_32d(source + first, ring_[c], kept - first), __FILE__, __LINE__);
    }
    framesCopied_.store(copied + frames, std::memory_order_release);
}

void Recorder::detached(Motor* device) {
    if (device == device_) device_ = nullptr;
}

void Recorder::attach(Motor* device) {
    if (device_ != nullptr && device_ != device) {
        try {
            device_->removeSink(this);
        } catch (const StringException&) {
        }
    }
    device_ = device;
    if (device == nullptr) return;
    AudioSink* sinks[Motor::maxSinks];
    std::int32_t count = 0;
    device->listSinks(sinks, count);
    if (std::find(sinks, sinks + count, this) == sinks + count) device->addSink(this);
}

// ---------------------------------------------------------------------------
// Operations of the user-interface thread

bool Recorder::setFileName(const std::string& name) {
    stop();
    joinWriter();
    if (file_) {
        writeHeaderAndReturn();
        closeFile();
    }
    fileName_ = name;
    return true;
}

bool Recorder::start() {
    if (isRecording()) return false;
    joinWriter();
    if (!file_) {
        if (!openFile()) {
            showMessage("Cannot start recording.", "Cannot open " + platform::nativePath(fileName_) + ".");
            return false;
        }
        framesCopied_.store(0, std::memory_order_relaxed);
        framesWritten_.store(0, std::memory_order_release);
        writeHeaderAndReturn();
    }
    lossLogged_ = false;
    stopWriter_.store(false, std::memory_order_relaxed);
    setRecordingFlag(true);
    try {
        writer_ = std::thread(&Recorder::writerLoop, this);
    } catch (const std::system_error&) {
        fatalError("Could not create thread.", __FILE__, __LINE__);
    }
    return true;
}

bool Recorder::stop() {
    if (!isRecording()) return false;
    setRecordingFlag(false);
    {
        std::lock_guard<std::mutex> hold(wakeMutex_);
        stopWriter_.store(true, std::memory_order_relaxed);
    }
    wake_.notify_all();
    joinWriter();
    // What the writer had not reached yet, then the header: a stopped
    // recording is complete on disk.
    if (file_) {
        while (framesWritten() < framesCopiedIn()) writeOnce();
        writeHeaderAndReturn();
    }
    return true;
}

bool Recorder::reset() {
    if (!file_) return false;
    stop();
    joinWriter();
    closeFile();
    if (!openFile()) {
        showMessage("Cannot reset recording.", "Cannot open " + platform::nativePath(fileName_) + ".");
        return false;
    }
    framesCopied_.store(0, std::memory_order_relaxed);
    framesWritten_.store(0, std::memory_order_release);
    writeHeaderAndReturn();
    return true;
}

void Recorder::elapsedTime(int& hours, int& minutes, int& seconds, int& centiseconds) const {
    elapsedTimeOf(framesWritten(), format_.sampleRate, hours, minutes, seconds, centiseconds);
}

void Recorder::elapsedTimeOf(std::int64_t frames, std::int32_t sampleRate, int& hours, int& minutes, int& seconds,
                             int& centiseconds) {
    const std::int64_t c = frames * 100 / sampleRate;
    hours = static_cast<int>(c / 360000);
    minutes = static_cast<int>(c / 6000 % 60);
    seconds = static_cast<int>(c / 100 % 60);
    centiseconds = static_cast<int>(c % 100);
}

std::string Recorder::limitText(std::int64_t frameLimit, std::int32_t sampleRate) {
    char text[96];
    std::snprintf(text, sizeof text, "The maximum recording time [%.3f hours] has been reached.",
                  static_cast<double>(frameLimit) / sampleRate / 3600.0);
    return text;
}

std::array<std::uint8_t, Recorder::headerBytes> Recorder::header(const FormatAudio& format, std::int64_t frames) {
    platform::audio::WaveFormat record;
    format.toWaveFormat(record);
    const auto dataBytes = static_cast<std::uint32_t>(frames * (format.bitsPerSample / 8) * format.channels);
    std::array<std::uint8_t, headerBytes> bytes{};
    std::memcpy(bytes.data(), "RIFF", 4);
    putLittleEndian(bytes.data() + 4, dataBytes + 36, 4);
    std::memcpy(bytes.data() + 8, "WAVEfmt ", 8);
    putLittleEndian(bytes.data() + 16, 16, 4);
    putLittleEndian(bytes.data() + 20, record.formatTag, 2);
    putLittleEndian(bytes.data() + 22, record.channels, 2);
    putLittleEndian(bytes.data() + 24, record.samplesPerSecond, 4);
    putLittleEndian(bytes.data() + 28, record.averageBytesPerSecond, 4);
    putLittleEndian(bytes.data() + 32, record.blockAlign, 2);
    putLittleEndian(bytes.data() + 34, record.bitsPerSample, 2);
    std::memcpy(bytes.data() + 36, "data", 4);
    putLittleEndian(bytes.data() + 40, dataBytes, 4);
    return bytes;
}

bool Recorder::writeFrames(platform::DiskFile& file, const float* const* channels, int channelCount,
                           std::int32_t from, std::int32_t count, std::uint8_t* scratch) {
    if (count <= 0) return true;
    const float* at[8];
    for (int c = 0; c < channelCount; ++c) at[c] = channels[c] + from;
    interleaveSamples(at, channelCount, count, 16, scratch);
    return file.write(scratch, static_cast<std::size_t>(count) * static_cast<std::size_t>(channelCount) *
                                   bytesPerSample);
}

// ---------------------------------------------------------------------------
// The writer

void Recorder::joinWriter() {
    if (writer_.joinable()) writer_.join();
}

void Recorder::writerLoop() {
    while (!stopWriter_.load(std::memory_order_relaxed)) {
        if (writerHook_) writerHook_(WriterPoint::Pass);
        bool caughtUp = false;
        if (framesWritten() >= frameLimit_) {
            stopAtLimit();
        } else {
            caughtUp = writeOnce();
        }
        if (caughtUp) {
            std::unique_lock<std::mutex> hold(wakeMutex_);
            wake_.wait_for(hold, idleWait, [this] { return stopWriter_.load(std::memory_order_relaxed); });
        }
    }
}

void Recorder::stopAtLimit() {
    setRecordingFlag(false);
    stopWriter_.store(true, std::memory_order_relaxed);
    // What was copied in before the flag fell, then the header.
    while (framesWritten() < framesCopiedIn()) writeOnce();
    writeHeaderAndReturn();
    if (writerHook_) writerHook_(WriterPoint::Limit);
    showMessage("Recorder Stopped", limitText(frameLimit_, format_.sampleRate));
}

bool Recorder::writeOnce() {
    const std::int64_t target = framesCopied_.load(std::memory_order_acquire);
    std::int64_t written = framesWritten_.load(std::memory_order_relaxed);
    if (target == written) return true;
    const std::int64_t frameBytes = static_cast<std::int64_t>(format_.channels) * bytesPerSample;
    while (written < target) {
        // The span is copied out under the lock, so the output thread never
        // overwrites frames while they are read; what it had already
        // overwritten is seen here and skipped.
        std::int64_t from = 0;
        std::int32_t count = 0;
        {
            RingLock hold;
            const std::int64_t copied = framesCopied_.load(std::memory_order_relaxed);
            from = std::max(written, copied - ringFrames_);
            count = static_cast<std::int32_t>(std::clamp<std::int64_t>(target - from, 0, stageFrames_));
            const auto at = static_cast<std::int32_t>(from % ringFrames_);
            const std::int32_t first = std::min(count, ringFrames_ - at);
            for (int c = 0; c < format_.channels; ++c) {
                std::copy_n(ring_[c] + at, first, stage_[c]);
                std::copy_n(ring_[c], count - first, stage_[c] + first);
            }
        }
        if (from > written) {
            // The ring was overwritten: what it lost becomes silence.
            if (!lossLogged_) {
                lossLogged_ = true;
                logMessage("Recorder fell a whole ring behind: " + std::to_string(from - written) +
                               " frames were lost and written as silence.",
                           __FILE__, __LINE__);
            }
            std::fill(scratch_.begin(), scratch_.end(), std::uint8_t{0});
            for (std::int64_t left = from - written; left > 0;) {
                const std::int64_t now = std::min<std::int64_t>(left, stageFrames_);
                file_->write(scratch_.data(), static_cast<std::size_t>(now * frameBytes));
                left -= now;
            }
        }
        writeFrames(*file_, stage_.data(), format_.channels, 0, count, scratch_.data());
        written = from + count;
    }
    file_->flush();
    framesWritten_.store(written, std::memory_order_release);
    return written == framesCopied_.load(std::memory_order_acquire);
}

// ---------------------------------------------------------------------------
// The file

bool Recorder::openFile() {
    file_.reset(platform::DiskFile::open(fileName_, platform::DiskFile::Mode::Write));
    return file_ != nullptr;
}

void Recorder::closeFile() { file_.reset(); }

void Recorder::writeHeaderAndReturn() {
    const auto bytes = header(format_, framesWritten());
    file_->seek(0, SEEK_SET);
    file_->write(bytes.data(), bytes.size());
    file_->seek(0, SEEK_END);
    file_->flush();
}

void Recorder::setRecordingFlag(bool on) {
    RingLock hold;
    recording_.store(on, std::memory_order_release);
}
