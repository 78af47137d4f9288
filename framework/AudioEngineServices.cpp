#include "framework/AudioEngineServices.h"

#include <mutex>

namespace {

std::mutex seamsMutex;
SongPreviewReader previewReader;
std::function<bool()> wmaLoad;
std::function<void()> wmaUnload;

}  // namespace

void setSongPreviewReader(SongPreviewReader reader) {
    std::lock_guard lock(seamsMutex);
    previewReader = std::move(reader);
}

SongPreview readSongPreview(const std::string& absolutePath) {
    SongPreviewReader reader;
    {
        std::lock_guard lock(seamsMutex);
        reader = previewReader;
    }
    return reader ? reader(absolutePath) : SongPreview{};
}

void setWmaLibraryLoader(std::function<bool()> load, std::function<void()> unload) {
    std::lock_guard lock(seamsMutex);
    wmaLoad = std::move(load);
    wmaUnload = std::move(unload);
}

bool loadWmaLibrary() {
    std::function<bool()> load;
    {
        std::lock_guard lock(seamsMutex);
        load = wmaLoad;
    }
    return load ? load() : false;
}

void unloadWmaLibrary() {
    std::function<void()> unload;
    {
        std::lock_guard lock(seamsMutex);
        unload = wmaUnload;
    }
    if (unload) unload();
}
