#include "framework/Support.h"

#include "framework/AudioEngineServices.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResourceArchive.h"
#include "framework/Timer.h"
#include "platform/Clock.h"
#include "platform/MessageBox.h"
#include "platform/NativeWindow.h"
#include "platform/PlatformLog.h"
#include "platform/Shell.h"
#include "platform/audio/AudioSystem.h"
#include "platform/SocketErrors.h"
#include "primitives.h"

#include <atomic>

namespace {

void* instanceHandle = nullptr;
std::atomic<bool> wmaAvailable{false};
std::atomic<bool> wmaRebootNeeded{false};

void logLayerNote(const std::string& message, const char* source, int line) { logMessage(message, source, line); }
void logLayerVerboseNote(const std::string& message, const char* source, int line) {
    logVerbose(message, source, line);
}

void logOpenUrlFailure(int code) { logMessage(std::string("Cannot open URL: ") + shellErrorText(code), __FILE__, __LINE__); }

}  // namespace

SupportSettings& supportSettings() {
    static SupportSettings settings{true, VELKARN_RESOURCES_DIRECTORY "/"};
    return settings;
}

void* programInstance() { return instanceHandle; }

void initializeSupport(void* instance) {
    instanceHandle = instance;
    platform::setLogSink(logLayerNote);
    platform::setVerboseLogSink(logLayerVerboseNote);

    logVerbose("initialize primitives", __FILE__, __LINE__);
    initCpuDispatch();  // its status is not examined: an unknown processor keeps the generic build

    // The twenty locks are plain process-wide objects that exist from the
    // start of the program; there is nothing to create.
    logVerbose("initialize critical sections", __FILE__, __LINE__);

    // CLOCK_MONOTONIC counts nanoseconds; it has no frequency to read.
    logVerbose("initialize high precision counter", __FILE__, __LINE__);

    logVerbose("initialize sockets", __FILE__, __LINE__);
    unsigned short version = 0;
    if (platform::socketStartup(0x0002, version) != 0) {
        logMessage("Cannot find a usable WinSock DLL.", __FILE__, __LINE__);
    } else if (version != 0x0002) {
        logMessage("Cannot find a usable WinSock DLL (version 2.0).", __FILE__, __LINE__);
    }

    logVerbose("check and load library WMA", __FILE__, __LINE__);
    checkWmaLibrary();

    logVerbose("initialize WMA", __FILE__, __LINE__);
    initializeComForWma();

    logVerbose("initialize timer", __FILE__, __LINE__);
    setTimerResolution();

    logVerbose("initialize file system", __FILE__, __LINE__);
    initializeFileSystem();
}

void cleanUpSupport() {
    if (wmaAvailable.load()) {
        uninitializeComForWma();
        unloadWmaLibrary();
        wmaAvailable.store(false);
    }
    resetTimerResolution();
    cleanUpFileSystem();
    reportSocketError(platform::socketCleanup(), __FILE__, __LINE__);
    // The sound library started with the first audio call; the devices are
    // closed by now.
    platform::audio::shutdownAudio();
}

void showMessage(const std::string& caption, const std::string& text) {
    platform::showMessageBox({caption, text, platform::BoxButtons::Ok, platform::BoxIcon::None});
}

bool askYesNo(const std::string& caption, const std::string& question) {
    return platform::showMessageBox({caption, question, platform::BoxButtons::YesNo, platform::BoxIcon::None}) ==
           platform::BoxAnswer::Yes;
}

void showWaitCursor() { platform::setCursorShape(platform::CursorShape::Wait); }
void showHandCursor() { platform::setCursorShape(platform::CursorShape::Hand); }
void showArrowCursor() { platform::setCursorShape(platform::CursorShape::Arrow); }

const char* shellErrorText(int code) {
    switch (code) {
    case 0: return "The operating system is out of memory or resources.";
    case 2: return "The specified file was not found.";
    case 3: return "The specified path was not found.";
    case 5: return "The operating system denied access to the specified file.";
    case 8: return "There was not enough memory to complete the operation.";
    case 11: return "The .exe file is invalid (non-Microsoft Win32\u00AE .exe or error in .exe image).";
    case 26: return "A sharing violation occurred.";
    case 27: return "The file name association is incomplete or invalid.";
    case 28: return "The DDE transaction could not be completed because the request timed out.";
    case 29: return "The DDE transaction failed.";
    case 30:
        return "The Dynamic Data Exchange (DDE) transaction could not be completed because other DDE transactions "
               "were being processed.";
    case 31:
        return "There is no application associated with the given file name extension. This error will also be "
               "returned if you attempt to print a file that is not printable.";
    case 32: return "The specified dynamic-link library (DLL) was not found.";
    default: return "Unknown error.";
    }
}

void openUrl(const std::string& target) {
    int result = platform::openWithShell(target, logOpenUrlFailure);
    if (result <= 32) logOpenUrlFailure(result);
}

std::uint64_t currentTimeMs() { return platform::monotonicMs(); }

bool isWmaAvailable() { return wmaAvailable.load(); }
bool isWmaRebootNeeded() { return wmaRebootNeeded.load(); }
void setWmaRebootNeeded(bool needed) { wmaRebootNeeded.store(needed); }

void checkWmaLibrary() {
    wmaAvailable.store(false);
    wmaRebootNeeded.store(false);
    wmaAvailable.store(loadWmaLibrary());
}

void initializeComForWma() {}
void uninitializeComForWma() {}
