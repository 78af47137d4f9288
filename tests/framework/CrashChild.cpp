// crash_child <segv|terminate> [nolog]: installs the crash handler, writes a
// log entry (unless nolog) and crashes as asked; for segv it first prints
// the address it will touch.
#include "framework/CrashReport.h"
#include "framework/Log.h"
#include "framework/StringException.h"

#include <cstdio>
#include <cstring>
#include <sys/mman.h>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    installCrashHandler();
    if (argc < 3 || std::strcmp(argv[2], "nolog") != 0) logMessage("about to crash", __FILE__, __LINE__);
    if (std::strcmp(argv[1], "segv") == 0) {
        // A page that may not be touched: a real fault, which the sanitizers
        // do not stop before it happens (as they would a null pointer).
        void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        std::printf("touching %p\n", page);
        std::fflush(stdout);
        *static_cast<volatile int*>(page) = 1;
    } else if (std::strcmp(argv[1], "terminate") == 0) {
        throw StringException("The QRT meta-data is corrupt.");
    }
    return 0;
}
