// The open, save and folder choosers. UI thread only; each runs a nested
// loop.
#ifndef VELKARN_PLATFORM_FILECHOOSER_H
#define VELKARN_PLATFORM_FILECHOOSER_H

#include "platform/Dialog.h"
#include "platform/Messages.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class ChooserKind { Open, Save, Folder };
enum class ChooserOutcome { Chosen, Cancelled, CannotShow };

struct ChooserRequest {
    ChooserKind kind = ChooserKind::Open;
    WindowHandle owner = noWindow;
    std::string description;              // the filter's name
    std::vector<std::string> extensions;  // without the dot, matched without regard to case
    std::string initialPath;              // open and save: start on this file
    std::string instruction;              // folder: the text shown above the folders
    // Open: a template shown below the file list, and the hook called on
    // every change of the selection with the selected path.
    const DialogTemplate* childTemplate = nullptr;
    std::function<void(const std::string& path, Dialog& child)> selectionChanged;
};

// Chosen: path is the chosen file (open: an existing one; save: with the
// first extension appended when the name has none; no overwrite question)
// or folder.
ChooserOutcome runChooser(const ChooserRequest& request, std::string& path);

// "description (*.wav *.mp3)", as the chooser shows it and the records keep it.
std::string chooserFilterText(const ChooserRequest& request);

}  // namespace platform

#endif
