#include "framework/FileResource.h"

#include "framework/Log.h"
#include "framework/ResourceArchive.h"

FileResource::FileResource(const std::string& name) : MemoryFile(nullptr, 0) {
    findArchiveEntry(name, data_, used_);
}

bool FileResource::write(const void* /*buffer*/, int /*count*/) {
    fatalError("Cannot write into a resource.", __FILE__, __LINE__);
}
