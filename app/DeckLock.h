// Lock 2, which guards the decks' songs and the mix's beat grid, for the
// length of a scope. The lock is recursive, so a holder may take it again.
#ifndef VELKARN_APP_DECKLOCK_H
#define VELKARN_APP_DECKLOCK_H

#include "framework/CriticalSections.h"

class DeckLock {
public:
    DeckLock() { enterCriticalSection(2); }
    ~DeckLock() { leaveCriticalSection(2); }
    DeckLock(const DeckLock&) = delete;
    DeckLock& operator=(const DeckLock&) = delete;
};

#endif
