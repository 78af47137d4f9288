#include "EndToEndProgram.h"

#include "AppTestSupport.h"
#include "ImageTestSupport.h"
#include "OutputThreadCalls.h"
#include "app/GUIStrip.h"
#include "app/VelkarnStandAlone.h"
#include "audio/TrackAudio.h"
#include "framework/Image.h"
#include "framework/Window.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/TestInput.h"
#include "platform/UiScript.h"
#include "platform/audio/NullAudio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace e2e {

using platform::audio::NullAudio;

namespace {

std::function<void(Velkarn&)> startedScript;
void runStartedScript(Velkarn& app) { startedScript(app); }

}  // namespace

Program::Program() { homeVariable_.emplace("VELKARN_HOME", home_.path()); }

Program::~Program() = default;

int Program::run(const std::function<void(Velkarn&)>& script) {
    platform::uiScript::enable();
    platform::VirtualClock::enable();
    NullAudio::setMemoryCapture(true);
    startedScript = [this, &script](Velkarn& app) {
        app_ = &app;
        followMainOutput();
        script(app);
    };
    VelkarnStandAlone::setStartedHook(runStartedScript);
    const int exitCode = VelkarnStandAlone::standAloneMain(nullptr, nullptr, "", 1);
    VelkarnStandAlone::setStartedHook(nullptr);
    startedScript = nullptr;
    app_ = nullptr;
    boxes_ = app_test::boxes();
    NullAudio::setMemoryCapture(false);
    NullAudio::forget();
    platform::VirtualClock::disable();
    platform::uiScript::disable();
    return exitCode;
}

void Program::followMainOutput() {
    // The main output is the first running stream that is not closed.
    for (const platform::audio::NullStreamRecord& record : NullAudio::streams()) {
        if (!record.closed) {
            mainStream_ = record.openOrder;
            return;
        }
    }
    mainStream_ = 0;
}

void Program::step() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (app_->playback(0)->framesAhead() < 44100 || app_->playback(1)->framesAhead() < 44100) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the render threads fell behind at " << app_->currentSampleTime();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!NullAudio::advanceToDeadline(mainStream_, 1)) ADD_FAILURE() << "no deadline on stream " << mainStream_;
    platform::dispatchPostedMessages();
}

void Program::routeToolCloses() {
    platform::dispatchPostedMessages();
    const platform::WindowHandle main = app_->mainWindow()->handle();
    while (platform::queuedMessageCount() > 0) {
        platform::Message message;
        if (!platform::getMessage(message)) break;
        if (message.id != platform::closeRequestMessage) {
            platform::dispatchMessage(message);
        } else if (message.window == main) {
            ADD_FAILURE() << "the main window was asked to close during the script";
        } else {
            Velkarn* application = app_;
            VelkarnStandAlone::routeCloseRequest(application, message.window);
        }
    }
}

void Program::close() {
    platform::uiScript::pushYes();
    EXPECT_TRUE(platform::test_input::close(app_->mainWindow()->handle()));
}

platform::Point centreOf(const GUIRectangle& r) { return {(r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2}; }

platform::Point pointOnStrip(Velkarn& app, int deck, int beat) {
    for (int r = 0; r < Velkarn::stripRows; ++r) {
        GUIStrip* strip = app.strip(deck, r);
        if (beat < strip->startBeat() || beat > strip->lastBeat()) continue;
        const TrackBeat record = app.beatAt(beat);
        const auto offset = record.position + record.length / 2 - strip->startPosition();
        return {strip->x0 + static_cast<int>(static_cast<double>(offset) / strip->samplesPerPixel()),
                (strip->y0 + strip->y1) / 2};
    }
    ADD_FAILURE() << "beat " << beat << " is on no row of deck " << deck;
    return {900, 300};
}

OutputWatch::OutputWatch(Velkarn& app, std::size_t capacity, std::int32_t period)
    : capacity(capacity), period(period), app_(app) {
    left.assign(capacity * static_cast<std::size_t>(period), 0.0f);
    right.assign(capacity * static_cast<std::size_t>(period), 0.0f);
    starts.assign(capacity, 0);
}

void OutputWatch::render(Motor* device, float** channels, std::int32_t frames) {
    const std::int64_t start = app_.currentSampleTime();
    setOnOutputThread(true);
    app_.render(device, channels, frames);
    setOnOutputThread(false);
    const std::size_t n = blocks.load();
    if (n < capacity && frames == period) {
        const auto at = static_cast<std::ptrdiff_t>(n * static_cast<std::size_t>(period));
        std::copy(channels[0], channels[0] + frames, left.begin() + at);
        std::copy(channels[1], channels[1] + frames, right.begin() + at);
        starts[n] = start;
        blocks.store(n + 1);
    }
}

std::unique_ptr<Image> shownArea(Window& window, int x, int y, int width, int height) {
    const std::vector<std::uint8_t> bytes = window.nativeWindow()->readBack(platform::Rect{x, y, width, height});
    return std::unique_ptr<Image>(image_test::imageFromBytes(width, height, bytes));
}

}  // namespace e2e
