// velkarn-pack <resources directory> <archive file>: packs the program's
// resources at build time.
#include "framework/packer/ArchivePacker.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <resources directory> <archive file>\n", argv[0]);
        return 2;
    }
    std::string archive;
    std::string error;
    if (!packArchive(argv[1], archive, error)) {
        std::fprintf(stderr, "velkarn-pack: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "velkarn-pack: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
