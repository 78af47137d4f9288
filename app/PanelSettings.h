// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: the settings panel on its background, answering the
// crossfade knee and the exit-on-load toggle from the records it was given;
// activate (the late set-up that opens MIDI and controller devices) is only
// counted. Setters for tests.
#ifndef VELKARN_APP_PANELSETTINGS_H
#define VELKARN_APP_PANELSETTINGS_H

#include "app/ApplicationInterface.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues2.h"
#include "app/VelkarnStartUpValues3.h"
#include "app/VelkarnStartUpValues4.h"
#include "app/VelkarnStartUpValues5.h"
#include "app/VelkarnStartUpValues6.h"
#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroup.h"

#include <atomic>

class AudioDeviceList;
class MidiDeviceList;

class PanelSettings : public GUIPanel {
public:
    PanelSettings(GUIPanelGroup* group, ApplicationInterface* /*application*/, const VelkarnStartUpValues& startUp,
                  const VelkarnStartUpValues2& startUp2, const VelkarnStartUpValues3& /*startUp3*/,
                  const VelkarnStartUpValues4& /*startUp4*/, const VelkarnStartUpValues5& /*startUp5*/,
                  const VelkarnStartUpValues6& /*startUp6*/, AudioDeviceList* /*devices*/,
                  MidiDeviceList* /*midiDevices*/)
        : GUIPanel(10, 445, "velkarn/panelGroup/settings", true),
          knee_(startUp.crossfadeKnee * 0.01f),
          exitOnLoad_(startUp2.exitOnLoad) {
        group->add(this);
    }

    // The crossfader's knee: the knee slider's value x 0.01. Read on the
    // output thread.
    float deckGain() const { return knee_.load(std::memory_order_relaxed); }
    void setDeckGain(float knee) { knee_.store(knee, std::memory_order_relaxed); }
    bool isExitOnLoad() const { return exitOnLoad_; }
    void setExitOnLoad(bool on) { exitOnLoad_ = on; }
    void activate() { ++activations_; }
    int activationCount() const { return activations_; }
    int refreshCount() const { return refreshes_; }
    void refresh() { ++refreshes_; }

private:
    std::atomic<float> knee_;
    bool exitOnLoad_;
    int activations_ = 0;
    int refreshes_ = 0;
};

#endif
