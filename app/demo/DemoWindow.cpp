#include "app/demo/DemoWindow.h"

#include "app/demo/DemoPattern.h"
#include "framework/Log.h"
#include "platform/EventLoop.h"

#include <cstdio>

DemoWindow::DemoWindow() : back_(static_cast<std::size_t>(demo::windowWidth) * demo::windowHeight * 4) {
    for (int y = 0; y < demo::windowHeight; ++y) {
        for (int x = 0; x < demo::windowWidth; ++x) {
            demo::Rgb colour = demo::patternAt(x, y);
            std::uint8_t* pixel = &back_[(static_cast<std::size_t>(y) * demo::windowWidth + x) * 4];
            pixel[0] = colour.blue;
            pixel[1] = colour.green;
            pixel[2] = colour.red;
            pixel[3] = 255;
        }
    }
    platform::WindowSpec spec;
    spec.clientWidth = demo::windowWidth;
    spec.clientHeight = demo::windowHeight;
    spec.title = "Velkarn";
    window_.reset(platform::createNativeWindow(spec, this));
    if (!window_) fatalError("Cannot create the window.", __FILE__, __LINE__);
    // Centred in the work area, as the program's windows are placed.
    platform::Rect area = platform::workArea();
    platform::FrameExtents frame = platform::frameExtents();
    int frameWidth = demo::windowWidth + frame.left + frame.right;
    int frameHeight = demo::windowHeight + frame.top + frame.bottom;
    window_->move({area.x + (area.width - frameWidth) / 2, area.y + (area.height - frameHeight) / 2});
    window_->show();
    window_->updateNow();
}

DemoWindow::~DemoWindow() = default;

platform::WindowHandle DemoWindow::handle() const { return window_->handle(); }

void DemoWindow::present(const platform::Rect& area) {
    window_->present(back_.data(), demo::windowWidth * 4, &area, 1);
}

void DemoWindow::paint(const platform::Rect& update) {
    if (update.isZero()) return;
    present(update);
    if (!announced_) {
        // The screenshot test waits for this line before it looks.
        announced_ = true;
        platform::Point at = window_->position();
        std::printf("ready %d %d %d %d\n", at.x, at.y, demo::windowWidth, demo::windowHeight);
        std::fflush(stdout);
    }
}

void DemoWindow::closeRequested() { platform::postMessage(window_->handle(), platform::closeRequestMessage, 0, 0); }

void DemoWindow::character(std::uint8_t code) {
    if (code == 27) closeRequested();
}

void DemoWindow::mouseDown(platform::Point point) {
    window_->captureMouse();
    demo::Area square = demo::squareAround(point.x, point.y);
    for (int y = square.y; y < square.y + square.height; ++y) {
        for (int x = square.x; x < square.x + square.width; ++x) {
            std::uint8_t* pixel = &back_[(static_cast<std::size_t>(y) * demo::windowWidth + x) * 4];
            pixel[0] = demo::squareColor.blue;
            pixel[1] = demo::squareColor.green;
            pixel[2] = demo::squareColor.red;
        }
    }
    present({square.x, square.y, square.width, square.height});
    std::printf("square %d %d\n", point.x, point.y);
    std::fflush(stdout);
}

void DemoWindow::mouseUp(platform::Point /*point*/) { window_->releaseMouse(); }
