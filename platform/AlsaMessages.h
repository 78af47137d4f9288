// ALSA's own complaints (a missing sequencer or sound card at start-up)
// go to the verbose log, never to stderr. The sound output and the MIDI
// services share the library's one handler.
#ifndef VELKARN_PLATFORM_ALSAMESSAGES_H
#define VELKARN_PLATFORM_ALSAMESSAGES_H

namespace platform {

// Installs the handler; later calls do nothing. Any thread.
void routeAlsaMessages();

}  // namespace platform

#endif
