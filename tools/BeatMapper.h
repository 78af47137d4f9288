// Stand-in until "Beat mapper: beat-map widget and tempo estimation, marking and saving beats, window, playback and metronome, dialogs and batch jobs"
// replaces it: the beat mapper's window, whose modified flag is the edit
// flag, and a render that plays silence (it counts its calls).
#ifndef VELKARN_TOOLS_BEATMAPPER_H
#define VELKARN_TOOLS_BEATMAPPER_H

#include "app/ApplicationInterface.h"
#include "audio/AudioClient.h"
#include "audio/FormatAudio.h"
#include "framework/Window.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class BeatMapper : public AudioClient {
public:
    BeatMapper(void* instance, int showCommand, const FormatAudio& /*format*/, ApplicationInterface* /*application*/,
               const std::string& path)
        : path_(path) {
        WindowParameters parameters;
        parameters.instance = instance;
        parameters.showCommand = showCommand;
        parameters.backgroundKey = "beatMapper/background/main";
        parameters.title = "BeatMapper";
        window_ = std::make_unique<Window>(parameters);
    }

    Window* window() const { return window_.get(); }
    const std::string& path() const { return path_; }
    bool isEdited() const { return window_->isModified(); }
    void setEdited(bool edited) { window_->setModified(edited); }

    void render(Motor* /*device*/, float** channels, std::int32_t frames) override {
        std::fill(channels[0], channels[0] + frames, 0.0f);
        std::fill(channels[1], channels[1] + frames, 0.0f);
        renders_.fetch_add(1, std::memory_order_relaxed);
    }
    std::int64_t renderCount() const { return renders_.load(std::memory_order_relaxed); }

private:
    std::string path_;
    std::unique_ptr<Window> window_;
    std::atomic<std::int64_t> renders_{0};
};

#endif
