// The recorder panel of the function group: the record toggle, reset and
// file buttons, the recording's file and its two lists' files (shown where
// they really are on disk), and the elapsed time.
//
// Record starts the recorder and, when it started, both played-songs lists
// at the mix clock's time; releasing it stops them. Reset asks before it
// erases a recording that holds frames. A new file, once confirmed when it
// exists, renames the recorder and both lists (the name less its last four
// characters, or the whole of a shorter name, is the lists' base).
//
// The display refresh hands it the recorder's time and state (setTime,
// setRecording). User-interface thread only.
#ifndef VELKARN_APP_PANELRECORDER_H
#define VELKARN_APP_PANELRECORDER_H

#include "framework/ButtonClient.h"
#include "framework/GUIPanel.h"

#include <array>
#include <string>

class ApplicationInterface;
class GUIButton;
class GUINumberHorizontal;
class GUIPanelGroup;
class GUITextHorizontal;

class PanelRecorder : public GUIPanel, public ButtonClient {
public:
    // Adds itself to the group.
    PanelRecorder(GUIPanelGroup* group, ApplicationInterface* application);
    ~PanelRecorder() override;
    PanelRecorder(const PanelRecorder&) = delete;
    PanelRecorder& operator=(const PanelRecorder&) = delete;

    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;

    // The elapsed time of the recording.
    void setTime(int hours, int minutes, int seconds, int centiseconds);
    // The record toggle follows the recorder. A toggle still down when the
    // recorder stopped by itself (at its limit) also stops both lists.
    void setRecording(bool recording);

    // The texts take program paths ("C:/..." included) and show them mapped.
    void setRecordingText(const std::string& name);
    void setListText(const std::string& text);
    std::string recordingText() const;
    std::string listText() const;

    // The lists' base for a recording file: the name less its last four
    // characters; a name shorter than four characters is kept whole.
    static std::string listBaseName(const std::string& recordingName);

    GUIButton* recordButton() const { return record_; }
    GUIButton* resetButton() const { return reset_; }
    GUIButton* setFileButton() const { return setFile_; }
    // Hours, minutes, seconds and centiseconds.
    float timeValue(int index) const;

private:
    void record();
    void stopRecording();
    void resetRecording();
    void chooseFile();

    ApplicationInterface* application_;
    GUIButton* record_;
    GUIButton* reset_;
    GUIButton* setFile_;
    GUITextHorizontal* recordingText_;
    GUITextHorizontal* listText_;
    std::array<GUINumberHorizontal*, 4> time_{};
};

#endif
