// The recorder: a tap on the main output that writes the finished mix to a
// 16-bit PCM WAV file.
//
// The output's audio thread copies every block into a ring of ringSeconds
// (process: lock 3 only, no allocation, no file work); a writer thread of
// the recorder's own drains the ring into the file, converted as the
// devices convert (clamped, NaN as 0), and flushes after each pass.
//
// States: no file (at first and after setFileName), file open and idle,
// recording. A stop keeps the file open and a later start appends to it;
// the header states every frame written after each stop, at the frame
// limit and when the file is closed, so a stopped recording is complete on
// disk. At the limit the writer stops the recording by itself and shows
// the "Recorder Stopped" box on its own thread; whatever touches the file
// next (start, reset, setFileName, the destructor) first waits for that
// writer to end.
//
// The writer copies the ring out in pieces under lock 3 before it converts
// them, so it never reads frames the output thread is overwriting. A writer
// that falls a whole ring behind loses the oldest frames: they are written
// as silence, so the file keeps the recording's time line, and logged once
// per recording.
//
// Threads: process on the output's audio thread; the writer on its own;
// everything else on the user-interface thread.
#ifndef VELKARN_APP_RECORDER_H
#define VELKARN_APP_RECORDER_H

#include "audio/AudioSink.h"
#include "audio/FormatAudio.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Motor;

namespace platform {
class DiskFile;
}

class Recorder : public AudioSink {
public:
    // Six hours at 44,100 Hz: the data size then still fits the header's
    // unsigned 32-bit field.
    static constexpr std::int64_t defaultFrameLimit = 952560000;
    static constexpr int headerBytes = 44;

    // Throws StringException "Recorder currently supports only CD format."
    // for another format, and "Motor does not use the specified format."
    // when the device plays another one. Registers on the device when there
    // is one.
    Recorder(const FormatAudio& format, Motor* device, float ringSeconds,
             std::int64_t frameLimit = defaultFrameLimit);
    // Stops, writes the header, closes the file, leaves the device.
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void process(Motor* device, const float* const* channels, std::int32_t frames) override;
    void detached(Motor* device) override;
    // Leaves the device it was on and registers on this one (unless it is
    // already among its sinks).
    void attach(Motor* device) override;

    // Stops a recording, closes the file with its header written, and takes
    // the name. Always true.
    bool setFileName(const std::string& name);
    const std::string& fileName() const { return fileName_; }

    // False while recording, and when the file cannot be created ("Cannot
    // start recording." box; the counters stay as they were).
    bool start();
    // False when not recording; returns once the writer has written all it
    // was given and the header states it.
    bool stop();
    // Empties the file: false without one, or when it cannot be opened again
    // ("Cannot reset recording." box; no file afterwards).
    bool reset();

    bool isRecording() const { return recording_.load(std::memory_order_acquire); }
    std::int64_t framesWritten() const { return framesWritten_.load(std::memory_order_acquire); }
    std::int64_t framesCopiedIn() const { return framesCopied_.load(std::memory_order_acquire); }
    std::int32_t ringFrames() const { return ringFrames_; }
    Motor* device() const { return device_; }

    // Frames written as hours, minutes, seconds and centiseconds.
    void elapsedTime(int& hours, int& minutes, int& seconds, int& centiseconds) const;
    static void elapsedTimeOf(std::int64_t frames, std::int32_t sampleRate, int& hours, int& minutes, int& seconds,
                              int& centiseconds);
    // The text of the box shown when a recording reaches the frame limit.
    static std::string limitText(std::int64_t frameLimit, std::int32_t sampleRate);

    // The 44-byte RIFF header of a file holding that many frames.
    static std::array<std::uint8_t, headerBytes> header(const FormatAudio& format, std::int64_t frames);

    // Converts frames [from, from + count) of the channel buffers to
    // interleaved 16-bit samples in scratch (count x channels x 2 bytes) and
    // writes them with one stream write: the writer's pass.
    static bool writeFrames(platform::DiskFile& file, const float* const* channels, int channelCount,
                            std::int32_t from, std::int32_t count, std::uint8_t* scratch);

    // Test seam: runs on the writer thread at the start of every pass
    // (Pass) and before the limit's box (Limit), so a test can hold the
    // writer there. Set it while no writer runs.
    enum class WriterPoint { Pass, Limit };
    void setWriterHook(std::function<void(WriterPoint)> hook) { writerHook_ = std::move(hook); }

private:
    void joinWriter();
    void writerLoop();
    // At the frame limit: the recording stops, the rest is written, the
    // header states it, and the box waits on this thread.
    void stopAtLimit();
    // Writes what was copied in and not yet written; true when nothing new
    // came meanwhile.
    bool writeOnce();
    void writeHeaderAndReturn();
    bool openFile();
    void closeFile();
    void setRecordingFlag(bool on);

    Motor* device_ = nullptr;
    const std::int32_t ringFrames_;
    const FormatAudio format_;
    const std::int64_t frameLimit_;
    std::vector<float*> ring_;
    // The writer's copy of a piece of the ring, taken under lock 3, and its
    // conversion buffer.
    std::int32_t stageFrames_ = 0;
    std::vector<float> stageBlocks_;
    std::vector<float*> stage_;
    std::vector<std::uint8_t> scratch_;
    std::unique_ptr<platform::DiskFile> file_;
    std::string fileName_;
    std::atomic<bool> recording_{false};
    std::atomic<std::int64_t> framesCopied_{0};
    std::atomic<std::int64_t> framesWritten_{0};
    std::thread writer_;
    std::atomic<bool> stopWriter_{false};
    std::mutex wakeMutex_;  // wakes an idle writer at once on stop
    std::condition_variable wake_;
    bool lossLogged_ = false;  // the writer's (set before it starts)
    std::function<void(WriterPoint)> writerHook_;
};

#endif
