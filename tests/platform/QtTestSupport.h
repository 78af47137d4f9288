// Helpers of the tests that drive the Qt interface.
#ifndef VELKARN_TESTS_PLATFORM_QTTESTSUPPORT_H
#define VELKARN_TESTS_PLATFORM_QTTESTSUPPORT_H

#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/UiBackend.h"

#include <QApplication>
#include <QWidget>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace qt_test_support {

// Everything a window's events report, as text.
class RecordingEvents : public platform::WindowEvents {
public:
    void paint(const platform::Rect& r) override { add("paint " + rect(r)); }
    void closeRequested() override { add("close"); }
    void character(std::uint8_t code) override { add("char " + std::to_string(code)); }
    void timer(int id) override { add("timer " + std::to_string(id)); }
    void mouseMove(platform::Point p) override { add("move " + point(p)); }
    void mouseDown(platform::Point p) override { add("down " + point(p)); }
    void mouseUp(platform::Point p) override { add("up " + point(p)); }
    void mouseDoubleClick(platform::Point p) override { add("double " + point(p)); }
    void mouseWheel(platform::Point p, int delta) override { add("wheel " + point(p) + " " + std::to_string(delta)); }
    void mouseLeave() override { add("leave"); }
    void message(const platform::Message& m) override {
        add("message " + std::to_string(m.id) + " " + std::to_string(m.wParam) + " " + std::to_string(m.lParam));
    }

    std::vector<std::string> take() {
        std::vector<std::string> taken;
        taken.swap(events);
        return taken;
    }
    bool has(const std::string& event) const {
        for (const auto& e : events) {
            if (e == event) return true;
        }
        return false;
    }
    std::vector<std::string> events;

private:
    void add(std::string event) { events.push_back(std::move(event)); }
    static std::string point(platform::Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
    static std::string rect(const platform::Rect& r) {
        return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," + std::to_string(r.height);
    }
};

// The toolkit widget of a window, found by its title.
inline QWidget* widgetTitled(const std::string& title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowTitle().toStdString() == title && widget->isVisible()) return widget;
    }
    return nullptr;
}

// Handles window-system events (and so, inside a nested loop, posted
// messages) until the condition holds or two seconds pass.
inline bool processEventsUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        platform::uiBackend()->processEvents();
    }
    return true;
}

// The same, dispatching posted messages as a test's own loop.
inline bool dispatchUntil(const std::function<bool()>& condition) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        platform::dispatchPostedMessages();
    }
    return true;
}

// Takes and drops every message left queued (close requests included).
inline void drainQueue() {
    platform::dispatchPostedMessages();
    platform::postQuitMessage(0);
    platform::Message message;
    while (platform::getMessage(message)) {
    }
}

}  // namespace qt_test_support

#endif
