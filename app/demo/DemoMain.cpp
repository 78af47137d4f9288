// velkarn-demo: the program's entry steps around one demo window, until the
// application itself exists.
#include "app/demo/DemoWindow.h"
#include "framework/CrashReport.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/EventLoop.h"
#include "platform/Platform.h"

#include <cstdio>
#include <memory>
#include <strings.h>

namespace {

int standAloneMain() {
    logVerbose("initialize support", __FILE__, __LINE__);
    initializeSupport(nullptr);

    logVerbose("construct the application(s)", __FILE__, __LINE__);
    auto window = std::make_unique<DemoWindow>();

    logVerbose("pump messages in the message loop", __FILE__, __LINE__);
    platform::Message message;
    while (platform::getMessage(message)) {
        // A close request is the loop's own business; it is never dispatched.
        if (message.id == platform::closeRequestMessage) {
            window.reset();
            platform::postQuitMessage(0);
            continue;
        }
        platform::dispatchMessage(message);
    }

    logVerbose("clean up", __FILE__, __LINE__);
    cleanUpSupport();
    logVerbose("return result of the message loop", __FILE__, __LINE__);
    return platform::quitExitCode();
}

}  // namespace

int main(int argc, char** argv) {
    if (!platform::initializePlatform(argc, argv)) {
        std::fprintf(stderr, "velkarn-demo: no display to show the window on.\n");
        return 1;
    }
    installCrashHandler();
    setVerboseLogging(argc == 2 && ::strcasecmp(argv[1], "lognormal") == 0);
    int result = 0;
    try {
        result = standAloneMain();
    } catch (const StringException& error) {
        fatalError(error.what(), __FILE__, __LINE__);
    }
    platform::shutdownPlatform();
    return result;
}
