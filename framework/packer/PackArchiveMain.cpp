// velkarn-pack <resources directory> <archive file> [<prefix>=<directory>]...:
// packs the program's resources at build time, each further tree under its
// prefix (the generated skin as images/).
#include "framework/packer/ArchivePacker.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <resources directory> <archive file> [<prefix>=<directory>]...\n", argv[0]);
        return 2;
    }
    std::vector<ArchiveTree> trees{{"", argv[1]}};
    for (int i = 3; i < argc; ++i) {
        const std::string tree = argv[i];
        const std::size_t equals = tree.find('=');
        if (equals == std::string::npos || equals == 0) {
            std::fprintf(stderr, "velkarn-pack: %s is not <prefix>=<directory>\n", argv[i]);
            return 2;
        }
        trees.push_back({tree.substr(0, equals), tree.substr(equals + 1)});
    }
    std::string archive;
    std::string error;
    if (!packArchive(trees, archive, error)) {
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
