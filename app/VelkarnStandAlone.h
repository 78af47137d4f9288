// The program's entry steps: the support services, the one application
// object, the message loop of every window of the process with its routing
// of close requests, and the clean-up.
#ifndef VELKARN_APP_VELKARNSTANDALONE_H
#define VELKARN_APP_VELKARNSTANDALONE_H

#include <string>

class Velkarn;

class VelkarnStandAlone {
public:
    // The exit code of the final quit message (0 after the main window
    // closed).
    static int standAloneMain(void* instance, void* previousInstance, const std::string& commandLine,
                              int showCommand);

    // The entry once the platform and the crash handler are in place: the
    // verbose flag ("lognormal" in any case), then standAloneMain; a
    // character-string exception that escapes is a fatal stop.
    static int entry(const std::string& commandLine);

    // Routes one close request: a tool window is closed by the
    // application, any other window deletes the application (set to null)
    // and asks the loop to quit with 0. True when the loop must quit.
    static bool routeCloseRequest(Velkarn*& application, unsigned windowHandle);

    // Tests: called with the application once it is constructed, before
    // the loop pumps. Null removes it.
    using StartedHook = void (*)(Velkarn& application);
    static void setStartedHook(StartedHook hook);
};

#endif
