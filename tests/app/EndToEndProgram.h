// The whole program in this process for flows that go through several of
// its windows: the stand-alone main with its message loop on the built-in
// skin, offscreen, an empty data directory, scripted boxes, the virtual
// clock and the null outputs captured to memory and stepped one period at a
// time. The script runs on the user-interface thread once the program has
// started and ends by asking it to close.
#ifndef VELKARN_TESTS_APP_ENDTOENDPROGRAM_H
#define VELKARN_TESTS_APP_ENDTOENDPROGRAM_H

#include "TestEnvironment.h"
#include "app/Velkarn.h"
#include "audio/AudioClient.h"
#include "framework/GUIComponent.h"
#include "platform/NativeWindow.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Image;

namespace e2e {

class Program {
public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Runs the program to its end; `script` gets it once started. The
    // settings store lives in home() before, during and after the run.
    int run(const std::function<void(Velkarn&)>& script);

    // One period of the main output once both decks are a second ahead,
    // then the windows' own work (posted messages, timers due).
    void step();
    void steps(int periods) {
        for (int i = 0; i < periods; ++i) step();
    }
    // Hands the close requests of tool windows to the loop's routing, as
    // the program's loop would (the script runs before that loop).
    void routeToolCloses();
    // Ends the script: the close request, answered Yes.
    void close();

    const std::string& home() const { return home_.path(); }
    // Every box the run asked, "caption|text", as the run ended.
    const std::vector<std::string>& boxes() const { return boxes_; }
    Velkarn& app() { return *app_; }
    // The null stream of the main output (it changes when it is reopened).
    int mainStream() const { return mainStream_; }
    void followMainOutput();

private:
    testing_support::TemporaryDirectory home_;
    std::optional<testing_support::ScopedEnvironment> homeVariable_;
    Velkarn* app_ = nullptr;
    int mainStream_ = 0;
    std::vector<std::string> boxes_;
};

// An output's producer as the test sees it: the application renders each
// block with the output-thread flag set, then a block of `period` frames
// is kept with the mix time it began at, in storage reserved before the
// run (up to `capacity` blocks).
class OutputWatch : public AudioClient {
public:
    OutputWatch(Velkarn& app, std::size_t capacity, std::int32_t period);
    void render(Motor* device, float** channels, std::int32_t frames) override;

    const std::size_t capacity;
    const std::int32_t period;
    std::vector<float> left, right;
    std::vector<std::int64_t> starts;
    std::atomic<std::size_t> blocks{0};

private:
    Velkarn& app_;
};

platform::Point centreOf(const GUIRectangle& r);
// The middle of a beat on the deck's strip of the row that shows it.
platform::Point pointOnStrip(Velkarn& app, int deck, int beat);
// What a window shows in an area (as the layer holds it).
std::unique_ptr<Image> shownArea(Window& window, int x, int y, int width, int height);
}  // namespace e2e

#endif
