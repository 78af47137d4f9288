// velkarn: starts the platform layer (the common controls of the program's
// first home) and the crash handler, installs the song readers' optional
// services and runs the entry with the arguments after the program name
// joined by single blanks.
#include "app/VelkarnStandAlone.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskWMA.h"
#include "framework/CrashReport.h"
#include "platform/Platform.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    if (!platform::initializePlatform(argc, argv)) {
        std::fprintf(stderr, "velkarn: no display to show the window on.\n");
        return 1;
    }
    installCrashHandler();
    SampleDisk::installSongPreview();
    SampleDiskWMA::installLoader();
    const int result = VelkarnStandAlone::entry(commandLine);
    platform::shutdownPlatform();
    return result;
}
