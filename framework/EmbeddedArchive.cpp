// The resource archive, packed from resources/ at build time and carried in
// the program's read-only data.
#include "framework/ResourceArchive.h"

asm(".pushsection .rodata.velkarnArchive, \"a\", @progbits\n"
    ".balign 16\n"
    ".globl velkarnArchiveBegin\n"
    ".hidden velkarnArchiveBegin\n"
    "velkarnArchiveBegin:\n"
    ".incbin \"" VELKARN_ARCHIVE_FILE "\"\n"
    ".globl velkarnArchiveEnd\n"
    ".hidden velkarnArchiveEnd\n"
    "velkarnArchiveEnd:\n"
    ".byte 0\n"
    ".popsection\n");

extern "C" const std::uint8_t velkarnArchiveBegin[];
extern "C" const std::uint8_t velkarnArchiveEnd[];

const std::uint8_t* builtInArchive(std::size_t& size) {
    size = static_cast<std::size_t>(velkarnArchiveEnd - velkarnArchiveBegin);
    return velkarnArchiveBegin;
}
