// Stand-in until "Scope: scope window, note read-out and frequency value"
// replaces it: the scope's two windows and a tap that counts the blocks it
// sees, following the device it is attached to.
#ifndef VELKARN_SCOPE_SCOPE_H
#define VELKARN_SCOPE_SCOPE_H

#include "app/ApplicationInterface.h"
#include "audio/AudioSink.h"
#include "audio/Motor.h"
#include "framework/Window.h"

#include <atomic>
#include <cstdint>
#include <memory>

class Scope : public AudioSink {
public:
    // Registers itself on the device when there is one.
    Scope(void* instance, int showCommand, Motor* device, ApplicationInterface* /*application*/) : device_(device) {
        WindowParameters p;
        p.instance = instance;
        p.showCommand = showCommand;
        p.backgroundKey = "scope/background/graph";
        p.title = "Scope";
        graph_ = std::make_unique<Window>(p);
        p.backgroundKey = "scope/background/control";
        p.title = "Scope Control";
        control_ = std::make_unique<Window>(p);
        if (device_ != nullptr) device_->addSink(this);
    }
    ~Scope() override {
        if (device_ != nullptr) device_->removeSink(this);
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

    Window* graphWindow() const { return graph_.get(); }
    Window* controlWindow() const { return control_.get(); }

    void process(Motor* /*device*/, const float* const* /*channels*/, std::int32_t /*frames*/) override {
        blocks_.fetch_add(1, std::memory_order_relaxed);
    }
    void detached(Motor* /*device*/) override { device_ = nullptr; }
    void attach(Motor* device) override { device_ = device; }
    Motor* device() const { return device_; }
    std::int64_t blocksSeen() const { return blocks_.load(std::memory_order_relaxed); }

private:
    Motor* device_;
    std::unique_ptr<Window> graph_;
    std::unique_ptr<Window> control_;
    std::atomic<std::int64_t> blocks_{0};
};

#endif
