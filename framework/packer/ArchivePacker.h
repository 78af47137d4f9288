// Packs a directory tree into the resource archive (see ArchiveFormat.h).
#ifndef VELKARN_FRAMEWORK_PACKER_ARCHIVEPACKER_H
#define VELKARN_FRAMEWORK_PACKER_ARCHIVEPACKER_H

#include <string>
#include <vector>

// A directory tree whose files are named prefix + "/" + their path below
// directory (just the path when prefix is empty).
struct ArchiveTree {
    std::string prefix;
    std::string directory;
};

// Every regular file under root (hidden files and directories left out),
// named by its path below root with "/" separators, sorted by name bytes.
// False with a message when a name is too long or a file cannot be read.
bool packArchive(const std::string& root, std::string& archive, std::string& error);
// The same over several trees; a name that two trees give is an error.
bool packArchive(const std::vector<ArchiveTree>& trees, std::string& archive, std::string& error);

#endif
