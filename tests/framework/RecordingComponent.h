// A component for tests that records every call it gets, as text, into a
// log shared with its siblings (so the order across components shows).
#ifndef VELKARN_TESTS_FRAMEWORK_RECORDINGCOMPONENT_H
#define VELKARN_TESTS_FRAMEWORK_RECORDINGCOMPONENT_H

#include "framework/GUIComponent.h"
#include "framework/Image.h"
#include "framework/Window.h"

#include <functional>
#include <string>
#include <vector>

class RecordingComponent : public GUIComponent {
public:
    RecordingComponent(std::string name, int x0, int y0, int x1, int y1, std::vector<std::string>& log)
        : name_(std::move(name)), log_(log) {
        set(x0, y0, x1, y1);
    }
    ~RecordingComponent() override { log_.push_back(name_ + " deleted"); }

    void draw(const GUIRectangle& clip) override {
        log_.push_back(name_ + " draw " + rect(clip));
        if (onDraw) onDraw(clip);
    }
    void mouseDown(const GUIPoint& p, bool doubleClick) override {
        log_.push_back(name_ + (doubleClick ? " double " : " down ") + point(p));
        if (onMouse) onMouse();
    }
    void mouseUp(const GUIPoint& p) override {
        log_.push_back(name_ + " up " + point(p));
        if (onMouse) onMouse();
    }
    void mouseMove(const GUIPoint& p) override {
        log_.push_back(name_ + " move " + point(p));
        if (onMouse) onMouse();
    }
    void mouseWheel(const GUIPoint& p, int notches) override {
        log_.push_back(name_ + " wheel " + point(p) + " " + std::to_string(notches));
        if (onMouse) onMouse();
    }
    void mouseLeave() override {
        log_.push_back(name_ + " leave");
        if (onMouse) onMouse();
    }

    using GUIComponent::redraw;

    // Runs inside draw (e.g. to paint) and after each mouse call (e.g. to
    // redraw).
    std::function<void(const GUIRectangle&)> onDraw;
    std::function<void()> onMouse;

    static std::string rect(const GUIRectangle& r) {
        return std::to_string(r.x0) + "," + std::to_string(r.y0) + "-" + std::to_string(r.x1) + "," + std::to_string(r.y1);
    }
    static std::string point(const GUIPoint& p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

private:
    std::string name_;
    std::vector<std::string>& log_;
};

#endif
