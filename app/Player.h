// Stand-in until "DJ application IV: MIDI input, controller map and MIDI clock out, automatic player, SiLabs and PMD-1208LS controllers"
// replaces it: the automatic player, never running.
#ifndef VELKARN_APP_PLAYER_H
#define VELKARN_APP_PLAYER_H

#include "app/ApplicationInterface.h"

class Player {
public:
    explicit Player(ApplicationInterface* /*application*/) {}
    bool isRunning() const { return false; }
    void tick(int /*beat*/) {}
};

#endif
