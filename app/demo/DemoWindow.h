// The demo's one window: a test pattern drawn into a back surface and
// presented by rectangles; a click paints a square and presents only that.
#ifndef VELKARN_APP_DEMO_DEMOWINDOW_H
#define VELKARN_APP_DEMO_DEMOWINDOW_H

#include "platform/NativeWindow.h"

#include <cstdint>
#include <memory>
#include <vector>

class DemoWindow final : public platform::WindowEvents {
public:
    DemoWindow();
    ~DemoWindow() override;

    platform::WindowHandle handle() const;

    void paint(const platform::Rect& update) override;
    void closeRequested() override;
    void character(std::uint8_t code) override;
    void timer(int /*id*/) override {}
    void mouseMove(platform::Point /*point*/) override {}
    void mouseDown(platform::Point point) override;
    void mouseUp(platform::Point /*point*/) override;
    void mouseDoubleClick(platform::Point point) override { mouseDown(point); }
    void mouseWheel(platform::Point /*point*/, int /*delta*/) override {}
    void mouseLeave() override {}
    void message(const platform::Message& /*message*/) override {}

private:
    void present(const platform::Rect& area);

    std::vector<std::uint8_t> back_;  // BGRA rows
    std::unique_ptr<platform::NativeWindow> window_;
    bool announced_ = false;
};

#endif
