// The drop tool's panel: the song to drop (loaded through the open chooser
// or handed over by the application), its name shown down the panel, the
// double-tempo and half-tempo toggles (at most one down, both released
// after each drop) and the forced tempo with its toggle.
#ifndef VELKARN_APP_PANELDROP_H
#define VELKARN_APP_PANELDROP_H

#include "framework/ButtonClient.h"
#include "framework/GUINumberClient.h"
#include "framework/GUIPanel.h"

#include <string>

class ApplicationInterface;
class GUIButton;
class GUINumberHorizontal;
class GUIPanelGroup;
class GUITextVertical;

class PanelDrop : public GUIPanel, public ButtonClient, public GUINumberClient {
public:
    PanelDrop(GUIPanelGroup* group, ApplicationInterface* application);

    // The kept song path (empty: nothing to drop).
    const std::string& songPath() const { return songPath_; }
    // Keeps the path when the file reads as a song with beat meta-data and
    // shows its base name; 1 then, else 0 with the old path kept. A song
    // without meta-data offers the beat mapper; other errors are shown in a
    // box.
    int loadSong(const std::string& path);
    bool isDoubleTempo() const;
    bool isHalfTempo() const;
    bool isForceTempo() const;
    // The tempo display's value (BPM, 40 .. 220 once set).
    float forcedTempo() const;
    // The display shows the application's standard tempo.
    void showStandardTempo();
    // Double and half tempo up again (after a drop).
    void releaseTempoButtons();
    // The three toggles set as given, their clients not told.
    void setTempoButtons(bool doubleTempo, bool halfTempo, bool forceTempo);

    void buttonPressed(GUIButton* button) override;
    void valueChanged(GUINumber* number, float value) override;

    GUIButton* loadButton() const { return load_; }
    GUIButton* doubleButton() const { return double_; }
    GUIButton* halfButton() const { return half_; }
    GUIButton* forceButton() const { return force_; }
    GUINumberHorizontal* tempoNumber() const { return tempo_; }
    GUITextVertical* nameText() const { return name_; }

private:
    void chooseSong();

    ApplicationInterface* application_;
    std::string songPath_;
    GUIButton* load_;
    GUITextVertical* name_;
    GUIButton* double_;
    GUIButton* half_;
    GUIButton* force_;
    GUINumberHorizontal* tempo_;
};

#endif
