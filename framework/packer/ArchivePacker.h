// Packs a directory tree into the resource archive (see ArchiveFormat.h).
#ifndef VELKARN_FRAMEWORK_PACKER_ARCHIVEPACKER_H
#define VELKARN_FRAMEWORK_PACKER_ARCHIVEPACKER_H

#include <string>

// Every regular file under root (hidden files and directories left out),
// named by its path below root with "/" separators, sorted by name bytes.
// False with a message when a name is too long or a file cannot be read.
bool packArchive(const std::string& root, std::string& archive, std::string& error);

#endif
