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
#include "framework/GUIComponent.h"
#include "platform/NativeWindow.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

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
    Velkarn& app() { return *app_; }
    // The null stream of the main output (it changes when it is reopened).
    int mainStream() const { return mainStream_; }
    void followMainOutput();

private:
    testing_support::TemporaryDirectory home_;
    std::optional<testing_support::ScopedEnvironment> homeVariable_;
    Velkarn* app_ = nullptr;
    int mainStream_ = 0;
};

platform::Point centreOf(const GUIComponent& component);
// The middle of a beat on a deck's strip of row 0.
platform::Point pointOnStrip(Velkarn& app, int deck, int beat);
// What a window shows in an area (as the layer holds it).
std::unique_ptr<Image> shownArea(Window& window, int x, int y, int width, int height);
}  // namespace e2e

#endif
