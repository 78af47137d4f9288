// Stand-in until "Track database (info.zlt), browser window and previewer"
// replaces it: the browser's window with a previewer window that opens on
// request, and a pre-listen render that plays silence (it counts its calls).
#ifndef VELKARN_TOOLS_BROWSER_H
#define VELKARN_TOOLS_BROWSER_H

#include "app/ApplicationInterface.h"
#include "audio/AudioClient.h"
#include "framework/Window.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

class Browser : public AudioClient {
public:
    Browser(void* instance, int showCommand, ApplicationInterface* /*application*/)
        : instance_(instance), showCommand_(showCommand) {
        window_ = std::make_unique<Window>(parameters("browser/background/main", "Browser"));
    }

    Window* window() const { return window_.get(); }
    Window* previewerWindow() const { return previewer_.get(); }
    void openPreviewer() {
        if (!previewer_) previewer_ = std::make_unique<Window>(parameters("previewer/background/main", "Previewer"));
    }
    void closePreviewer() { previewer_.reset(); }

    void render(Motor* /*device*/, float** channels, std::int32_t frames) override {
        std::fill(channels[0], channels[0] + frames, 0.0f);
        std::fill(channels[1], channels[1] + frames, 0.0f);
        renders_.fetch_add(1, std::memory_order_relaxed);
    }
    std::int64_t renderCount() const { return renders_.load(std::memory_order_relaxed); }

private:
    WindowParameters parameters(const char* key, const char* title) const {
        WindowParameters p;
        p.instance = instance_;
        p.showCommand = showCommand_;
        p.backgroundKey = key;
        p.title = title;
        return p;
    }

    void* instance_;
    int showCommand_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<Window> previewer_;
    std::atomic<std::int64_t> renders_{0};
};

#endif
