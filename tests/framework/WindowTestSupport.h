// The fixture of the tests that open windows on the offscreen screen: test
// skins, fatal stops that throw, scripted boxes, and the queue left empty.
#ifndef VELKARN_TESTS_FRAMEWORK_WINDOWTESTSUPPORT_H
#define VELKARN_TESTS_FRAMEWORK_WINDOWTESTSUPPORT_H

#include "FrameworkTest.h"
#include "ImageTestSupport.h"
#include "RecordingComponent.h"

#include "framework/GUIPanel.h"
#include "framework/Image.h"
#include "framework/Surface.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"
#include "platform/UiScript.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// The frame the layer holds for the whole window, once its presents are done.
// It must equal the back image: a missed dirty mark shows as a stale pixel.
inline std::unique_ptr<Image> presentedFrame(Window& window) {
    const platform::Rect all{0, 0, window.width(), window.height()};
    const std::vector<std::uint8_t> frame = window.nativeWindow()->readBack(all);
    image_test::Bytes back = image_test::pixelBytes(window.surface()->backImage());
    for (std::size_t at = 3; at < back.size(); at += 4) back[at] = 255;  // the screen has no alpha
    EXPECT_TRUE(frame == back) << "the frame differs from the back image";
    return std::unique_ptr<Image>(image_test::imageFromBytes(window.width(), window.height(), frame));
}

// Compares the picture pixel for pixel with tests/framework/golden/<name>.png.
// With VELKARN_UPDATE_GOLDENS=1 it rewrites the golden instead and returns
// true; look at the file before committing it.
inline bool goldenRewritten(const Image& shot, const std::string& name) {
    return image_test::goldenRewritten(shot, testing_support::sourceDirectory() + "/tests/framework/golden/" + name + ".png");
}

#endif
