// Twenty process-wide recursive locks addressed by number. By convention 0
// guards the scope's tap buffer, 1 the beat mapper's playback state, 2 the
// decks and their songs, 3 the recorder's ring buffer; 4 to 19 are free.
// A thread may enter a number it already holds. Any thread.
#ifndef VELKARN_FRAMEWORK_CRITICALSECTIONS_H
#define VELKARN_FRAMEWORK_CRITICALSECTIONS_H

inline constexpr int criticalSectionCount = 20;

// A number outside 0..19 stops the program with "Too high an index for a
// critical section.".
void enterCriticalSection(int number);
void leaveCriticalSection(int number);

#endif
