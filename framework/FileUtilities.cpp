#include "framework/FileUtilities.h"

#include "framework/AudioEngineServices.h"
#include "framework/File.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/FileChooser.h"
#include "platform/FileSystem.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace {

constexpr int bpmControl = 1001;

// The choosers open on the file chosen last time (each its own).
std::mutex lastFilesMutex;
std::string lastOpenedFile;
std::string lastSavedFile;

std::string titleOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.substr(0, name.find('.'));
}

bool endsWithExtension(const std::string& name, const char* letters) {
    if (name.size() < 4 || name[name.size() - 4] != '.') return false;
    for (int i = 0; i < 3; ++i) {
        char c = name[name.size() - 3 + static_cast<std::size_t>(i)];
        char wanted = letters[i];
        if (wanted >= 'a' && wanted <= 'z') {
            if (c != wanted && c != wanted - 'a' + 'A') return false;
        } else if (c != wanted) {
            return false;
        }
    }
    return true;
}

// Template 103, read once from the archive (or resources/ with the archive off).
const platform::DialogTemplate* bpmRowTemplate() {
    static std::once_flag once;
    static std::optional<platform::DialogTemplate> row;
    std::call_once(once, [] { row = loadDialogTemplate(103); });
    return row ? &*row : nullptr;
}

// Runs a chooser that opens on `last` and remembers what was chosen there.
platform::ChooserOutcome runRemembering(platform::ChooserRequest& request, std::string& last, std::string& chosen) {
    {
        std::lock_guard lock(lastFilesMutex);
        request.initialPath = last;
    }
    platform::ChooserOutcome outcome = platform::runChooser(request, chosen);
    if (outcome == platform::ChooserOutcome::Chosen) {
        std::lock_guard lock(lastFilesMutex);
        last = chosen;
    }
    return outcome;
}

bool finishChooser(platform::ChooserOutcome outcome, const std::string& chosen, std::string& path, std::string& title) {
    switch (outcome) {
    case platform::ChooserOutcome::Chosen:
        path = chosen;
        title = titleOf(chosen);
        return true;
    case platform::ChooserOutcome::Cancelled:
        return false;
    case platform::ChooserOutcome::CannotShow:
        logMessage("CDERR_DIALOGFAILURE", __FILE__, __LINE__);
        return false;
    }
    return false;
}

void countIn(const std::string& directory, int& counter) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(directory, entries)) {
        reportWindowsError(false, __FILE__, __LINE__);
        return;
    }
    for (const auto& entry : entries) {
        std::string path = directory + "/" + entry.name;
        if (entry.isDirectory) {
            countIn(path, counter);
        } else if (entry.isSymbolicLink) {
            // Links to files count; links to directories are never followed.
            if (!platform::isDirectory(path) && platform::pathExists(path) && isAudioFileName(entry.name)) ++counter;
        } else if (isAudioFileName(entry.name)) {
            ++counter;
        }
    }
}

}  // namespace

bool chooseFileToOpen(const std::string& description, const char* firstExtension, const char* secondExtension,
                      const char* thirdExtension, platform::WindowHandle owner, std::string& path, std::string& title,
                      bool bpmPreview) {
    platform::ChooserRequest request;
    request.kind = platform::ChooserKind::Open;
    request.owner = owner;
    request.description = description;
    for (const char* extension : {firstExtension, secondExtension, thirdExtension}) {
        if (extension != nullptr) request.extensions.emplace_back(extension);
    }
    if (bpmPreview) {
        request.childTemplate = bpmRowTemplate();
        request.selectionChanged = bpmPreviewHook;
    }
    std::string chosen;
    return finishChooser(runRemembering(request, lastOpenedFile, chosen), chosen, path, title);
}

bool chooseFileToSave(const std::string& description, const std::string& extension, platform::WindowHandle owner,
                      std::string& path, std::string& title) {
    platform::ChooserRequest request;
    request.kind = platform::ChooserKind::Save;
    request.owner = owner;
    request.description = description;
    request.extensions = {extension};
    std::string chosen;
    return finishChooser(runRemembering(request, lastSavedFile, chosen), chosen, path, title);
}

bool chooseDirectory(platform::WindowHandle owner, const std::string& instruction, std::string& path) {
    platform::ChooserRequest request;
    request.kind = platform::ChooserKind::Folder;
    request.owner = owner;
    request.instruction = instruction;
    std::string chosen;
    std::string title;
    return finishChooser(platform::runChooser(request, chosen), chosen, path, title);
}

void bpmPreviewHook(const std::string& selectedPath, platform::Dialog& row) {
    std::string text = "---";
    try {
        SongPreview preview = readSongPreview(selectedPath);
        if (preview.hasBeats) {
            double tempo = preview.tagBpm != 0.0f ? static_cast<double>(preview.tagBpm) : preview.medianBpm;
            // A corrupt tag (NaN, huge) or beats at one position (infinite
            // median) has no whole number to show; converting it would be
            // undefined.
            double rounded = tempo + 0.5;
            if (rounded > -2147483648.0 && rounded < 2147483648.0) text = std::to_string(static_cast<int>(rounded));
        }
    } catch (const std::exception&) {
        // A file that cannot be read has no tempo to show (and an exception
        // must not escape into the chooser's event handling).
        text = "---";
    }
    if (!row.setText(bpmControl, text)) reportWindowsError(false, __FILE__, __LINE__);
}

bool hasWavExtension(const std::string& name) { return endsWithExtension(name, "wav"); }
bool hasMp3Extension(const std::string& name) { return endsWithExtension(name, "mp3"); }
bool hasWmaExtension(const std::string& name) { return endsWithExtension(name, "wma"); }

bool isAudioFileName(const std::string& name) {
    return hasWavExtension(name) || hasMp3Extension(name) || (isWmaAvailable() && hasWmaExtension(name));
}

std::string baseFileName(const std::string& path) {
    std::size_t separator = path.find_last_of("/\\");
    std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos) return name;
    return name.substr(0, dot);
}

bool canOpenExclusively(const std::string& path) { return platform::fileFreeForExclusiveUse(path); }

bool removeFile(const std::string& path) { return platform::removeFile(path); }

bool isOnNtfsVolume(const std::string& directory) {
    std::uint64_t magic = 0;
    if (!platform::fileSystemMagic(directory, magic)) return reportWindowsError(false, __FILE__, __LINE__);
    return platform::fileSystemFitForDatabase(magic);
}

bool samePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        bool separators = (a[i] == '/' || a[i] == '\\') && (b[i] == '/' || b[i] == '\\');
        if (a[i] != b[i] && !separators) return false;
    }
    return true;
}

int countAudioFiles(const std::string& directory) {
    int counter = 0;
    countIn(directory, counter);
    return counter;
}
