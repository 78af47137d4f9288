#include "app/VelkarnStandAlone.h"

#include "app/Velkarn.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/EventLoop.h"

#include <new>
#include <strings.h>

namespace {

// The log names the stand-alone main and the entry by these sources and
// lines, wherever the code stands.
constexpr const char* standAloneSource = "VelkarnStandAlone";
constexpr const char* entrySource = "WindowsEntryPoint";

VelkarnStandAlone::StartedHook startedHook = nullptr;

}  // namespace

bool VelkarnStandAlone::routeCloseRequest(Velkarn*& application, unsigned windowHandle) {
    Window* window = Window::fromHandle(windowHandle);
    if (application != nullptr && window != nullptr) {
        if (application->isScopeWindow(window)) {
            application->closeScope();
            return false;
        }
        if (application->isBeatMapperWindow(window)) {
            application->closeBeatMapper();
            return false;
        }
        if (application->isBrowserWindow(window)) {
            application->closeBrowser();
            return false;
        }
        if (application->isPreviewerWindow(window)) {
            application->closePreviewer();
            return false;
        }
    }
    delete application;
    application = nullptr;
    platform::postQuitMessage(0);
    return true;
}

void VelkarnStandAlone::setStartedHook(StartedHook hook) { startedHook = hook; }

int VelkarnStandAlone::standAloneMain(void* instance, void* /*previousInstance*/, const std::string& /*commandLine*/,
                                      int showCommand) {
    logVerbose("initialize support", standAloneSource, 10);
    initializeSupport(instance);

    logVerbose("construct the application(s)", standAloneSource, 18);
    Velkarn* application = new (std::nothrow) Velkarn(instance, showCommand);
    if (application != nullptr && startedHook != nullptr) startedHook(*application);

    logVerbose("pump messages in the message loop", standAloneSource, 20);
    platform::Message message;
    while (platform::getMessage(message)) {
        // A close request is the loop's own business; it is never dispatched.
        if (message.id == platform::closeRequestMessage) {
            routeCloseRequest(application, message.window);
            continue;
        }
        platform::dispatchMessage(message);
    }

    logVerbose("clean up", standAloneSource, 51);
    cleanUpSupport();
    logVerbose("return result of the message loop", standAloneSource, 53);
    return platform::quitExitCode();
}

int VelkarnStandAlone::entry(const std::string& commandLine) {
    setVerboseLogging(::strcasecmp(commandLine.c_str(), "lognormal") == 0);
    try {
        return standAloneMain(programInstance(), nullptr, commandLine, 1);
    } catch (const StringException& error) {
        fatalError(error.what(), entrySource, 98);
    }
}
