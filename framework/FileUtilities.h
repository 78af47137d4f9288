// File utilities of the windows: the choosers, audio-extension tests, base
// names, the exclusive-use and volume tests, path comparison and the count
// of audio files in a tree. The choosers run on the user-interface thread.
#ifndef VELKARN_FRAMEWORK_FILEUTILITIES_H
#define VELKARN_FRAMEWORK_FILEUTILITIES_H

#include "platform/Messages.h"

#include <string>

namespace platform {
class Dialog;
}

// The open chooser for up to three extensions (null for none), starting on
// the file chosen last time. On success path is the chosen file and title
// its name up to the first "."; a cancel gives false silently, a chooser
// that cannot be shown logs "CDERR_DIALOGFAILURE". With bpmPreview the
// "BPM:" row (dialog template 103) shows the tempo of the selected file.
bool chooseFileToOpen(const std::string& description, const char* firstExtension, const char* secondExtension,
                      const char* thirdExtension, platform::WindowHandle owner, std::string& path, std::string& title,
                      bool bpmPreview);

// The save chooser: default extension appended, no overwrite question; it
// keeps its own last file.
bool chooseFileToSave(const std::string& description, const std::string& extension, platform::WindowHandle owner,
                      std::string& path, std::string& title);

// The folder chooser showing the instruction; false when cancelled.
bool chooseDirectory(platform::WindowHandle owner, const std::string& instruction, std::string& path);

// The open chooser's hook: puts the selected song's tempo into control 1001
// of the "BPM:" row ("%d" of the tempo + 0.5, or "---").
void bpmPreviewHook(const std::string& selectedPath, platform::Dialog& row);

// At least 4 characters ending in "." and the extension's three letters in
// either case ("3" must be "3").
bool hasWavExtension(const std::string& name);
bool hasMp3Extension(const std::string& name);
bool hasWmaExtension(const std::string& name);
// ".wav" or ".mp3", and ".wma" while WMA is available.
bool isAudioFileName(const std::string& name);

// The file name without directory and extension. Only a "." after the last
// separator counts ("C:/a.b/name" gives "name"); a name whose only "." is
// its first character gives "".
std::string baseFileName(const std::string& path);

// An existing regular file we can read and write, in a writable directory,
// that this process does not hold open. Use by other processes cannot be
// seen on this system and is not probed.
bool canOpenExclusively(const std::string& path);

bool removeFile(const std::string& path);

// Whether the directory's volume can hold the track database: any local
// file system but the FAT family; false when the volume cannot be
// examined (reported). Never changes the current directory.
bool isOnNtfsVolume(const std::string& directory);

// Equal strings where "/" and "\" count as the same character; letters
// compare with their case.
bool samePath(const std::string& a, const std::string& b);

// The number of audio files in the tree. Uses full paths (the current
// directory is never changed), never enters symbolic links to directories,
// and reports and skips directories it cannot read.
int countAudioFiles(const std::string& directory);

#endif
