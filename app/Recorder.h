// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: a tap on the main output that writes nothing. It counts the
// blocks it sees and follows the device it is attached to.
#ifndef VELKARN_APP_RECORDER_H
#define VELKARN_APP_RECORDER_H

#include "audio/AudioSink.h"
#include "audio/FormatAudio.h"
#include "audio/Motor.h"

#include <atomic>
#include <cstdint>
#include <string>

class Recorder : public AudioSink {
public:
    // Registers itself on the device when there is one.
    Recorder(const FormatAudio& /*format*/, Motor* device, float /*seconds*/) : device_(device) {
        if (device_ != nullptr) device_->addSink(this);
    }
    ~Recorder() override {
        if (device_ != nullptr) device_->removeSink(this);
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void process(Motor* /*device*/, const float* const* /*channels*/, std::int32_t /*frames*/) override {
        blocks_.fetch_add(1, std::memory_order_relaxed);
    }
    void detached(Motor* /*device*/) override { device_ = nullptr; }
    void attach(Motor* device) override { device_ = device; }

    bool setFileName(const std::string& name) {
        fileName_ = name;
        return true;
    }
    const std::string& fileName() const { return fileName_; }
    bool isRecording() const { return false; }
    Motor* device() const { return device_; }
    std::int64_t blocksSeen() const { return blocks_.load(std::memory_order_relaxed); }

private:
    Motor* device_;
    std::string fileName_;
    std::atomic<std::int64_t> blocks_{0};
};

#endif
