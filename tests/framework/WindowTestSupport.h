// The fixture of the tests that open windows on the offscreen screen: test
// skins, fatal stops that throw, scripted boxes, and the queue left empty.
#ifndef VELKARN_TESTS_FRAMEWORK_WINDOWTESTSUPPORT_H
#define VELKARN_TESTS_FRAMEWORK_WINDOWTESTSUPPORT_H

#include "FrameworkTest.h"
#include "ImageTestSupport.h"
#include "RecordingComponent.h"

#include "framework/GUIPanel.h"
#include "framework/Surface.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/UiScript.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class WindowTestBase : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        platform::uiScript::enable();
        skins.emplace();
    }
    void TearDown() override {
        windows.clear();
        drainQueue();
        platform::uiScript::disable();
        platform::VirtualClock::disable();
        platform::setWorkArea({});
        platform::setFrameExtents({});
        skins.reset();
        FrameworkTest::TearDown();
    }

    Window& open(WindowParameters parameters) {
        windows.push_back(std::make_unique<Window>(parameters));
        return *windows.back();
    }
    Window& open(const std::string& title, const std::string& backgroundKey, WindowClient* client = nullptr) {
        WindowParameters parameters;
        parameters.title = title;
        parameters.backgroundKey = backgroundKey;
        parameters.client = client;
        return open(parameters);
    }

    // Dispatches posted messages (and window-system events) until the
    // condition holds or two seconds pass.
    static bool dispatchUntil(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            platform::dispatchPostedMessages();
        }
        return true;
    }

    // Takes every message left queued, close requests included.
    static void drainQueue() {
        platform::dispatchPostedMessages();
        platform::postQuitMessage(0);
        platform::Message message;
        while (platform::getMessage(message)) {
        }
    }

    std::optional<image_test::SkinDirectory> skins;
    std::vector<std::unique_ptr<Window>> windows;
};

#endif
