// A read-only File over an entry of the resource archive, read straight
// from the program's image.
#ifndef VELKARN_FRAMEWORK_FILERESOURCE_H
#define VELKARN_FRAMEWORK_FILERESOURCE_H

#include "framework/MemoryFile.h"

#include <string>

class FileResource : public MemoryFile {
public:
    // A missing name stops the program with "File not found: <name>.".
    explicit FileResource(const std::string& name);
    // Stops the program with "Cannot write into a resource.".
    bool write(const void* buffer, int count) override;
};

#endif
