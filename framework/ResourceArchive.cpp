#include "framework/ResourceArchive.h"

#include "framework/ArchiveFormat.h"
#include "framework/FileDisk.h"
#include "framework/FileResource.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "framework/Support.h"

#include <algorithm>
#include <memory>
#include <cstring>
#include <vector>

namespace {

struct Entry {
    std::string name;
    std::uint32_t offset;
    std::uint32_t length;
};

struct Index {
    bool archiveMode = false;
    std::vector<Entry> entries;
    const std::uint8_t* data = nullptr;
};

Index archiveIndex;

std::uint32_t readWord(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
           (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

[[noreturn]] void resourceTrouble() { fatalError("Resource trouble.", __FILE__, __LINE__); }

void buildIndex(const std::uint8_t* archive, std::size_t size) {
    if (archive == nullptr || size < 4) resourceTrouble();
    const std::uint8_t* end = archive + size;
    std::uint32_t count = readWord(archive);
    const std::uint8_t* at = archive + 4;
    std::vector<Entry> entries;
    // Each entry takes at least 9 bytes; a count that cannot fit is corrupt.
    if (count > (size - 4) / 9) resourceTrouble();
    entries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t room = static_cast<std::size_t>(end - at);
        const void* nul = std::memchr(at, 0, std::min(room, archiveNameLimit));
        if (nul == nullptr) resourceTrouble();
        const auto* name = reinterpret_cast<const char*>(at);
        at = static_cast<const std::uint8_t*>(nul) + 1;
        if (end - at < 8) resourceTrouble();
        entries.push_back({name, readWord(at), readWord(at + 4)});
        at += 8;
    }
    // Every entry must lie inside the data area.
    std::size_t dataSize = static_cast<std::size_t>(end - at);
    for (const Entry& entry : entries) {
        if (static_cast<std::size_t>(entry.offset) + entry.length > dataSize || entry.length > 0x7FFFFFFFu) {
            resourceTrouble();
        }
    }
    archiveIndex.entries = std::move(entries);
    archiveIndex.data = at;
}

const Entry* find(const std::string& name) {
    for (const Entry& entry : archiveIndex.entries) {
        if (entry.name == name) return &entry;
    }
    return nullptr;
}

}  // namespace

void initializeFileSystem() {
    std::size_t size = 0;
    const std::uint8_t* archive = builtInArchive(size);
    initializeFileSystemFrom(archive, size);
}

void initializeFileSystemFrom(const std::uint8_t* archive, std::size_t size) {
    archiveIndex = Index();
    archiveIndex.archiveMode = supportSettings().archiveMode;
    if (!archiveIndex.archiveMode) return;
    buildIndex(archive, size);
}

void cleanUpFileSystem() {
    if (!archiveIndex.archiveMode) return;
    archiveIndex.entries.clear();
    archiveIndex.entries.shrink_to_fit();
    archiveIndex.data = nullptr;
}

bool archiveContains(const std::string& name) { return find(name) != nullptr; }

void findArchiveEntry(const std::string& name, const std::uint8_t*& data, int& length) {
    const Entry* entry = find(name);
    if (entry == nullptr) fatalError("File not found: " + name + ".", __FILE__, __LINE__);
    data = archiveIndex.data + entry->offset;
    length = static_cast<int>(entry->length);
}

File* openFile(const std::string& path, bool absolute, bool write) {
    if (!archiveIndex.archiveMode || absolute) return new FileDisk(path, absolute, write);
    if (write) throw StringException("Cannot write into resource section.");
    return new FileResource(path);
}

bool fileExists(const std::string& name, bool absolute) {
    if (!archiveIndex.archiveMode || absolute) return FileDisk::exists(name, absolute);
    return archiveContains(name);
}

std::optional<platform::DialogTemplate> loadDialogTemplate(int id) {
    const std::string name = "dialogs/" + std::to_string(id) + ".dlg";
    try {
        std::unique_ptr<File> file(openFile(name, false, false));
        std::string text(static_cast<std::size_t>(file->size()), '\0');
        if (!text.empty() && !file->read(text.data(), static_cast<int>(text.size()))) {
            logMessage("Cannot read dialog template " + std::to_string(id) + ".", __FILE__, __LINE__);
            return std::nullopt;
        }
        platform::DialogTemplate parsed;
        std::string error;
        if (platform::parseDialogTemplate(text, parsed, error)) return parsed;
        logMessage(error, __FILE__, __LINE__);
    } catch (const StringException& error) {
        logMessage(error.what(), __FILE__, __LINE__);
    }
    return std::nullopt;
}

int runDialogTemplate(platform::WindowHandle owner, int id, platform::DialogHandler& handler) {
    const std::optional<platform::DialogTemplate> dialog = loadDialogTemplate(id);
    if (!dialog) return -1;
    const int result = platform::runDialog(owner, *dialog, handler);
    if (result < 0) logMessage("Dialog " + std::to_string(id) + " could not be shown.", __FILE__, __LINE__);
    return result;
}
