// Start and end of the platform layer (the Qt user interface). The calling
// thread becomes the user-interface thread.
#ifndef VELKARN_PLATFORM_PLATFORM_H
#define VELKARN_PLATFORM_PLATFORM_H

namespace platform {

// False when no display can be opened (no X server or Wayland compositor
// and not the offscreen platform); the layer then works without windows.
// argc and argv must outlive the layer.
bool initializePlatform(int& argc, char** argv);

// Closes every window the layer still holds and unregisters the interface.
void shutdownPlatform();

// True when a display is usable by initializePlatform.
bool displayAvailable();

}  // namespace platform

#endif
