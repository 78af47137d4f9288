// Process-wide support services: build constants, start-up and clean-up,
// message boxes, the millisecond clock, the shell, and the Windows Media
// flags.
#ifndef VELKARN_FRAMEWORK_SUPPORT_H
#define VELKARN_FRAMEWORK_SUPPORT_H

#include <cstdint>
#include <string>

// ---- Build constants -------------------------------------------------------

inline constexpr const char* productLine = "Velkarn 1.31";
inline constexpr unsigned wantedTimerResolutionMs = 1;
inline constexpr const char* supportAddress = "support@velkarn.invalid";

// Where files come from. archiveMode: images and sounds are read from the
// archive built into the program; filesDirectory: the prefix of relative
// names on disk (the source tree's resources/ plus "/"), used with the
// archive off. Tests point them elsewhere before initializeSupport.
struct SupportSettings {
    bool archiveMode = true;
    std::string filesDirectory;
};
SupportSettings& supportSettings();

// ---- Start-up and clean-up -----------------------------------------------

// Runs once on the user-interface thread before any window exists: the
// primitives' build, the numbered locks, the clock, sockets, the Windows
// Media check, COM, the timer resolution and the archive index, each step
// logged while verbose.
void initializeSupport(void* instance);
// Undoes initializeSupport in reverse after the message loop has ended.
void cleanUpSupport();
void* programInstance();

// ---- Boxes, cursor, shell ----------------------------------------------------

// Task-modal box without owner or icon, with an OK button.
void showMessage(const std::string& caption, const std::string& text);
// Task-modal Yes/No box without owner; true for Yes.
bool askYesNo(const std::string& caption, const std::string& question);

void showWaitCursor();
// The hand of a drag, and the arrow back after it.
void showHandCursor();
void showArrowCursor();

// Opens a web address or file with the desktop; a failure is logged as
// "Cannot open URL: <reason>" (at once, or later by a waiter thread).
void openUrl(const std::string& target);
// The reason for a shell result code.
const char* shellErrorText(int code);

// ---- Clock ---------------------------------------------------------------------

// Milliseconds since an arbitrary origin, monotonic; any thread.
std::uint64_t currentTimeMs();

// ---- Windows Media ---------------------------------------------------------------

bool isWmaAvailable();
bool isWmaRebootNeeded();
// Marks a decoder installed but waiting for a restart (tests; nothing on
// this system installs one that way).
void setWmaRebootNeeded(bool needed);
// The start-up step: available when the audio engine's loader finds its
// decoder (there is no set-up record to read on this system).
void checkWmaLibrary();
// COM set-up and release for a worker thread that decodes WMA; nothing to
// do on this system beyond the availability test.
void initializeComForWma();
void uninitializeComForWma();

#endif
