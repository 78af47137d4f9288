// The archive of the program's own files (skin images, sounds, dialog
// templates), built into the program, and the two entry points that open
// a file or test it from the archive or from the disk.
//
// The index is built by the last start-up step and released at clean-up;
// in between it is read-only, so lookups need no lock.
#ifndef VELKARN_FRAMEWORK_RESOURCEARCHIVE_H
#define VELKARN_FRAMEWORK_RESOURCEARCHIVE_H

#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class File;

// Copies the archive mode in force; in archive mode builds the index of the
// built-in archive. An index entry that runs past the archive's end stops
// the program with "Resource trouble.".
void initializeFileSystem();
// The same over another archive (tests); the bytes must outlive the index.
void initializeFileSystemFrom(const std::uint8_t* archive, std::size_t size);
void cleanUpFileSystem();

bool archiveContains(const std::string& name);
// A missing name stops the program with "File not found: <name>.".
void findArchiveEntry(const std::string& name, const std::uint8_t*& data, int& length);

// A new File, deleted by the caller: a disk file when the archive is off or
// the path is absolute, else the archive entry. Asking for a writable
// archive entry throws StringException "Cannot write into resource
// section."; a disk file that cannot be opened throws "Cannot open file
// <path>.".
File* openFile(const std::string& path, bool absolute, bool write);
// Whether openFile would find the file (names in the archive compare exactly).
bool fileExists(const std::string& name, bool absolute);

// Dialog template "dialogs/<id>.dlg" through openFile; nullopt, the reason
// logged, when it cannot be read or parsed.
std::optional<platform::DialogTemplate> loadDialogTemplate(int id);

// UI thread: loads template id and runs it modally over owner with the
// handler; the dialog's result, or -1 (logged) when it cannot be loaded or
// shown.
int runDialogTemplate(platform::WindowHandle owner, int id, platform::DialogHandler& handler);

// The built-in archive's bytes.
const std::uint8_t* builtInArchive(std::size_t& size);

#endif
